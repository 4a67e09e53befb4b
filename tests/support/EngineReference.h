// Plain, literal readings of the engine's algorithms: the yardstick that the fast paths must match
// byte for byte. Used by the tests and as the "literal" side of the benchmarks.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "engine/Bitmap24.h"
#include "engine/ColorModels.h"
#include "engine/Lut.h"
#include "engine/SecondaryCorrection.h"

namespace tintwise::reference {

// Every pixel through ApplyToColor, row by row.
inline void ApplyToBitmap(const TLUT &lut, TBitmap24 &bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t *p = bitmap.Scanline(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
      TColorTriple in{p[2], p[1], p[0], 8}, out;
      out.Bits = 8;
      lut.ApplyToColor(in, out);
      p[0] = static_cast<std::uint8_t>(out.B);
      p[1] = static_cast<std::uint8_t>(out.G);
      p[2] = static_cast<std::uint8_t>(out.R);
    }
  }
}

// Channel means and population deviations, one RGBToWorking per pixel and visit.
inline void ChannelStatistics(const TBitmap24 &bitmap, double means[3], double devs[3]) {
  double s[3] = {0, 0, 0};
  const int count = bitmap.Width() * bitmap.Height();
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < bitmap.Height(); ++y) {
      const std::uint8_t *p = bitmap.Scanline(y);
      for (int x = 0; x < bitmap.Width(); ++x, p += 3) {
        double c[3];
        RGBToWorking(c[0], c[1], c[2], p[2] / 255.0, p[1] / 255.0, p[0] / 255.0);
        for (int k = 0; k < 3; ++k)
          s[k] += pass == 0 ? c[k] : (c[k] - means[k]) * (c[k] - means[k]);
      }
    }
    for (int k = 0; k < 3; ++k) {
      if (pass == 0)
        means[k] = s[k] / count;
      else
        devs[k] = std::sqrt(s[k] / count);
      s[k] = 0;
    }
  }
}

// The mask exactly as written out: mark, then visit every cell at 1.0 and spread its cube.
inline void BuildSecondaryMask(const TBitmap24 &source, TSecondCorrectionData &data, int s) {
  std::memset(data.Mask, 0, sizeof data.Mask);
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t *px = source.Scanline(y);
    for (int x = 0; x < source.Width(); ++x, px += 3) {
      const int a = static_cast<int>(std::nearbyint(px[2] / 255.0 * 32));
      const int b = static_cast<int>(std::nearbyint(px[1] / 255.0 * 32));
      const int c = static_cast<int>(std::nearbyint(px[0] / 255.0 * 32));
      data.Mask[a][b][c] = 1.0f;
    }
  }
  const double dmax = std::sqrt(3.0 * s * s);
  for (int a = 0; a <= 32; ++a)
    for (int b = 0; b <= 32; ++b)
      for (int c = 0; c <= 32; ++c) {
        if (!(data.Mask[a][b][c] >= 1.0f))
          continue;
        for (int p = a - s; p <= a + s; ++p)
          for (int q = b - s; q <= b + s; ++q)
            for (int r = c - s; r <= c + s; ++r) {
              if (p < 0 || p > 32 || q < 0 || q > 32 || r < 0 || r > 32)
                continue;
              double w;
              if (!(dmax > 0))
                w = 1.0;
              else
                w = (dmax - std::sqrt(static_cast<double>((a - p) * (a - p) + (b - q) * (b - q) + (c - r) * (c - r)))) / dmax;
              if (w > data.Mask[p][q][r])
                data.Mask[p][q][r] = static_cast<float>(w);
            }
      }
}

// A picture with smooth gradients, a few flat patches and noise: something like a real frame,
// and the same for the same seed.
inline TBitmap24 SyntheticPicture(int width, int height, unsigned seed) {
  TBitmap24 bitmap(width, height);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-12, 12);
  const double phase = (seed % 7) * 0.3;
  for (int y = 0; y < height; ++y) {
    std::uint8_t *p = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
      double r = 128 + 100 * std::sin(6.0 * u + phase) * std::cos(3.0 * v);
      double g = 40 + 170 * v * (0.6 + 0.4 * std::sin(9.0 * u * v + phase));
      double b = 200 - 150 * u * v + 30 * std::cos(11.0 * v);
      if ((x / 97 + y / 61) % 5 == 3) { // flat patches
        r = 30 + 40 * (seed % 3);
        g = 90;
        b = 160;
      } else {
        r += noise(rng);
        g += noise(rng);
        b += noise(rng);
      }
      auto clip = [](double c) { return static_cast<std::uint8_t>(c < 0 ? 0 : (c > 255 ? 255 : c)); };
      p[0] = clip(b);
      p[1] = clip(g);
      p[2] = clip(r);
    }
  }
  return bitmap;
}

} // namespace tintwise::reference
