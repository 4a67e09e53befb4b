// Plain, literal readings of the engine's algorithms, written apart from the engine and using none
// of its arithmetic: the yardstick that the fast paths must match byte for byte. Used by the tests
// and as the "literal" side of the benchmarks.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/SecondaryCorrection.h"

namespace tintwise::reference {

// The working colour model: the analogue BT.601 matrix, products and sums in extended precision
// (added in the order red, green, blue), and its inverse with the rounded constants.
inline void RGBToYUV(double &y, double &u, double &v, double r, double g, double b) {
  const long double R = r, G = g, B = b;
  y = static_cast<double>(0.299L * R + 0.587L * G + 0.114L * B);
  u = static_cast<double>(-0.14713L * R + -0.28886L * G + 0.436L * B);
  v = static_cast<double>(0.615L * R + -0.51499L * G + -0.10001L * B);
}

inline void YUVToRGB(double &r, double &g, double &b, double y, double u, double v) {
  r = 1.13983 * v + y;
  g = y - 0.39465 * u - 0.5806 * v;
  b = 2.03211 * u + y;
}

// The grid position of x in a table of n entries: t = (n - 1) * x in extended precision, rounded
// to a double, split into its whole part and the rest. An index that would leave the table is held
// at its end with no fraction; one just below 0 truncates to 0 and keeps its negative fraction.
inline void GridPosition(int n, double x, int &index, double &fraction) {
  const double t = static_cast<double>(static_cast<long double>(n - 1) * static_cast<long double>(x));
  const double whole = std::trunc(t);
  if (!(whole >= 0)) { // below the table, or NaN
    index = 0;
    fraction = 0;
  } else if (whole >= n - 1) {
    index = n - 1;
    fraction = 0;
  } else {
    index = static_cast<int>(whole);
    fraction = t - whole;
  }
}

// Trilinear: along blue, then green, then red, one rounding per step.
inline TLutTriple Evaluate3D(const TLUT &lut, const TLutTriple &in) {
  const int n = lut.Size3D;
  int r0, g0, b0;
  double fr, fg, fb;
  GridPosition(n, in[0], r0, fr);
  GridPosition(n, in[1], g0, fg);
  GridPosition(n, in[2], b0, fb);
  const int r1 = std::min(r0 + 1, n - 1), g1 = std::min(g0 + 1, n - 1), b1 = std::min(b0 + 1, n - 1);
  TLutTriple out;
  for (int c = 0; c < 3; ++c) {
    auto alongBlue = [&](int r, int g) {
      return (1 - fb) * lut.Lattice[r][g][b0][c] + lut.Lattice[r][g][b1][c] * fb;
    };
    const double w0 = (1 - fg) * alongBlue(r0, g0) + alongBlue(r0, g1) * fg;
    const double w1 = (1 - fg) * alongBlue(r1, g0) + alongBlue(r1, g1) * fg;
    out[c] = (1 - fr) * w0 + w1 * fr;
  }
  return out;
}

inline TLutTriple Evaluate1D(const TLUT &lut, const TLutTriple &in) {
  const int m = lut.Size1D;
  TLutTriple out;
  for (int c = 0; c < 3; ++c) {
    int i;
    double f;
    GridPosition(m, in[c], i, f);
    const int i1 = std::min(i + 1, m - 1);
    out[c] = (1 - f) * lut.Curve[i][c] + lut.Curve[i1][c] * f;
  }
  return out;
}

inline TLutTriple Evaluate(const TLUT &lut, const TLutTriple &in) {
  if (lut.Mode == kMode1D)
    return Evaluate1D(lut, in);
  if (lut.Mode == kMode3D)
    return Evaluate3D(lut, in);
  if (lut.Mode == kMode1DThen3D)
    return Evaluate3D(lut, Evaluate1D(lut, in));
  return in;
}

// Channel means and population deviations: one conversion per pixel, sums in pixel order.
inline void ChannelStatistics(const TBitmap24 &bitmap, double means[3], double devs[3]) {
  std::vector<std::array<double, 3>> values;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      std::uint8_t r, g, b;
      bitmap.GetPixel(x, y, r, g, b);
      std::array<double, 3> &c = values.emplace_back();
      RGBToYUV(c[0], c[1], c[2], r / 255.0, g / 255.0, b / 255.0);
    }
  for (int k = 0; k < 3; ++k) {
    double sum = 0, squares = 0;
    for (const auto &c : values)
      sum += c[k];
    means[k] = sum / static_cast<double>(values.size());
    for (const auto &c : values)
      squares += (c[k] - means[k]) * (c[k] - means[k]);
    devs[k] = std::sqrt(squares / static_cast<double>(values.size()));
  }
}

inline double ClampToUnit(double v) { return !(v >= 0) ? 0 : (v > 1 ? 1 : v); } // NaN counts as 0

// The primary correction: the statistics mapping of every lattice point's input colour, blended
// with that colour by the opacities, back to RGB and clamped.
inline void ApplyPrimaryCorrection(const TBitmap24 &ref, const TBitmap24 &src, TLUT &lut, const double op[3]) {
  double mS[3], dS[3], mR[3], dR[3];
  ChannelStatistics(src, mS, dS);
  ChannelStatistics(ref, mR, dR);
  const int n = lut.Size3D;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        double x[3], y[3];
        RGBToYUV(x[0], x[1], x[2], double(i) / (n - 1), double(j) / (n - 1), double(k) / (n - 1));
        for (int c = 0; c < 3; ++c)
          y[c] = (dR[c] / dS[c] * (x[c] - mS[c]) + mR[c]) * op[c] + (1 - op[c]) * x[c];
        TLutTriple &out = lut.Lattice[i][j][k];
        YUVToRGB(out[0], out[1], out[2], y[0], y[1], y[2]);
        for (double &v : out)
          v = ClampToUnit(v);
      }
}

// A secondary correction on a 33-point lattice: the statistics mapping of each weighted point's
// input colour, blended with its current output by the opacities in the working model, clamped
// in RGB, and blended with the current output again by the mask weight.
inline void ApplySecondaryCorrection(const TSecondCorrectionData &data, TLUT &lut) {
  const int n = lut.Size3D;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        const double w = data.Mask[i][j][k];
        if (w == 0)
          continue;
        TLutTriple &out = lut.Lattice[i][j][k];
        double x[3], y[3], z[3];
        RGBToYUV(x[0], x[1], x[2], double(i) / (n - 1), double(j) / (n - 1), double(k) / (n - 1));
        for (int c = 0; c < 3; ++c)
          x[c] = data.RefDeviation[c] / data.SrcDeviation[c] * (x[c] - data.SrcMean[c]) + data.RefMean[c];
        RGBToYUV(y[0], y[1], y[2], out[0], out[1], out[2]);
        for (int c = 0; c < 3; ++c)
          x[c] = x[c] * data.Opacity[c] + (1 - data.Opacity[c]) * y[c];
        YUVToRGB(z[0], z[1], z[2], x[0], x[1], x[2]);
        for (int c = 0; c < 3; ++c)
          out[c] = ClampToUnit(z[c]) * w + (1 - w) * out[c];
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
              const double d = std::sqrt(static_cast<double>((a - p) * (a - p) + (b - q) * (b - q) + (c - r) * (c - r)));
              const double w = dmax > 0 ? (dmax - d) / dmax : 1.0;
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
