// Integer-code text formats: the Lustre 3D mesh, the Lustre 1D table and the Pandora cube.
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

class TLustre3DLutFormat : public TGenericLutFormat {
public:
  TLustre3DLutFormat() : TGenericLutFormat("Autodesk Lustre 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  // Its own loader: the size and the maximum code come from the "Mesh" line.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

class TPandora3DLutFormat : public TGenericLutFormat {
public:
  TPandora3DLutFormat() : TGenericLutFormat("Pandora 3D, Technicolor", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

class TLustre1DLutFormat : public TGenericLutFormat {
public:
  TLustre1DLutFormat() : TGenericLutFormat("Autodesk Lustre 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

} // namespace tintwise
