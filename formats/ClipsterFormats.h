// Clipster, Luther, Colorfront and DaVinci DAT formats: integer lattices (Clipster in XML, Luther in
// text), decimal lattices in blue-first order (Colorfront OSD, DaVinci DAT) and a decimal curve
// (Colorfront OSD 1D).
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

// <LUT3D name='..' N='n' BitDepth='b'> with the codes in a <values> element, blue fastest.
class TClipster3DLutFormat : public TGenericLutFormat {
public:
  TClipster3DLutFormat() : TGenericLutFormat("Clipster 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  // Its own loader through the XML reader.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// "#elements = n^3", then 10-bit codes, blue fastest.
class TLuther3DLutFormat : public TGenericLutFormat {
public:
  TLuther3DLutFormat() : TGenericLutFormat("Luther 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  bool AcceptsBits(int Bits) const override { return Bits >= 1 && Bits <= 16; }
};

// What Colorfront OSD 3D and DaVinci DAT 3D share: decimal lines of blue, green, red, with the red
// index advancing fastest.
class TBlueFirst3DLutFormat : public TGenericLutFormat {
protected:
  using TGenericLutFormat::TGenericLutFormat;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  // Sets Size from the number of lines of the whole file that hold three decimals, refusing a
  // count that is not the cube of a whole number.
  void SizeFromValueLines();
  // Stores a line of blue, green, red at the next point unless the lattice is complete.
  void StoreBlueFirst(std::string_view Line, TLUT &LUT);
};

// No header: the size is the cube root of the number of value lines.
class TColorFrontOSD3DLutFormat : public TBlueFirst3DLutFormat {
public:
  TColorFrontOSD3DLutFormat() : TBlueFirst3DLutFormat("Colorfront OSD 3D", true) {}
  // True for the extension ".3dmesh" in any case; the content is not looked at.
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
};

// "3DLUTSIZE n" (or, without it, the size from the number of value lines), then the same lines.
class TDavinciDat3DLutFormat : public TBlueFirst3DLutFormat {
public:
  TDavinciDat3DLutFormat() : TBlueFirst3DLutFormat("Davinci DAT 3D", true) {}
  // "3DLUTSIZE" in the file, or the extension ".dat" and a line of three decimals in its head.
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;

private:
  bool FHasHeader = false; // the file holds a "3DLUTSIZE" line
};

// No header: one decimal line red, green, blue per entry.
class TColorFrontOSD1DLutFormat : public TGenericLutFormat {
public:
  TColorFrontOSD1DLutFormat() : TGenericLutFormat("Colorfront OSD 1D", false) {}
  // True for the extension ".1dlut" in any case.
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

} // namespace tintwise
