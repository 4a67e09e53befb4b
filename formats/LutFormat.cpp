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
#include "formats/LutTokens.h"
#include "formats/OneDFormats.h"
#include "formats/ThreeDLFormat.h"
#include "formats/XmlFormats.h"

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
  } catch (...) {
    reset();
    throw;
  }
  // Every reader bounds its sizes; this makes sure no table in force is left unusable.
  const bool curve = LUT.Mode == kMode1D || LUT.Mode == kMode1DThen3D;
  const bool lattice = LUT.Mode == kMode3D || LUT.Mode == kMode1DThen3D;
  if ((curve && (LUT.Size1D < 2 || LUT.Size1D > kMaxSize1D)) ||
      (lattice && (LUT.Size3D < 2 || LUT.Size3D > kMaxSize3D)) || LUT.Mode > kModeIdentity) {
    reset();
    throw ELUTError(FileName + ": the file holds no usable table.");
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
  DoSaveToFile(FileName, LUT, Bits);
}

// ---------------------------------------------------------------------------------------------
// TGenericLutFormat

void TGenericLutFormat::ResetParseState(const std::string &fileName) {
  IndexR = IndexG = IndexB = 0;
  Index1D = 0;
  Size = -1;
  Depth = -1;
  Complete = false;
  FFileName = fileName;
  LineNumber = 0;
}

void TGenericLutFormat::AppendCurveEntry(TLUT &LUT, double r, double g, double b) {
  if (Size < 0)
    Size = 0;
  if (Size >= kMaxSize1D)
    Fail("more than 100001 entries; a curve holds no more.");
  LUT.Curve[Size++] = {r, g, b};
}

void TGenericLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TTextFile lines;
  lines.SetTextView(Bytes);
  Lines = &lines;
  try {
    BeginParse(lines);
    lines.ForEachLine([&](std::string_view line) {
      ++LineNumber;
      ParseLine(line, LUT);
    });
  } catch (const EConvertError &e) {
    Lines = nullptr;
    throw EConvertError(fileName + ", line " + std::to_string(LineNumber) + ": " + e.what());
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

void TGenericLutFormat::Fail(const std::string &message) const {
  std::string where = FFileName;
  if (LineNumber > 0)
    where += ", line " + std::to_string(LineNumber);
  throw ELUTError(where + ": " + message);
}

void TGenericLutFormat::FailIncomplete() const { throw ELUTError(kIncompleteFile); }

void TGenericLutFormat::CheckSize3D(std::int64_t size, std::string_view what) const {
  if (size < 2 || size > kMaxSize3D)
    Fail(std::string(what) + ": a lattice of " + std::to_string(size) +
         " points per axis is not possible; 2 to 101 are.");
}

void TGenericLutFormat::CheckSize1D(std::int64_t size, std::string_view what) const {
  if (size < 2 || size > kMaxSize1D)
    Fail(std::string(what) + ": a curve of " + std::to_string(size) +
         " entries is not possible; 2 to 100001 are.");
}

void TGenericLutFormat::CheckRoom(std::string_view what) const {
  if (Complete)
    Fail(std::string("more values than ") + std::string(what) + " announces.");
}

void TGenericLutFormat::StoreRedFastest(TLUT &LUT, double r, double g, double b) {
  LUT.Lattice[IndexR][IndexG][IndexB] = {r, g, b};
  if (++IndexR == Size) {
    IndexR = 0;
    if (++IndexG == Size) {
      IndexG = 0;
      if (++IndexB == Size)
        Complete = true;
    }
  }
}

void TGenericLutFormat::StoreBlueFastest(TLUT &LUT, double r, double g, double b) {
  LUT.Lattice[IndexR][IndexG][IndexB] = {r, g, b};
  if (++IndexB == Size) {
    IndexB = 0;
    if (++IndexG == Size) {
      IndexG = 0;
      if (++IndexR == Size)
        Complete = true;
    }
  }
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
