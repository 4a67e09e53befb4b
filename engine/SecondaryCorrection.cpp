#include "engine/SecondaryCorrection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/ColorModels.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/CorrectionInternals.h"

namespace tintwise {

namespace {

constexpr int kLast = kMaskCells - 1; // 32

void CheckRegion(const TBitmap24 &bitmap, const char *which) {
  if (bitmap.Empty())
    throw EEngineError(std::string("The selected ") + which + " region is empty: select a region with pixels in it.");
}

} // namespace

void CalcSecondaryStatistics(const TBitmap24 &reference, const TBitmap24 &source, TSecondCorrectionData &data) {
  CheckRegion(source, "source");
  CheckRegion(reference, "reference");
  TChannelValues mS, dS, mR, dR;
  CalcStatisticsPair(source, reference, mS, dS, mR, dR);
  data.SrcMean = mS;
  data.RefMean = mR;
  data.SrcDeviation = dS;
  data.RefDeviation = dR;
}

// The spread is a dilation with weights that fall off with the distance in cells. Each marked cell
// raises the cells of its cube to the tabulated weights, a row of cells at a time; the greatest
// weight wins, so neither the order of the marked cells nor the split into slabs between threads
// changes the mask. Weights are rounded to single precision before the comparison, which gives the
// same single-precision maximum as comparing the exact weights.
void BuildSecondaryMask(const TBitmap24 &source, TSecondCorrectionData &data, std::int32_t softness) {
  CheckSoftness(softness);
  std::memset(data.Mask, 0, sizeof data.Mask);

  int cellOf[256];
  for (int v = 0; v < 256; ++v)
    cellOf[v] = static_cast<int>(std::nearbyint(v / 255.0 * 32));
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t *p = source.Scanline(y);
    for (int x = 0; x < source.Width(); ++x, p += 3)
      data.Mask[cellOf[p[2]]][cellOf[p[1]]][cellOf[p[0]]] = 1.0f;
  }
  if (softness == 0)
    return; // each marked cell reaches only itself, with weight 1

  struct TCell { int a, b, c; };
  std::vector<TCell> marked;
  for (int a = 0; a <= kLast; ++a)
    for (int b = 0; b <= kLast; ++b)
      for (int c = 0; c <= kLast; ++c)
        if (data.Mask[a][b][c] >= 1.0f)
          marked.push_back({a, b, c});

  // Offsets beyond 32 cells never land inside the cube.
  const int s = softness;
  const int h = std::min(s, kLast);
  const int side = 2 * h + 1;
  const double dmax = std::sqrt(3.0 * s * s);
  std::vector<float> kernel(static_cast<std::size_t>(side) * side * side);
  for (int dp = -h; dp <= h; ++dp)
    for (int dq = -h; dq <= h; ++dq)
      for (int dr = -h; dr <= h; ++dr) {
        const double d = std::sqrt(static_cast<double>(dp * dp + dq * dq + dr * dr));
        kernel[(static_cast<std::size_t>(dp + h) * side + (dq + h)) * side + (dr + h)] =
            static_cast<float>((dmax - d) / dmax);
      }

  ParallelFor(kMaskCells, [&](int pBegin, int pEnd) {
    for (const TCell &m : marked) {
      const int p0 = std::max({m.a - h, 0, pBegin}), p1 = std::min({m.a + h, kLast, pEnd - 1});
      const int q0 = std::max(m.b - h, 0), q1 = std::min(m.b + h, kLast);
      const int r0 = std::max(m.c - h, 0), r1 = std::min(m.c + h, kLast);
      for (int p = p0; p <= p1; ++p)
        for (int q = q0; q <= q1; ++q) {
          float *row = data.Mask[p][q];
          // The kernel row of this (p, q); its entry for r is at r - m.c + h, never before the row.
          const float *k = &kernel[(static_cast<std::size_t>(p - m.a + h) * side + (q - m.b + h)) * side];
          for (int r = r0; r <= r1; ++r) {
            const float w = k[r - m.c + h];
            row[r] = row[r] < w ? w : row[r];
          }
        }
    }
  }, 4);
}

void ApplySecondaryCorrection(const TSecondCorrectionData &data, TLUT &lut) {
  if (lut.Size3D != kMaskCells)
    throw EEngineError("A secondary correction needs a lattice of " + std::to_string(kMaskCells) +
                       " points per axis, not " + std::to_string(lut.Size3D) + ".");
  bool weighted = false;
  for (int i = 0; i <= kLast && !weighted; ++i)
    for (int j = 0; j <= kLast && !weighted; ++j)
      for (int k = 0; k <= kLast; ++k)
        if (data.Mask[i][j][k] != 0) {
          weighted = true;
          break;
        }
  if (!weighted)
    return;
  CheckSourceDeviations(data.SrcDeviation, data.Opacity);
  const bool varies[3] = {Varies(data.SrcDeviation[0]), Varies(data.SrcDeviation[1]), Varies(data.SrcDeviation[2])};

  const int n = kMaskCells;
  ParallelFor(n, [&](int begin, int end) {
    for (int i = begin; i < end; ++i)
      for (int j = 0; j < n; ++j)
        for (int k = 0; k < n; ++k) {
          const double w = data.Mask[i][j][k];
          if (w == 0)
            continue;
          TLutTriple &out = lut.Lattice[i][j][k];
          double x[3], y[3], z[3];
          RGBToWorking(x[0], x[1], x[2], static_cast<double>(i) / (n - 1), static_cast<double>(j) / (n - 1),
                       static_cast<double>(k) / (n - 1));
          for (int c = 0; c < 3; ++c)
            x[c] = data.RefDeviation[c] / data.SrcDeviation[c] * (x[c] - data.SrcMean[c]) + data.RefMean[c];
          RGBToWorking(y[0], y[1], y[2], out[0], out[1], out[2]);
          for (int c = 0; c < 3; ++c)
            x[c] = varies[c] ? x[c] * data.Opacity[c] + (1 - data.Opacity[c]) * y[c]
                             : y[c]; // opacity 0 on a channel that does not vary

          WorkingToRGB(z[0], z[1], z[2], x[0], x[1], x[2]);
          for (int c = 0; c < 3; ++c)
            out[c] = ClampUnit(z[c]) * w + (1 - w) * out[c];
        }
  });
}

void PreviewSecondaryCorrection(const TBitmap24 &reference, const TBitmap24 &source, TLUT &lut,
                                double OpacityY, double OpacityU, double OpacityV, std::int32_t softness) {
  auto data = std::make_unique<TSecondCorrectionData>();
  CalcSecondaryStatistics(reference, source, *data);
  BuildSecondaryMask(source, *data, softness);
  data->Opacity = {OpacityY, OpacityU, OpacityV};
  ApplySecondaryCorrection(*data, lut);
}

} // namespace tintwise
