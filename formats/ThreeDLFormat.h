// The 3DL format: an input shaper line whose number of entries is the lattice size, then one line
// of three integer codes per lattice point, blue fastest.
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

class T3dlLutFormat : public TGenericLutFormat {
public:
  T3dlLutFormat() : TGenericLutFormat("3DL", true) {}
  // True exactly for the extension ".3dl" in any case; the content is not looked at.
  bool CanRead(const TLutFileHead &Head) const override;
  // The number of items of a line split at runs of blanks and control characters, or -1 when one
  // of them is not a 32-bit decimal integer.
  static int CountShaperValues(std::string_view Line);

protected:
  // Finds the bit depth: 16 when any value line holds a code above 4095, 12 otherwise.
  void BeginParse(const TTextFile &Lines) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

} // namespace tintwise
