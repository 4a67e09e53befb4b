// A plain reader of uncompressed BMP files (1, 4, 8, 16, 24 and 32 bits, palettes, bit fields,
// bottom-up and top-down rows, the OS/2 and Windows headers): the yardstick for the pixels the
// loader gets from Qt. Channels of fewer than 8 bits are widened to the full range.
#pragma once

#include <cstdint>
#include <cstdlib>
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
  const bool core = headerSize == 12;
  const int width = core ? static_cast<int>(u16(18)) : static_cast<std::int32_t>(u32(18));
  int height = core ? static_cast<int>(u16(20)) : static_cast<std::int32_t>(u32(22));
  const std::uint32_t bpp = u16(core ? 24 : 28), compression = core ? 0 : u32(30), colours = core ? 0 : u32(46);
  if (compression != 0 && compression != 3)
    return std::nullopt;
  const bool topDown = height < 0;
  height = std::abs(height);
  std::uint32_t masks[3] = {0, 0, 0};
  if (compression == 3)
    masks[0] = u32(54), masks[1] = u32(58), masks[2] = u32(62);
  else if (bpp == 16)
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  else if (bpp == 32)
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  std::vector<std::uint32_t> palette; // blue in the low byte, as in the file
  if (bpp <= 8) {
    const std::size_t entry = core ? 3 : 4, at = 14 + headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
    for (std::size_t i = 0; i < (colours ? colours : 1u << bpp); ++i)
      palette.push_back(u32(at + i * entry) & 0xFFFFFF);
  }
  const std::size_t stride = (static_cast<std::size_t>(bpp) * width + 31) / 32 * 4;
  if (offBits + stride * height > f.size())
    return std::nullopt;
  TBitmap24 bmp(width, height);
  for (int row = 0; row < height; ++row) {
    const unsigned char *p = f.data() + offBits + stride * row;
    std::uint32_t bgr = 0;
    for (int x = 0; x < width; ++x) {
      if (bpp <= 8) {
        const std::uint32_t bit = static_cast<std::uint32_t>(x) * bpp;
        const std::uint32_t index = (p[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        bgr = index < palette.size() ? palette[index] : 0;
      } else if (bpp == 24) {
        bgr = p[3 * x] | p[3 * x + 1] << 8 | p[3 * x + 2] << 16;
      } else {
        const std::uint32_t v = bpp == 16 ? p[2 * x] | p[2 * x + 1] << 8
                                          : p[4 * x] | p[4 * x + 1] << 8 | p[4 * x + 2] << 16 |
                                                static_cast<std::uint32_t>(p[4 * x + 3]) << 24;
        bgr = 0;
        for (int c = 0; c < 3; ++c) { // red, green, blue
          std::uint32_t m = masks[c], shift = 0;
          for (; m && !(m & 1); m >>= 1)
            ++shift;
          if (m)
            bgr |= static_cast<std::uint32_t>(((v >> shift & m) * std::uint64_t{255} + m / 2) / m) << (8 * (2 - c));
        }
      }
      bmp.SetPixel(x, topDown ? row : height - 1 - row, bgr >> 16 & 0xFF, bgr >> 8 & 0xFF, bgr & 0xFF);
    }
  }
  return bmp;
}

} // namespace tintwise::reference
