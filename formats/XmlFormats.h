// Lattice formats stored as XML documents: Adobe Speedgrade looks (read only) and PixelFarm PFClean
// cubes.
#pragma once

#include <cstddef>
#include <string_view>

#include "formats/LutFormat.h"

namespace tintwise {

// Reads the next value of a look's data text from Pos on: eight hexadecimal digits (other
// characters are skipped) that are the four bytes of a little-endian single-precision number, so
// 1.0 is written 0000803f. Pos moves past every character looked at. A value that is not a number
// reads as 0. Answers false, with Pos at the end, when fewer than eight digits are left.
bool ReadHexFloat(std::string_view Data, std::size_t &Pos, float &Value);

// <look> ... <LUT><size>"n"</size><data>"hex digits"</data></LUT></look>, red fastest. A look without
// a LUT is the identity.
class TSpeedgradeLook3DLutFormat : public TGenericLutFormat {
public:
  TSpeedgradeLook3DLutFormat() : TGenericLutFormat("Adobe Speedgrade Look 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &, const TLUT &, int) override {}
};

// <lut type="ascii"><maximum>m</maximum><size>n</size><cube>codes</cube></lut>, blue fastest.
class TPFClean3D_Format : public TGenericLutFormat {
public:
  TPFClean3D_Format() : TGenericLutFormat("PixelFarm PFClean 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

} // namespace tintwise
