// A plain, literal reading of the two-pass resampler: contributor lists built one weight at a time,
// three line buffers, every destination pixel computed from its entry, the vertical pass column by
// column. The yardstick the fast resampler must match byte for byte. Line buffers are read with
// at(), so an index outside the line fails the test instead of reading stray memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/Bitmap24.h"
#include "imaging/ImageResize2.h"

namespace tintwise::reference {

// Folding for positions that one mirror does not bring inside a short line: mirror again.
inline int Fold(int j, int n) {
  for (;;) {
    if (j < 0)
      j = -j;
    else if (j >= n)
      j = 2 * n - j - 1;
    else
      return j;
  }
}

inline TContributorList Contributors(float k, int n, int count, float r, TFilterFunction f) {
  TContributorList list(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    TContributorEntry &e = list[static_cast<std::size_t>(i)];
    const float reach = k < 1 ? r / k : r;
    e.Count = 0;
    e.Contributors.resize(static_cast<std::size_t>(std::trunc(2 * reach + 1)));
    const float centre = static_cast<float>(i) / k;
    for (int j = static_cast<int>(std::floor(centre - reach)); j <= static_cast<int>(std::ceil(centre + reach)); ++j) {
      int weight;
      if (k < 1)
        weight = static_cast<int>(std::nearbyint(f((centre - static_cast<float>(j)) * k) * k * 256));
      else
        weight = static_cast<int>(std::nearbyint(f(centre - static_cast<float>(j)) * 256));
      if (weight == 0)
        continue;
      const int index = Fold(j, n);
      if (e.Count == static_cast<int>(e.Contributors.size()))
        e.Contributors.resize(e.Contributors.size() + 1);
      e.Contributors[static_cast<std::size_t>(e.Count)] = {weight, index};
      ++e.Count;
    }
  }
  return list;
}

// One destination pixel from an entry; sums in 32 bits with wrap-around.
inline void Pixel(const TContributorEntry &e, const std::vector<std::int32_t> &r, const std::vector<std::int32_t> &g,
                  const std::vector<std::int32_t> &b, std::uint8_t *out) {
  std::uint32_t sr = 0, sg = 0, sb = 0, t = 0;
  for (int c = 0; c < e.Count; ++c) {
    const TContributor &k = e.Contributors[static_cast<std::size_t>(c)];
    const auto w = static_cast<std::uint32_t>(k.Weight);
    sr += w * static_cast<std::uint32_t>(r.at(static_cast<std::size_t>(k.Pixel)));
    sg += w * static_cast<std::uint32_t>(g.at(static_cast<std::size_t>(k.Pixel)));
    sb += w * static_cast<std::uint32_t>(b.at(static_cast<std::size_t>(k.Pixel)));
    t += w;
  }
  auto channel = [&](std::uint32_t sum) {
    std::int64_t v;
    if (t != 0) // the quotient in 64 bits, then its 32-bit pattern (only -2^31 / -1 differs)
      v = static_cast<std::int32_t>(static_cast<std::uint32_t>(
          static_cast<std::int64_t>(static_cast<std::int32_t>(sum)) / static_cast<std::int32_t>(t)));
    else
      v = sum >> 8;
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  };
  out[0] = channel(sb);
  out[1] = channel(sg);
  out[2] = channel(sr);
}

inline void Resample(TFilterFunction filter, const TBitmap24 &src, TBitmap24 &dst, float support) {
  const int sw = src.Width(), sh = src.Height(), dw = dst.Width(), dh = dst.Height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0)
    return;
  TBitmap24 work(dw, sh);
  const float xscale = sw == 1 || dw == 1 ? static_cast<float>(dw) / static_cast<float>(sw)
                                          : static_cast<float>(dw - 1) / static_cast<float>(sw - 1);
  const float yscale = sh == 1 || dh == 1 ? static_cast<float>(dh) / static_cast<float>(sh)
                                          : static_cast<float>(dh - 1) / static_cast<float>(sh - 1);
  std::vector<std::int32_t> r, g, b;
  {
    const TContributorList list = Contributors(xscale, sw, dw, support, filter);
    r.assign(static_cast<std::size_t>(sw), 0);
    g = b = r;
    for (int y = 0; y < sh; ++y) {
      const std::uint8_t *p = src.Scanline(y);
      for (int x = 0; x < sw; ++x) {
        b[x] = p[3 * x];
        g[x] = p[3 * x + 1];
        r[x] = p[3 * x + 2];
      }
      for (int i = 0; i < dw; ++i)
        Pixel(list[static_cast<std::size_t>(i)], r, g, b, work.Scanline(y) + 3 * i);
    }
  }
  const TContributorList list = Contributors(yscale, sh, dh, support, filter);
  r.assign(static_cast<std::size_t>(sh), 0);
  g = b = r;
  for (int x = 0; x < dw; ++x) {
    for (int y = 0; y < sh; ++y) {
      const std::uint8_t *p = work.Bits() + y * work.Stride() + 3 * x;
      b[y] = p[0];
      g[y] = p[1];
      r[y] = p[2];
    }
    for (int i = 0; i < dh; ++i)
      Pixel(list[static_cast<std::size_t>(i)], r, g, b, dst.Scanline(i) + 3 * x);
  }
}

// A picture with smooth areas, sharp 0/255 edges (to drive the lobes past the range) and noise.
inline TBitmap24 TestPicture(int width, int height, unsigned seed) {
  TBitmap24 bmp(width, height);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(0, 255);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int band = (x * 7 / std::max(width, 1) + y * 5 / std::max(height, 1)) % 4;
      std::uint8_t r, g, b;
      switch (band) {
      case 0: r = static_cast<std::uint8_t>((x * 255) / std::max(width - 1, 1)); g = static_cast<std::uint8_t>((y * 255) / std::max(height - 1, 1)); b = 128; break;
      case 1: r = g = b = ((x / 3 + y / 2) % 2) ? 255 : 0; break;
      case 2: r = static_cast<std::uint8_t>(noise(rng)); g = static_cast<std::uint8_t>(noise(rng)); b = static_cast<std::uint8_t>(noise(rng)); break;
      default: r = 255; g = (x % 2) ? 0 : 255; b = 0; break;
      }
      bmp.SetPixel(x, y, r, g, b);
    }
  return bmp;
}

} // namespace tintwise::reference
