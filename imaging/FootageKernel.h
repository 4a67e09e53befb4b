// Running footage pixels through a LUT at their own precision: integer codes of 1 to 16 bits in
// 8- or 16-bit containers, and half or single floats. The picture's first three channels are red,
// green and blue; any further channels (alpha, depth) are left as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Lut.h"

namespace tintwise {

class TFootageKernel {
public:
  // Integer pictures of `bits` significant bits (1 to 16); 0 for floating-point pictures. The
  // kernel keeps what it needs of the LUT (and a reference to it for LUTs with a curve).
  TFootageKernel(const TLUT &lut, int bits);
  ~TFootageKernel();
  TFootageKernel(const TFootageKernel &) = delete;
  TFootageKernel &operator=(const TFootageKernel &) = delete;

  int Bits() const { return FBits; }

  // Integer codes, in place. A 16-bit container holding fewer significant bits holds the code
  // widened to 16 bits, as the picture library reads it (the nearest code to v * (2^bits - 1) /
  // 65535 is read back, the code's bits repeated from the top are written); an 8-bit container
  // holds the code itself. Every result is the one ApplyToColor gives with input and output of `bits` bits.
  void ApplyCodes(std::uint16_t *pixels, std::size_t count, int channels) const;
  void ApplyCodes(std::uint8_t *pixels, std::size_t count, int channels) const;

  // Floats, in place: each result is within 1/65,535 of Evaluate at double precision, clamped to
  // 0..1 as ApplyToColor clamps (NaN counts as 0).
  void ApplyFloats(float *pixels, std::size_t count, int channels) const;
  // Half floats (IEEE binary16 bit patterns), in place, through the same arithmetic as floats.
  void ApplyHalves(std::uint16_t *pixels, std::size_t count, int channels) const;

  struct TPlan;

private:
  int FBits;
  std::unique_ptr<TPlan> FPlan;
};

} // namespace tintwise
