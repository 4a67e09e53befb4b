#include "engine/ColorPick.h"

#include <algorithm>
#include <cmath>

namespace tintwise {

TColorTriple ColorValueToTriple(TColorValue color) {
  return {static_cast<std::uint16_t>(color & 0xFF), static_cast<std::uint16_t>((color >> 8) & 0xFF),
          static_cast<std::uint16_t>((color >> 16) & 0xFF), 8};
}

void ApplyColorPick(TLUT &lut, const TColorTriple &source, const TColorTriple &target, std::int32_t softness) {
  CheckBits(source.Bits);
  CheckBits(target.Bits);
  const int n = lut.Size3D;
  CheckSize3D(n);
  CheckSoftness(softness);

  const double sMax = static_cast<double>((1u << source.Bits) - 1);
  const double tMax = static_cast<double>((1u << target.Bits) - 1);
  const double sr = source.R / sMax, sg = source.G / sMax, sb = source.B / sMax;
  const double tr = target.R / tMax, tg = target.G / tMax, tb = target.B / tMax;
  const int ci = static_cast<int>(std::nearbyint((n - 1) * sr));
  const int cj = static_cast<int>(std::nearbyint((n - 1) * sg));
  const int ck = static_cast<int>(std::nearbyint((n - 1) * sb));
  const long long s = softness;
  const double radius = std::sqrt(3.0 * softness * static_cast<double>(softness));

  auto lo = [](int centre, long long reach) { return static_cast<int>(std::max<long long>(centre - reach, 0)); };
  auto hi = [n](int centre, long long reach) { return static_cast<int>(std::min<long long>(centre + reach, n - 1)); };
  for (int i = lo(ci, s); i <= hi(ci, s); ++i)
    for (int j = lo(cj, s); j <= hi(cj, s); ++j)
      for (int k = lo(ck, s); k <= hi(ck, s); ++k) {
        double w = 1;
        if (radius != 0) {
          const double d = std::sqrt(static_cast<double>((ci - i) * (ci - i) + (cj - j) * (cj - j) + (ck - k) * (ck - k)));
          w = (radius - d) / radius;
        }
        w = w * w;
        TLutTriple &e = lut.Lattice[i][j][k];
        e[0] = tr * w + (1 - w) * e[0];
        e[1] = tg * w + (1 - w) * e[1];
        e[2] = tb * w + (1 - w) * e[2];
      }
}

} // namespace tintwise
