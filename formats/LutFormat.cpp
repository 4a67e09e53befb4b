#include "formats/LutFormat.h"

#include <stdexcept>
#include <vector>

#include "engine/FileAccess.h"
#include "formats/CdlFormat.h"
#include "formats/ClipsterFormats.h"
#include "formats/CodexQuantelFormats.h"
#include "formats/CubeFormats.h"
#include "formats/FsiDitFormat.h"
#include "formats/LustreFormats.h"
#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/OneDFormats.h"
#include "formats/ThreeDLFormat.h"
#include "formats/XmlFormats.h"
#include "formats/XmlReader.h"

namespace tintwise {

// ---------------------------------------------------------------------------------------------
// TLutFileHead

namespace {

// Files up to this size are read whole when their head is read, so finding their format and
// loading them reads them once.
constexpr std::size_t kWholeBytes = 64 * 1024;

} // namespace

TLutFileHead TLutFileHead::Read(const std::string &FileName) {
  TLutFileHead head;
  head.FFileName = FileName;
  head.FData = ReadFileHead(FileName, kWholeBytes + 1);
  head.FWhole = head.FData.size() <= kWholeBytes;
  if (!head.FWhole)
    head.FData.resize(kKeywordBytes);
  head.Prepare();
  return head;
}

TLutFileHead::TLutFileHead(std::string FileName, std::string_view Bytes)
    : FFileName(std::move(FileName)), FData(Bytes), FWhole(true) {
  Prepare();
}

void TLutFileHead::Prepare() {
  const std::size_t slash = FFileName.find_last_of('/');
  const std::size_t dot = FFileName.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    FExtension = FFileName.substr(dot);
  for (char &c : FExtension)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  FUpper = std::string(Bytes());
  for (char &c : FUpper)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
}

std::string_view TLutFileHead::Bytes() const {
  return std::string_view(FData).substr(0, kKeywordBytes);
}

bool TLutFileHead::HasKeywords(std::string_view Required, std::string_view Excluded) const {
  return HasKeywordsIn(FUpper, Required, Excluded);
}

// ---------------------------------------------------------------------------------------------
// TLUTFormat

void TLUTFormat::LoadFromFile(const std::string &FileName, TLUT &LUT) {
  std::string bytes;
  if (CanReadFiles()) { // the others say why they read nothing without reading
    const bool vowel = std::string_view("AEIOU").find(Name[0]) != std::string_view::npos;
    try {
      bytes = ReadWholeFile(FileName, FInfo->MaxFileBytes, (vowel ? "an " : "a ") + Name + " file");
    } catch (...) {
      LUT.Mode = kModeIdentity;
      LUT.Size1D = 0;
      LUT.Size3D = 0;
      throw;
    }
  }
  LoadFromBuffer(bytes, FileName, LUT);
}

void TLUTFormat::LoadFromBuffer(std::string_view Bytes, const std::string &FileName, TLUT &LUT) {
  const std::size_t commentsBefore = LUT.Comments.size();
  auto reset = [&] {
    LUT.Mode = kModeIdentity;
    LUT.Size1D = 0;
    LUT.Size3D = 0;
    if (LUT.Comments.size() > commentsBefore)
      LUT.Comments.resize(commentsBefore);
  };
  try {
    if (!CanReadFiles())
      throw ELUTError(Name + " files are only written; this program does not read them.");
    DoLoad(Bytes, FileName, LUT);
  } catch (const ELUTError &e) {
    reset();
    throw ELUTError(LoadErrorPlace(FileName, Name, ErrorLine()) + e.what());
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
    throw ELUTError(LoadErrorPlace(FileName, Name, 0) + problem);
  }
}

void TLUTFormat::SaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  if (!CanWrite())
    return;
  if (Is3D && (LUT.Size3D < 2 || LUT.Size3D > kMaxSize3D))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size3D) +
                        " points per axis; 2 to 101 are possible.");
  if (!Is3D && (LUT.Size1D < 2 || LUT.Size1D > kMaxSize1D))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size1D) +
                        " curve entries; 2 to 100001 are possible.");
  if (!AcceptsBits(Bits))
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(Bits) + " bits.");
  // A value that is not a finite number has no text and no code that means it.
  const std::string where = NonFiniteValue(LUT);
  if (!where.empty())
    throw ELUTError("Cannot write " + Name + " to \"" + FileName + "\": the table holds a value that is not a finite number at " +
                        where + ".");
  try {
    DoSaveToFile(FileName, LUT, Bits);
  } catch (const EValueOutOfRange &e) {
    throw ELUTError("Cannot write " + Name + " to \"" + FileName + "\": " + e.what());
  }
}

