// Colour-pick corrections: move one colour of the lattice to another with a spherical falloff.
#pragma once

#include <cstdint>

#include "engine/Lut.h"

namespace tintwise {

// A platform colour value: red in the low byte, green in the next, blue in the third.
using TColorValue = std::uint32_t;

struct TCorrectionData {
  std::int32_t Softness = 0; // 0..10, the radius in lattice steps
  TColorValue SourceColor = 0;
  TColorValue TargetColor = 0;
};

TColorTriple ColorValueToTriple(TColorValue color); // Bits 8

void ApplyColorPick(TLUT &lut, const TColorTriple &source, const TColorTriple &target,
                    std::int32_t softness);

} // namespace tintwise
