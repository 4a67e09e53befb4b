#include "engine/ColorModels.h"

#include <cmath>

#include "engine/CorrectionInternals.h"

namespace tintwise {

std::uint8_t WorkingColorModel = kModelYUV;

double FloatMod(double x, double y) {
  const double ax = std::fabs(x);
  return ax - std::trunc(ax / y) * y;
}

void RGBToYUV(double &Y, double &U, double &V, double R, double G, double B) {
  const long double r = R, g = G, b = B;
  Y = static_cast<double>(0.299L * r + 0.587L * g + 0.114L * b);
  U = static_cast<double>(-0.14713L * r + -0.28886L * g + 0.436L * b);
  V = static_cast<double>(0.615L * r + -0.51499L * g + -0.10001L * b);
}

const TYUVTables &YUVTables() {
  static const TYUVTables tables = [] {
    static const long double k[3][3] = {{0.299L, 0.587L, 0.114L},
                                        {-0.14713L, -0.28886L, 0.436L},
                                        {0.615L, -0.51499L, -0.10001L}};
    TYUVTables t;
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 3; ++i)
        for (int v = 0; v < 256; ++v) {
          const long double product = k[c][i] * static_cast<long double>(v / 255.0);
          t.Hi[c][i][v] = static_cast<double>(product);
          t.Lo[c][i][v] = static_cast<double>(product - t.Hi[c][i][v]); // exact: the bits hi dropped
        }
    return t;
  }();
  return tables;
}

void YUVToRGB(double &R, double &G, double &B, double Y, double U, double V) {
  R = 1.13983 * V + Y;
  G = Y - 0.39465 * U - 0.5806 * V;
  B = 2.03211 * U + Y;
}

void RGBToHSV(double &H, double &S, double &V, double R, double G, double B) {
  const double max = std::fmax(R, std::fmax(G, B));
  const double min = std::fmin(R, std::fmin(G, B));
  const double delta = max - min;
  double h = 0;
  if (delta != 0) {
    if (max == R) {
      h = (G - B) / delta;
      if (G - B < 0)
        h += 6;
    }
    if (max == G)
      h = (B - R) / delta + 2;
    if (max == B)
      h = (R - G) / delta + 4;
  }
  H = 60 * h;
  S = max != 0 ? delta / max : 0;
  V = max;
}

void HSVToRGB(double &R, double &G, double &B, double H, double S, double V) {
  if (H > 360)
    H = 0;
  if (S > 1)
    S = 1;
  if (V > 1)
    V = 1;
  if (H < 0)
    H = 0;
  if (S < 0)
    S = 0;
  if (V < 0)
    V = 0;
  const double chroma = V * S;
  const double x = (1 - std::fabs(FloatMod(H / 60, 2) - 1)) * chroma;
  const double m = V - chroma;
  double r, g, b;
  if (H < 60 || H >= 360) {
    r = chroma; g = x; b = 0;
  } else if (H < 120) {
    r = x; g = chroma; b = 0;
  } else if (H < 180) {
    r = 0; g = chroma; b = x;
  } else if (H < 240) {
    r = 0; g = x; b = chroma;
  } else if (H < 300) {
    r = x; g = 0; b = chroma;
  } else {
    r = chroma; g = 0; b = x;
  }
  R = r + m;
  G = g + m;
  B = b + m;
}

void RGBToWorking(double &c0, double &c1, double &c2, double R, double G, double B) {
  switch (WorkingColorModel) {
  case kModelYUV: RGBToYUV(c0, c1, c2, R, G, B); break;
  case kModelHSV: RGBToHSV(c0, c1, c2, R, G, B); break;
  default: c0 = R; c1 = G; c2 = B; break;
  }
}

void WorkingToRGB(double &R, double &G, double &B, double c0, double c1, double c2) {
  switch (WorkingColorModel) {
  case kModelYUV: YUVToRGB(R, G, B, c0, c1, c2); break;
  case kModelHSV: HSVToRGB(R, G, B, c0, c1, c2); break;
  default: R = c0; G = c1; B = c2; break;
  }
}

} // namespace tintwise
