// Cube-style text formats: decimal triples, one per line, with keyword header lines.
#pragma once

#include "formats/LutFormat.h"

namespace tintwise {

class TCube3DLutFormat : public TGenericLutFormat {
public:
  TCube3DLutFormat() : TCube3DLutFormat("Cube 3D") {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  explicit TCube3DLutFormat(std::string name) : TGenericLutFormat(std::move(name), true) {}
  // The generic loader; a file that also announces LUT_1D_SIZE (as Resolve writes them) holds a
  // curve before its lattice and loads with Mode 2.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  // Called for every line while Size is -1.
  virtual void ParseHeaderLine(std::string_view Line, TLUT &LUT);

  std::int32_t CurveSize = 0; // entries of a leading curve, 0 for none
};

class TCube3DTruelightLutFormat : public TCube3DLutFormat {
public:
  TCube3DTruelightLutFormat() : TCube3DLutFormat("Cube 3D Truelight") {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  // A file with an "# InputLUT" section (a curve in lattice units before the cube) loads with
  // Mode 2, the curve scaled to 0..1.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
  void ParseHeaderLine(std::string_view Line, TLUT &LUT) override;

private:
  bool FInInputLut = false;
  bool FSawInputLut = false;
  std::int32_t FInputLength = -1; // "# lutLength", -1 when not given
};

class TFSI_CFE_3DLutFormat : public TCube3DLutFormat {
public:
  TFSI_CFE_3DLutFormat() : TCube3DLutFormat("FSI CFE (Flanders Scientific) 3D") {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

class TCube1DLutFormat : public TGenericLutFormat {
public:
  TCube1DLutFormat() : TGenericLutFormat("Cube 1D", false) {}
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;
};

class TNucoda3DLutFormat : public TGenericLutFormat {
public:
  TNucoda3DLutFormat() : TGenericLutFormat("Nucoda 3D", true) {}
  bool CanRead(const TLutFileHead &Head) const override;

  const std::int32_t PreLutSize = 4096; // curve entries written before the lattice

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
  void ParseLine(std::string_view Line, TLUT &LUT) override;

private:
  std::int32_t CurveSize = 0;
  std::int32_t Version = 0;
  bool HasCurve = false;
  bool HasLattice = false;
};

class TNucoda1DLutWriterFormat : public TGenericLutFormat {
public:
  TNucoda1DLutWriterFormat() : TGenericLutFormat("Nucoda 1D", false) {}
  bool CanRead(const TLutFileHead &) const override { return false; }

protected:
  void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) override;
};

} // namespace tintwise
