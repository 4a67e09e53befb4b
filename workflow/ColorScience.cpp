#include "workflow/ColorScience.h"

#include <cmath>
#include <numbers>

namespace tintwise {

namespace {

double Linear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

// The linear sRGB to XYZ matrix of IEC 61966-2-1; its row sums are the D65 white.
constexpr double kToXYZ[3][3] = {{0.4124, 0.3576, 0.1805}, {0.2126, 0.7152, 0.0722}, {0.0193, 0.1192, 0.9505}};

double LabF(double t) {
  constexpr double delta = 6.0 / 29.0;
  return t > delta * delta * delta ? std::cbrt(t) : t / (3 * delta * delta) + 4.0 / 29.0;
}

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// Hue angle in degrees, 0 up to 360; 0 for a colour without chroma.
double HueAngle(double b, double a) {
  if (a == 0 && b == 0)
    return 0;
  const double h = Degrees(std::atan2(b, a));
  return h < 0 ? h + 360 : h;
}

} // namespace

TLab SRGBToLab(double R, double G, double B) {
  const double rgb[3] = {Linear(R), Linear(G), Linear(B)};
  double xyz[3], white[3];
  for (int i = 0; i < 3; ++i) {
    xyz[i] = kToXYZ[i][0] * rgb[0] + kToXYZ[i][1] * rgb[1] + kToXYZ[i][2] * rgb[2];
    white[i] = kToXYZ[i][0] + kToXYZ[i][1] + kToXYZ[i][2];
  }
  const double fx = LabF(xyz[0] / white[0]), fy = LabF(xyz[1] / white[1]), fz = LabF(xyz[2] / white[2]);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

double CIEDE2000(const TLab &first, const TLab &second) {
  const double L1 = first[0], a1 = first[1], b1 = first[2];
  const double L2 = second[0], a2 = second[1], b2 = second[2];
  const double C1 = std::hypot(a1, b1), C2 = std::hypot(a2, b2);
  const double Cbar = (C1 + C2) / 2;
  const double Cbar7 = std::pow(Cbar, 7);
  const double G = 0.5 * (1 - std::sqrt(Cbar7 / (Cbar7 + std::pow(25.0, 7))));
  const double a1p = (1 + G) * a1, a2p = (1 + G) * a2;
  const double C1p = std::hypot(a1p, b1), C2p = std::hypot(a2p, b2);
  const double h1p = HueAngle(b1, a1p), h2p = HueAngle(b2, a2p);

  const double dLp = L2 - L1, dCp = C2p - C1p;
  double dhp = 0;
  if (C1p * C2p != 0) {
    dhp = h2p - h1p;
    if (dhp > 180)
      dhp -= 360;
    else if (dhp < -180)
      dhp += 360;
  }
  const double dHp = 2 * std::sqrt(C1p * C2p) * std::sin(Radians(dhp / 2));

  const double Lbarp = (L1 + L2) / 2, Cbarp = (C1p + C2p) / 2;
  double hbarp = h1p + h2p;
  if (C1p * C2p != 0) {
    if (std::fabs(h1p - h2p) <= 180)
      hbarp = (h1p + h2p) / 2;
    else if (h1p + h2p < 360)
      hbarp = (h1p + h2p + 360) / 2;
    else
      hbarp = (h1p + h2p - 360) / 2;
  }
  const double T = 1 - 0.17 * std::cos(Radians(hbarp - 30)) + 0.24 * std::cos(Radians(2 * hbarp)) +
                   0.32 * std::cos(Radians(3 * hbarp + 6)) - 0.20 * std::cos(Radians(4 * hbarp - 63));
  const double dTheta = 30 * std::exp(-((hbarp - 275) / 25) * ((hbarp - 275) / 25));
  const double Cbarp7 = std::pow(Cbarp, 7);
  const double RC = 2 * std::sqrt(Cbarp7 / (Cbarp7 + std::pow(25.0, 7)));
  const double L50 = (Lbarp - 50) * (Lbarp - 50);
  const double SL = 1 + 0.015 * L50 / std::sqrt(20 + L50);
  const double SC = 1 + 0.045 * Cbarp, SH = 1 + 0.015 * Cbarp * T;
  const double RT = -std::sin(Radians(2 * dTheta)) * RC;
  const double l = dLp / SL, c = dCp / SC, h = dHp / SH;
  return std::sqrt(l * l + c * c + h * h + RT * c * h);
}

} // namespace tintwise
