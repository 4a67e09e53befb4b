// The FSI DIT binary format: a 128-byte header and 64 x 64 x 64 packed 10-bit triples.
#pragma once

#include <cstdint>

#include "formats/LutFormat.h"

namespace tintwise {

class TFSI_DIT_3DLutFormat : public TLUTFormat {
public:
  TFSI_DIT_3DLutFormat() : TLUTFormat("FSI DIT (Flanders Scientific) 3D", true) {}
  // True when the file's first 32-bit word (little-endian) is the magic number.
  bool CanRead(const TLutFileHead &Head) const override;

  static constexpr std::uint32_t kMagic = 0x42340299;
  static constexpr std::uint32_t kVersion = 0x01000002;
  static constexpr int kSize = 64;           // points per axis, always
  static constexpr int kHeaderBytes = 128;
  static constexpr double kFullScale = 1008; // the code of 1.0; up to 1023 is headroom

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  // Bits is ignored: codes are always 10 bits on the 1008 scale, clamped to 0..1023.
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

} // namespace tintwise
