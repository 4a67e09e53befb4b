// A plain, literal reading of the two-pass resampler: contributor lists built one weight at a time,
// three line buffers, every destination pixel computed from its entry. The yardstick the fast
// resampler must match byte for byte. Line buffers are read with at(), so an index outside the line
// fails the test instead of reading stray memory.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/Bitmap24.h"
#include "imaging/ImageResize2.h"

namespace tintwise::reference {

// Mirrors a position into a line of n pixels, again and again while one fold is not enough.
inline int Fold(int j, int n) {
  while (j < 0 || j >= n)
    j = j < 0 ? -j : 2 * n - j - 1;
  return j;
}

inline TContributorList Contributors(float k, int n, int count, float r, TFilterFunction f) {
  TContributorList list(count);
  const float reach = k < 1 ? r / k : r;
  for (int i = 0; i < count; ++i) {
    TContributorEntry &e = list[i];
    e.Contributors.resize(static_cast<std::size_t>(std::trunc(2 * reach + 1)));
    const float centre = static_cast<float>(i) / k;
    for (int j = static_cast<int>(std::floor(centre - reach)); j <= static_cast<int>(std::ceil(centre + reach)); ++j) {
      const float x = centre - static_cast<float>(j);
      const int weight = static_cast<int>(std::nearbyint(k < 1 ? f(x * k) * k * 256 : f(x) * 256));
      if (weight == 0)
        continue;
      if (e.Count == static_cast<int>(e.Contributors.size()))
        e.Contributors.resize(e.Contributors.size() + 1);
      e.Contributors[e.Count++] = {weight, Fold(j, n)};
    }
  }
  return list;
}

// One destination pixel from an entry; sums in 32 bits with wrap-around.
inline void Pixel(const TContributorEntry &e, const std::vector<std::int32_t> &r, const std::vector<std::int32_t> &g,
                  const std::vector<std::int32_t> &b, std::uint8_t *out) {
  std::uint32_t sr = 0, sg = 0, sb = 0, t = 0;
  for (int c = 0; c < e.Count; ++c) {
    const auto w = static_cast<std::uint32_t>(e.Contributors[c].Weight);
    const int p = e.Contributors[c].Pixel;
    sr += w * static_cast<std::uint32_t>(r.at(p));
    sg += w * static_cast<std::uint32_t>(g.at(p));
    sb += w * static_cast<std::uint32_t>(b.at(p));
    t += w;
  }
  auto channel = [&](std::uint32_t sum) {
    std::int64_t v = sum >> 8;
    if (t != 0) // the quotient in 64 bits, then its 32-bit pattern (only -2^31 / -1 differs)
      v = static_cast<std::int32_t>(static_cast<std::uint32_t>(
          static_cast<std::int64_t>(static_cast<std::int32_t>(sum)) / static_cast<std::int32_t>(t)));
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  };
  out[0] = channel(sb);
  out[1] = channel(sg);
  out[2] = channel(sr);
}

// One pass over `lines` lines of n pixels, giving d pixels each; in and out point at a pixel's bytes.
template <class TIn, class TOut>
void Pass(const TContributorList &list, int lines, int n, int d, TIn in, TOut out) {
  std::vector<std::int32_t> r(n), g(n), b(n);
  for (int line = 0; line < lines; ++line) {
    for (int x = 0; x < n; ++x) {
      const std::uint8_t *p = in(line, x);
      b[x] = p[0], g[x] = p[1], r[x] = p[2];
    }
    for (int i = 0; i < d; ++i)
      Pixel(list[i], r, g, b, out(line, i));
  }
}

inline float Scale(int n, int d) {
  return n == 1 || d == 1 ? static_cast<float>(d) / static_cast<float>(n)
                          : static_cast<float>(d - 1) / static_cast<float>(n - 1);
}

inline void Resample(TFilterFunction filter, const TBitmap24 &src, TBitmap24 &dst, float support) {
  const int sw = src.Width(), sh = src.Height(), dw = dst.Width(), dh = dst.Height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0)
    return;
  TBitmap24 work(dw, sh); // rows first, then columns
  Pass(Contributors(Scale(sw, dw), sw, dw, support, filter), sh, sw, dw,
       [&](int y, int x) { return src.Scanline(y) + 3 * x; }, [&](int y, int i) { return work.Scanline(y) + 3 * i; });
  Pass(Contributors(Scale(sh, dh), sh, dh, support, filter), dw, sh, dh,
       [&](int x, int y) { return work.Scanline(y) + 3 * x; }, [&](int x, int i) { return dst.Scanline(i) + 3 * x; });
}

// A picture with smooth areas, sharp 0/255 edges (to drive the lobes past the range) and noise.
inline TBitmap24 TestPicture(int width, int height, unsigned seed) {
  TBitmap24 bmp(width, height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int edge = (x / 3 + y / 2) % 2 ? 255 : 0, noise = static_cast<int>(rng() & 0xFFFFFF);
      switch ((x * 7 / std::max(width, 1) + y * 5 / std::max(height, 1)) % 4) {
      case 0: bmp.SetPixel(x, y, x * 255 / std::max(width - 1, 1), y * 255 / std::max(height - 1, 1), 128); break;
      case 1: bmp.SetPixel(x, y, edge, edge, edge); break;
      case 2: bmp.SetPixel(x, y, noise & 0xFF, noise >> 8 & 0xFF, noise >> 16); break;
      default: bmp.SetPixel(x, y, 255, x % 2 ? 0 : 255, 0); break;
      }
    }
  return bmp;
}

} // namespace tintwise::reference
