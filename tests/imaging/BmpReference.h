// A plain reader of uncompressed BMP files (1, 4, 8, 16, 24 and 32 bits, palettes, bit fields,
// bottom-up and top-down rows, the OS/2 and Windows headers): the yardstick for the pixels the
// loader gets from Qt. Channels of fewer than 8 bits are widened to the full range.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"

namespace tintwise::reference {

inline std::optional<TBitmap24> ReadUncompressedBmp(const std::string &fileName) {
  std::ifstream in(fileName, std::ios::binary);
  const std::vector<unsigned char> f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto u16 = [&](std::size_t o) -> std::uint32_t { return o + 2 <= f.size() ? f[o] | f[o + 1] << 8 : 0; };
  auto u32 = [&](std::size_t o) -> std::uint32_t { return u16(o) | u16(o + 2) << 16; };
  if (f.size() < 26 || f[0] != 'B' || f[1] != 'M')
    return std::nullopt;
  const std::uint32_t offBits = u32(10), headerSize = u32(14);
  std::int32_t width, height;
  std::uint32_t bpp, compression = 0, colours = 0;
  const bool core = headerSize == 12;
  if (core) {
    width = static_cast<std::int32_t>(u16(18));
    height = static_cast<std::int32_t>(u16(20));
    bpp = u16(24);
  } else {
    width = static_cast<std::int32_t>(u32(18));
    height = static_cast<std::int32_t>(u32(22));
    bpp = u16(28);
    compression = u32(30);
    colours = u32(46);
  }
  if (compression != 0 && compression != 3)
    return std::nullopt;
  const bool topDown = height < 0;
  if (topDown)
    height = -height;
  std::uint32_t masks[3] = {0, 0, 0};
  if (bpp == 16)
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  if (bpp == 32)
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  if (compression == 3)
    masks[0] = u32(54), masks[1] = u32(58), masks[2] = u32(62);
  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    const std::size_t entry = core ? 3 : 4, count = colours ? colours : 1u << bpp;
    const std::size_t at = 14 + headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
    for (std::size_t i = 0; i < count; ++i)
      palette.push_back(at + i * entry + 3 <= f.size() ? f[at + i * entry] | f[at + i * entry + 1] << 8 |
                                                              f[at + i * entry + 2] << 16
                                                        : 0);
  }
  const std::size_t stride = (static_cast<std::size_t>(bpp) * width + 31) / 32 * 4;
  if (offBits + stride * height > f.size())
    return std::nullopt;
  TBitmap24 bmp(width, height);
  for (int row = 0; row < height; ++row) {
    const unsigned char *p = f.data() + offBits + stride * row;
    const int y = topDown ? row : height - 1 - row;
    for (int x = 0; x < width; ++x) {
      std::uint32_t bgr = 0; // blue in the low byte
      if (bpp <= 8) {
        const std::uint32_t bit = static_cast<std::uint32_t>(x) * bpp;
        const std::uint32_t index = (p[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        bgr = index < palette.size() ? palette[index] : 0;
      } else if (bpp == 24) {
        bgr = p[3 * x] | p[3 * x + 1] << 8 | p[3 * x + 2] << 16;
      } else {
        const std::uint32_t v = bpp == 16 ? (p[2 * x] | p[2 * x + 1] << 8)
                                          : (p[4 * x] | p[4 * x + 1] << 8 | p[4 * x + 2] << 16 |
                                             static_cast<std::uint32_t>(p[4 * x + 3]) << 24);
        for (int c = 0; c < 3; ++c) {
          std::uint32_t m = masks[c];
          if (!m)
            continue;
          int shift = 0;
          while (!(m & 1))
            m >>= 1, ++shift;
          const std::uint64_t value = (v >> shift) & m;
          bgr |= static_cast<std::uint32_t>((value * 255 + m / 2) / m) << (8 * (2 - c));
        }
      }
      bmp.SetPixel(x, y, static_cast<std::uint8_t>(bgr >> 16), static_cast<std::uint8_t>(bgr >> 8),
                   static_cast<std::uint8_t>(bgr));
    }
  }
  return bmp;
}

} // namespace tintwise::reference
