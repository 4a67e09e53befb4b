// Engine-internal helpers shared by the corrections.
#pragma once

#include <cstdint>

#include "engine/PrimaryCorrection.h"

namespace tintwise {

class TBitmap24;

// RGBToYUV of a pixel's bytes without the per-pixel multiplications: the extended-precision
// products of every byte value with every matrix constant are tabulated once, and a pixel costs
// the same two extended additions per channel that RGBToYUV makes, so the doubles are identical.
struct TYUVTables {
  long double P[3][3][256]; // [output channel][input channel][byte]

  void Convert(std::uint8_t r, std::uint8_t g, std::uint8_t b, double out[3]) const {
    for (int c = 0; c < 3; ++c)
      out[c] = static_cast<double>(P[c][0][r] + P[c][1][g] + P[c][2][b]);
  }
};
const TYUVTables &YUVTables();

// Not greater than or equal to 0 (negative or NaN) becomes 0; greater than 1 becomes 1.
inline double ClampUnit(double v) { return !(v >= 0) ? 0 : (v > 1 ? 1 : v); }

// Measures two pictures, on two threads when there are two cores.
void CalcStatisticsPair(const TBitmap24 &first, const TBitmap24 &second, TChannelValues &mean1,
                        TChannelValues &dev1, TChannelValues &mean2, TChannelValues &dev2);
// Throws EEngineError naming the first channel whose source deviation is 0 (or not a number).
void CheckSourceDeviations(const TChannelValues &deviations);

} // namespace tintwise
