// Integer text formats of Codex and Quantel: two lattices and two three-channel curves.
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

// "Lut3D: n", then one line of three 12-bit codes per point, blue fastest. Always read as 12 bits.
class TCodex3DLutFormat : public TGenericLutFormat {
public:
  TCodex3DLutFormat() : TGenericLutFormat("Codex 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// "max value" and "vertices" headers, then the lattice, blue fastest, divided by the maximum.
class TQuantel3DLutFormat : public TGenericLutFormat {
public:
  TQuantel3DLutFormat() : TGenericLutFormat("Quantel 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// "LUT: channels entries [output codes]", then every red value, every green value, every blue value,
// one per line. The values are divided by the number of output codes less one, which is the entry
// count unless the header names another.
class TCodex1DLutFormat : public TGenericLutFormat {
public:
  TCodex1DLutFormat() : TGenericLutFormat("Codex 1D, Scratch 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void BeginParse(const TTextFile &Lines) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }

private:
  std::int32_t FChannels = 3; // 1: one table for all three channels
  int FChannel = 0;           // 0 red, 1 green, 2 blue
};

// "gMax" and "gSize" headers, then one line of three codes per entry.
class TQuantel1DLutFormat : public TGenericLutFormat {
public:
  TQuantel1DLutFormat() : TGenericLutFormat("Quantel 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

} // namespace tintwise
