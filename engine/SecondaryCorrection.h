// Secondary corrections: a statistics match between two regions, limited to the colours of the
// source region and their neighbours by a softened colour mask.
#pragma once

#include <array>
#include <cstdint>

namespace tintwise {

class TBitmap24;
class TLUT;

constexpr int kMaskCells = 33; // cells per axis in use; cell a stands for the input a / 32

struct TSecondCorrectionData {
  std::array<double, 3> SrcMean{};
  std::array<double, 3> RefMean{};
  std::array<double, 3> SrcDeviation{};
  std::array<double, 3> RefDeviation{};
  float Mask[34][34][34]{}; // only indices 0..32 are used
  std::array<double, 3> Opacity{};
};

void CalcSecondaryStatistics(const TBitmap24 &reference, const TBitmap24 &source,
                             TSecondCorrectionData &data);
// Marks the colour cells of the source's pixels and spreads them by softness cells (0 or more).
void BuildSecondaryMask(const TBitmap24 &source, TSecondCorrectionData &data, std::int32_t softness);
// Blends the correction into a 33-point lattice. Throws EEngineError, with the lattice untouched,
// for another size or for a weighted mask whose source channel does not vary.
void ApplySecondaryCorrection(const TSecondCorrectionData &data, TLUT &lut);
void PreviewSecondaryCorrection(const TBitmap24 &reference, const TBitmap24 &source, TLUT &lut,
                                double OpacityY, double OpacityU, double OpacityV,
                                std::int32_t softness);

} // namespace tintwise
