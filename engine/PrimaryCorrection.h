// Primary correction: match the mean and deviation of each working-model channel of the source to
// the reference, and write the mapping into a LUT's lattice.
#pragma once

#include <array>

namespace tintwise {

class TBitmap24;
class TLUT;

using TChannelValues = std::array<double, 3>; // channels 0, 1, 2 of the working model

// Throw EEngineError for an empty bitmap.
void CalcChannelMeans(const TBitmap24 &bitmap, double &mean0, double &mean1, double &mean2);
void CalcChannelDeviations(const TBitmap24 &bitmap, double &dev0, double &dev1, double &dev2);

// Means and population deviations in one call, exactly as the two functions above compute them.
void CalcChannelStatistics(const TBitmap24 &bitmap, TChannelValues &means, TChannelValues &deviations);

// Rewrites the first Size3D points per axis of lut's lattice. Throws EEngineError, with the lattice
// untouched, for an empty picture or a source channel that does not vary.
void ApplyPrimaryCorrection(const TBitmap24 &reference, const TBitmap24 &source, TLUT &lut,
                            double OpacityY, double OpacityU, double OpacityV);

} // namespace tintwise
