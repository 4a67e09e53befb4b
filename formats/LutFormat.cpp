#include "formats/LutFormat.h"

#include <stdexcept>
#include <vector>

#include "formats/LutFormatFamilies.h"
#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/XmlReader.h"

namespace tintwise {

// ---------------------------------------------------------------------------------------------
// TLUTFormat

void TLUTFormat::LoadFromFile(const std::string &FileName, TLUT &LUT) {
  const std::size_t commentsBefore = LUT.Comments.size();
  auto reset = [&] {
    LUT.Mode = kModeIdentity;
    LUT.Size1D = 0;
    LUT.Size3D = 0;
    if (LUT.Comments.size() > commentsBefore)
      LUT.Comments.resize(commentsBefore);
  };
  try {
    DoLoadFromFile(FileName, LUT);
  } catch (const ELUTError &e) {
    reset();
    throw ELUTError(LoadErrorPlace(FileName, Name, ErrorLine()) + e.what(), FileName);
  } catch (const EConvertError &e) {
    reset();
    throw EConvertError(LoadErrorPlace(FileName, Name, ErrorLine()) + e.what());
  } catch (const EXMLError &e) {
    reset();
    throw EXMLError(LoadErrorPlace(FileName, Name, ErrorLine()) + e.what());
  } catch (...) {
    reset();
    throw;
  }
  // Every reader bounds its sizes; this makes sure no table in force is left unusable.
  const bool curve = LUT.Mode == kMode1D || LUT.Mode == kMode1DThen3D;
  const bool lattice = LUT.Mode == kMode3D || LUT.Mode == kMode1DThen3D;
  std::string problem;
  if ((curve && (LUT.Size1D < 2 || LUT.Size1D > kMaxSize1D)) ||
      (lattice && (LUT.Size3D < 2 || LUT.Size3D > kMaxSize3D)) || LUT.Mode > kModeIdentity)
    problem = "the file holds no usable table.";
  else if (const std::string where = NonFiniteValue(LUT); !where.empty())
    problem = "the table holds a value that is not a finite number at " + where + ".";
  if (!problem.empty()) {
    reset();
    throw ELUTError(LoadErrorPlace(FileName, Name, 0) + problem, FileName);
  }
}

void TLUTFormat::SaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  if (!CanWrite())
    return;
  if (Is3D && (LUT.Size3D < 2 || LUT.Size3D > kMaxSize3D))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size3D) +
                        " points per axis; 2 to 101 are possible.",
                    FileName);
  if (!Is3D && (LUT.Size1D < 2 || LUT.Size1D > kMaxSize1D))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size1D) +
                        " curve entries; 2 to 100001 are possible.",
                    FileName);
  if (!AcceptsBits(Bits))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(Bits) + " bits.", FileName);
  // A value that is not a finite number has no text and no code that means it.
  const std::string where = NonFiniteValue(LUT);
  if (!where.empty())
    throw ELUTError("Cannot write " + Name + " to \"" + FileName + "\": the table holds a value that is not a finite number at " +
                        where + ".",
                    FileName);
  try {
    DoSaveToFile(FileName, LUT, Bits);
  } catch (const EValueOutOfRange &e) {
    throw ELUTError("Cannot write " + Name + " to \"" + FileName + "\": " + e.what(), FileName);
  }
}

// ---------------------------------------------------------------------------------------------
// TGenericLutFormat

void TGenericLutFormat::DoLoadFromFile(const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TTextFile lines;
  lines.LoadFromFile(fileName);
  Lines = &lines;
  try {
    BeginParse(lines);
    lines.ForEachLine([&](std::string_view line) {
      ++LineNumber;
      if (!FSawText && !TrimLut(line).empty())
        FSawText = true;
      ParseLine(line, LUT);
    });
  } catch (...) {
    Lines = nullptr;
    throw;
  }
  Lines = nullptr;
  LineNumber = 0;
  if (Is3D) {
    LUT.Mode = kMode3D;
    LUT.Size3D = Size;
  } else {
    LUT.Mode = kMode1D;
    LUT.Size1D = Size;
  }
  if (!Complete)
    FailIncomplete();
}

// ---------------------------------------------------------------------------------------------
// The tables

