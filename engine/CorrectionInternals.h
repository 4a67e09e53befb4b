// What the primary and secondary corrections share inside the engine: the tabulated YUV
// conversion of pixel bytes, the clamp to 0..1, measuring two pictures at once, and the test for a
// source channel that does not vary.
#pragma once

#include <cstdint>

#include "engine/PrimaryCorrection.h"

namespace tintwise {

class TBitmap24;

// RGBToYUV of a pixel's bytes without the per-pixel multiplications: the extended-precision
// products of every byte value with every matrix constant are tabulated once, and a pixel costs
// the same two extended additions per channel that RGBToYUV makes, so the doubles are identical.
// Each product is kept as two doubles whose sum is exactly the extended value: loading an
// extended number from memory is far slower than loading two doubles and adding them, and that
// addition is exact.
struct TYUVTables {
  double Hi[3][3][256]; // [output channel][input channel][byte]
  double Lo[3][3][256];

  long double Product(int c, int k, std::uint8_t v) const {
    return static_cast<long double>(Hi[c][k][v]) + static_cast<long double>(Lo[c][k][v]);
  }
  void Convert(std::uint8_t r, std::uint8_t g, std::uint8_t b, double out[3]) const {
    for (int c = 0; c < 3; ++c)
      out[c] = static_cast<double>(Product(c, 0, r) + Product(c, 1, g) + Product(c, 2, b));
  }
};
const TYUVTables &YUVTables();

// Not greater than or equal to 0 (negative or NaN) becomes 0; greater than 1 becomes 1.
inline double ClampUnit(double v) { return !(v >= 0) ? 0 : (v > 1 ? 1 : v); }

// Measures two pictures, on two threads when there are two cores.
void CalcStatisticsPair(const TBitmap24 &first, const TBitmap24 &second, TChannelValues &mean1,
                        TChannelValues &dev1, TChannelValues &mean2, TChannelValues &dev2);
// A source channel whose deviation is below this does not vary: the pixels hold one value and
// what is left is the rounding of the mean (about 1e-17), or the rounding noise of a channel that
// is identically zero for the colours present (V of greys, about 1e-20). Real variation of 8-bit
// pictures stays orders of magnitude above it. Scaling by such a deviation would blow rounding
// noise up into the result, so it is refused, or passed over where the channel's opacity is 0.
constexpr double kNoVariation = 1e-12;
inline bool Varies(double deviation) { return deviation >= kNoVariation; } // false for NaN

// Throws EEngineError naming the first channel that does not vary in the source although its
// opacity asks for a correction.
void CheckSourceDeviations(const TChannelValues &deviations, const TChannelValues &opacities);

} // namespace tintwise
