// Three-channel curve formats of Filmlight, S.two, Fusion, Blackmagic, Cine-tal, Shake and the
// DaVinci Resolve input and output curves.
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

// A Truelight cube holding only its input curve: "# lutLength n", then decimal lines.
class TFilmlight1DLutFormat : public TGenericLutFormat {
public:
  TFilmlight1DLutFormat() : TGenericLutFormat("Filmlight Truelight 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

// <lut><data><elem r=".." g=".." b=".."/>...</data></lut>; always read as 10-bit codes.
class TStwo1DLutFormat : public TGenericLutFormat {
public:
  TStwo1DLutFormat() : TGenericLutFormat("S.two 1D", false) { Depth = 10; }
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  // Its own loader through the XML reader.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// "F5LT", the bit depth, then lines "i r i g i b".
class TFusion1DLutFormat : public TGenericLutFormat {
public:
  TFusion1DLutFormat() : TGenericLutFormat("Fusion 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// A header line, then the values times 1000 with two decimals.
class TBlackmagic1DLutFormat : public TGenericLutFormat {
public:
  TBlackmagic1DLutFormat() : TGenericLutFormat("Blackmagic HDLink 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

// Written only: one line of three codes per entry, no header. Cine-tal 1D and Shake 1D share it.
class TCodeLines1DLutWriter : public TGenericLutFormat {
public:
  bool CanRead(const TLutFileHead &) const override { return false; }

protected:
  using TGenericLutFormat::TGenericLutFormat;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

class TCinetal1DLutFormat : public TCodeLines1DLutWriter {
public:
  TCinetal1DLutFormat() : TCodeLines1DLutWriter("Cine-tal 1D", false) {}
};

class TShake1DLutFormat : public TCodeLines1DLutWriter {
public:
  TShake1DLutFormat() : TCodeLines1DLutWriter("Shake 1D", false) {}
};

// Read only: lines of three integer codes (anything after the third is ignored) divided by the
// format's maximum code.
class TDavinciLut1DLutFormat : public TGenericLutFormat {
public:

protected:
  TDavinciLut1DLutFormat(std::string name, int maxCode)
      : TGenericLutFormat(std::move(name), false), FMaxCode(maxCode) {}
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &, const TLUT &, int) override {}

private:
  const int FMaxCode;
};

// 14-bit codes; extension ".ilut", and not an IRIDAS script.
class TDavinciILut1DLutFormat : public TDavinciLut1DLutFormat {
public:
  TDavinciILut1DLutFormat() : TDavinciLut1DLutFormat("DaVinci Resolve ilut 1D", 16383) {}
  bool CanRead(const TLutFileHead &Head) const override;
};

// 12-bit codes; extension ".olut".
class TDavinciOLut1DLutFormat : public TDavinciLut1DLutFormat {
public:
  TDavinciOLut1DLutFormat() : TDavinciLut1DLutFormat("DaVinci Resolve olut 1D", 4095) {}
  bool CanRead(const TLutFileHead &Head) const override;
};

} // namespace tintwise