namespace {

// A row of the format table whose family is not written yet: it recognises no file and refuses
// to read or write, saying so.
class TPendingLutFormat final : public TLUTFormat {
public:
  using TLUTFormat::TLUTFormat;
  bool CanRead(const std::string &) override { return false; }

protected:
  void DoLoadFromFile(const std::string &FileName, TLUT &) override {
    throw ELUTError("Reading " + Name + " files is not supported yet.", FileName);
  }
  void DoSaveToFile(const std::string &FileName, const TLUT &, int) override {
    throw ELUTError("Writing " + Name + " files is not supported yet.", FileName);
  }
};

struct TFormatRow {
  TLutFormatFactory Create; // nullptr: the family is not written yet
  const char *Name;
  bool Is3D;
};

// The format table. The index of a row is its position; profiles and saved settings refer to
// formats by index, so rows are never reordered.
const TFormatRow kFormatRows[] = {
    /*  0 */ {NewCube3DTruelightLutFormat, "Cube 3D Truelight", true},
    /*  1 */ {NewCube3DLutFormat, "Cube 3D", true},
    /*  2 */ {NewLustre3DLutFormat, "Autodesk Lustre 3D", true},
    /*  3 */ {NewPandora3DLutFormat, "Pandora 3D, Technicolor", true},
    /*  4 */ {New3dlLutFormat, "3DL", true},
    /*  5 */ {NewNucoda3DLutFormat, "Nucoda 3D", true},
    /*  6 */ {NewCodex3DLutFormat, "Codex 3D", true},
    /*  7 */ {NewCube1DLutFormat, "Cube 1D", false},
    /*  8 */ {NewClipster3DLutFormat, "Clipster 3D", true},
    /*  9 */ {NewLuther3DLutFormat, "Luther 3D", true},
    /* 10 */ {NewColorFrontOSD3DLutFormat, "Colorfront OSD 3D", true},
    /* 11 */ {NewDavinciDat3DLutFormat, "Davinci DAT 3D", true},
    /* 12 */ {NewQuantel3DLutFormat, "Quantel 3D", true},
    /* 13 */ {NewCodex1DLutFormat, "Codex 1D, Scratch 1D", false},
    /* 14 */ {NewLustre1DLutFormat, "Autodesk Lustre 1D", false},
    /* 15 */ {NewFilmlight1DLutFormat, "Filmlight Truelight 1D", false},
    /* 16 */ {NewQuantel1DLutFormat, "Quantel 1D", false},
    /* 17 */ {NewStwo1DLutFormat, "S.two 1D", false},
    /* 18 */ {NewNucoda1DLutWriterFormat, "Nucoda 1D", false},
    /* 19 */ {NewColorFrontOSD1DLutFormat, "Colorfront OSD 1D", false},
    /* 20 */ {NewFusion1DLutFormat, "Fusion 1D", false},
    /* 21 */ {NewBlackmagic1DLutFormat, "Blackmagic HDLink 1D", false},
    /* 22 */ {NewCinetal1DLutFormat, "Cine-tal 1D", false},
    /* 23 */ {NewShake1DLutFormat, "Shake 1D", false},
    /* 24 */ {NewDavinciILut1DLutFormat, "DaVinci Resolve ilut 1D", false},
    /* 25 */ {NewDavinciOLut1DLutFormat, "DaVinci Resolve olut 1D", false},
    /* 26 */ {NewSpeedgradeLook3DLutFormat, "Adobe Speedgrade Look 3D", true},
    /* 27 */ {NewASC_CDL_Format, "ASC CDL", true},
    /* 28 */ {NewPFClean3D_Format, "PixelFarm PFClean 3D", true},
    /* 29 */ {NewFSI_CFE_3DLutFormat, "FSI CFE (Flanders Scientific) 3D", true},
    /* 30 */ {NewFSI_DIT_3DLutFormat, "FSI DIT (Flanders Scientific) 3D", true},
};

std::vector<std::unique_ptr<TLUTFormat>> &LutFormats() {
  static std::vector<std::unique_ptr<TLUTFormat>> formats;
  return formats;
}

std::vector<TLutOutputProfile> &LutOutputProfiles() {
  static std::vector<TLutOutputProfile> profiles;
  return profiles;
}

} // namespace