// ---------------------------------------------------------------------------------------------
// TGenericLutFormat

void TGenericLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TTextFile lines;
  lines.SetTextView(Bytes);
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

using TLutFormatFactory = std::unique_ptr<TLUTFormat> (*)();

// One factory per row of the format table, in table order.
constexpr TLutFormatFactory kLutFormatFactories[] = {
#define LUT_FORMAT(Id, Class, Name, Is3D, Reads, Writes, Extensions, Family, MaxFileBytes)                  \
  []() -> std::unique_ptr<TLUTFormat> { return std::make_unique<Class>(); },
#include "formats/LutFormats.def"
#undef LUT_FORMAT
};

// Every format that reads has a cap on what it reads; the others read nothing.
constexpr bool CapsAreSound() {
  for (const TLutFormatInfo &info : kLutFormatInfo)
    if (info.Reads != (info.MaxFileBytes > 0))
      return false;
  return true;
}
static_assert(CapsAreSound(), "a format that reads needs a MaxFileBytes, one that does not needs 0");

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
  for (int i = 0; i < kLutFormatCount; ++i) {
    const TLutFormatInfo &info = kLutFormatInfo[i];
    std::unique_ptr<TLUTFormat> format = kLutFormatFactories[i]();
    if (format->Name != info.Name || format->Is3D != info.Is3D)
      throw std::logic_error("format table row does not match its class: " + std::string(info.Name));
    format->FInfo = &info;
    formats.push_back(std::move(format));
  }

  auto &profiles = LutOutputProfiles();
  profiles.clear();
  for (const TLutProfileRow &row : kLutProfileRows)
    profiles.push_back({row.Name, row.Extension, row.Format, static_cast<std::int32_t>(row.Format),
                        row.DefaultSize, row.DefaultBits, row.SizeSelectable, row.BitsSelectable});
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

TLUTFormat *GetLutFormat(TLutFormatId Id) { return GetLutFormat(static_cast<int>(Id)); }

int LutOutputProfileCount() { return static_cast<int>(LutOutputProfiles().size()); }

const TLutOutputProfile &GetLutOutputProfile(int Index) {
  auto &profiles = LutOutputProfiles();
  if (Index < 0 || Index >= static_cast<int>(profiles.size()))
    throw ELUTError("List index out of bounds (" + std::to_string(Index) + ")");
  return profiles[Index];
}

int LutFormatIndex(const TLUTFormat *format) {
  auto &formats = LutFormats();
  for (std::size_t i = 0; i < formats.size(); ++i)
    if (formats[i].get() == format)
      return static_cast<int>(i);
  return -1;
}

TLUTFormat *FindLutFormat(const TLutFileHead &Head) {
  for (auto &format : LutFormats())
    if (format->CanRead(Head))
      return format.get();
  return nullptr;
}

TLUTFormat *FindLutFormat(const std::string &FileName) { return FindLutFormat(TLutFileHead::Read(FileName)); }

TLUTFormat *LoadLutFile(const std::string &FileName, TLUT &LUT) {
  const TLutFileHead head = TLutFileHead::Read(FileName);
  TLUTFormat *format = FindLutFormat(head);
  if (!format)
    throw ELUTError(FileName + ": no known LUT format recognises this file.");
  if (head.HoldsWholeFile() && head.Data().size() <= format->Info().MaxFileBytes)
    format->LoadFromBuffer(head.Data(), FileName, LUT);
  else
    format->LoadFromFile(FileName, LUT);
  return format;
}

} // namespace tintwise