void InitLutFormats() {
  auto &formats = LutFormats();
  if (!formats.empty())
    return;
  for (const TFormatRow &row : kFormatRows) {
    std::unique_ptr<TLUTFormat> format =
        row.Create ? row.Create() : std::make_unique<TPendingLutFormat>(row.Name, row.Is3D);
    if (format->Name != row.Name || format->Is3D != row.Is3D)
      throw std::logic_error(std::string("format table row does not match its class: ") + row.Name);
    formats.push_back(std::move(format));
  }

  auto &profiles = LutOutputProfiles();
  profiles.clear();
  // Name, extension, format index, default size, default bits, size selectable, bits selectable.
  AddLutOutputProfile("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", 4, 17, 12, false, false);
  AddLutOutputProfile("3DL Fusion", "3dl", 4, 33, 12, false, false);
  AddLutOutputProfile("Autodesk Lustre 3D", "lut", 2, 33, 12, false, false);
  AddLutOutputProfile("Clipster 3D", "txt", 8, 17, 16, false, false);
  AddLutOutputProfile("Codex 3D", "txt", 6, 17, 12, false, false);
  AddLutOutputProfile("Colorfront OSD 3D", "3dmesh", 10, 17, 0, false, false);
  AddLutOutputProfile("Cube 3D Iridas, Nuke, AfterEffects", "cube", 1, 32, 0, false, false);
  AddLutOutputProfile("Cube 3D Davinci", "cube", 1, 33, 0, true, false);
  AddLutOutputProfile("Cube 3D Truelight", "cube", 0, 32, 0, false, false);
  AddLutOutputProfile("Davinci DAT 3D", "dat", 11, 33, 0, false, false);
  AddLutOutputProfile("Dolby DD3", "dd3", 4, 17, 12, false, false);
  AddLutOutputProfile("FSI CFE (Flanders Scientific) 3D", "cfe", 29, 17, 0, false, false);
  AddLutOutputProfile("FSI DIT (Flanders Scientific) 3D", "dat", 30, 64, 10, false, false);
  AddLutOutputProfile("Nucoda 3D", "cms", 5, 33, 0, true, false);
  AddLutOutputProfile("Luther 3D", "txt", 9, 33, 10, false, false);
  AddLutOutputProfile("Pandora 3D, Apple 3D m3d", "m3d", 3, 17, 16, false, false);
  AddLutOutputProfile("PixelFarm PFClean 3D", "pfl", 28, 16, 8, false, false);
  AddLutOutputProfile("Quantel 3D", "txt", 12, 17, 12, false, false);
  AddLutOutputProfile("Technicolor 3D mga", "mga", 3, 33, 16, false, false);
  AddLutOutputProfile("Autodesk Lustre 1D", "lut", 14, 65536, 16, true, true);
  AddLutOutputProfile("Blackmagic HDLink 1D", "txt", 21, 1024, 0, false, false);
  AddLutOutputProfile("Cine-tal 1D", "txt", 22, 1024, 10, false, false);
  AddLutOutputProfile("Codex 1D, Sony SRW-1, Scratch 1D", "dat", 13, 1024, 10, false, false);
  AddLutOutputProfile("Colorfront OSD 1D", "1dlut", 19, 1024, 0, false, false);
  AddLutOutputProfile("Cube 1D", "cube", 7, 4096, 0, false, false);
  AddLutOutputProfile("Filmlight Truelight 1D", "cube", 15, 4096, 0, false, false);
  AddLutOutputProfile("Fusion 1D", "alut", 20, 65536, 16, false, false);
  AddLutOutputProfile("Nucoda 1D", "cms", 18, 4096, 0, false, false);
  AddLutOutputProfile("Quantel 1D", "txt", 16, 1024, 10, false, false);
  AddLutOutputProfile("S.two 1D", "swto.xml", 17, 1024, 10, false, false);
  AddLutOutputProfile("Shake 1D", "txt", 23, 65536, 16, false, false);
}

void DoneLutFormats() {
  LutOutputProfiles().clear();
  LutFormats().clear();
}

int LutFormatCount() { return static_cast<int>(LutFormats().size()); }

TLUTFormat *GetLutFormat(int Index) {
  auto &formats = LutFormats();
  if (Index < 0 || Index >= static_cast<int>(formats.size()))
    return nullptr;
  return formats[Index].get();
}

int LutOutputProfileCount() { return static_cast<int>(LutOutputProfiles().size()); }

const TLutOutputProfile &GetLutOutputProfile(int Index) {
  auto &profiles = LutOutputProfiles();
  if (Index < 0 || Index >= static_cast<int>(profiles.size()))
    throw ELUTError("List index out of bounds (" + std::to_string(Index) + ")");
  return profiles[Index];
}

void AddLutOutputProfile(const std::string &Name, const std::string &Extension, int FormatIndex,
                         int DefaultSize, int DefaultBits, bool SizeSelectable, bool BitsSelectable) {
  LutOutputProfiles().push_back(
      {Name, Extension, FormatIndex, DefaultSize, DefaultBits, SizeSelectable, BitsSelectable});
}

int LutFormatIndex(const TLUTFormat *format) {
  auto &formats = LutFormats();
  for (std::size_t i = 0; i < formats.size(); ++i)
    if (formats[i].get() == format)
      return static_cast<int>(i);
  return -1;
}

TLUTFormat *FindLutFormat(const std::string &FileName) {
  for (auto &format : LutFormats())
    if (format->CanRead(FileName))
      return format.get();
  return nullptr;
}

TLUTFormat *LoadLutFile(const std::string &FileName, TLUT &LUT) {
  TLUTFormat *format = FindLutFormat(FileName);
  if (!format)
    throw ELUTError(FileName + ": no known LUT format recognises this file.", FileName);
  format->LoadFromFile(FileName, LUT);
  return format;
}

} // namespace tintwise
