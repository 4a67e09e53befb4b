// The format layer's framework: the format registry, the format classes, the generic line-driven
// loader and the output profile table.
//
// Reading a file:   InitLutFormats(); TLUTFormat *f = FindLutFormat(name); f->LoadFromFile(name, lut);
//                   (or LoadLutFile(name, lut), which does both and raises when no format claims it)
// Reading bytes:    f->LoadFromBuffer(bytes, name, lut), name only naming the file in messages
// Writing a file:   const TLutOutputProfile &p = GetLutOutputProfile(i);
//                   GetLutFormat(p.Format)->SaveToFile(name, lut, bits);
//
// Adding a format: a row in LutFormats.def, its class in a family file (and that family's header
// included in LutFormat.cpp), a profile row below when it writes, its cases in the format tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Lut.h"
#include "formats/LutErrors.h"
#include "formats/TextFile.h"

namespace tintwise {

// The message of an ELUTError raised when a file ends before its last value.
inline constexpr const char *kIncompleteFile = "Incomplete file.";

// The formats in table order; the value of an id is the format's index in the table.
enum class TLutFormatId : int {
#define LUT_FORMAT(Id, Class, Name, Is3D, Reads, Writes, Extensions, Family, MaxFileBytes) Id,
#include "formats/LutFormats.def"
#undef LUT_FORMAT
};

// The largest files the readers accept: every value line of the largest table at a generous
// length, plus room for headers and comments. Anything larger is refused before it is read.
inline constexpr std::size_t kTextLineBytes = 160;
inline constexpr std::size_t kTextSlackBytes = 4u << 20;
inline constexpr std::size_t kLatticeTextBytes =
    std::size_t{kMaxSize3D} * kMaxSize3D * kMaxSize3D * kTextLineBytes + kTextSlackBytes;
inline constexpr std::size_t kCurveTextBytes = std::size_t{kMaxSize1D} * kTextLineBytes + kTextSlackBytes;
inline constexpr std::size_t kCurveAndLatticeTextBytes = kLatticeTextBytes + kCurveTextBytes;
inline constexpr std::size_t kSmallTextBytes = 1u << 20;
inline constexpr std::size_t kFsiDitBytes = 128 + 64 * 64 * 64 * 4 + 4096;

// What the registry knows of a format without creating it.
struct TLutFormatInfo {
  TLutFormatId Id;
  std::string_view Name;       // display name
  bool Is3D;                   // lattice format (true) or curve format (false)
  bool Reads;                  // CanRead can answer true
  bool Writes;                 // SaveToFile writes a file
  std::string_view Extensions; // blank-separated, without dots, the usual one first
  std::string_view Family;     // the source family
  std::size_t MaxFileBytes;    // the largest file a read accepts; 0 for formats that do not read
};

inline constexpr TLutFormatInfo kLutFormatInfo[] = {
#define LUT_FORMAT(Id, Class, Name, Is3D, Reads, Writes, Extensions, Family, MaxFileBytes)                  \
  {TLutFormatId::Id, Name, Is3D, Reads, Writes, Extensions, #Family, MaxFileBytes},
#include "formats/LutFormats.def"
#undef LUT_FORMAT
};

inline constexpr int kLutFormatCount = static_cast<int>(std::size(kLutFormatInfo));

inline constexpr const TLutFormatInfo &LutFormatInfo(TLutFormatId Id) {
  return kLutFormatInfo[static_cast<int>(Id)];
}

// The usual extension of a format, without the dot ("cube").
inline constexpr std::string_view UsualExtension(const TLutFormatInfo &Info) {
  return Info.Extensions.substr(0, Info.Extensions.find(' '));
}

// What a format looks at to recognise a file: its name and its first bytes, read once for all
// formats.
class TLutFileHead {
public:
  // Only the first kKeywordBytes bytes are looked at for keywords.
  static constexpr std::size_t kKeywordBytes = 4096;

  // Reads the head of a file. Raises EFOpenError when it is not a regular file that can be read.
  static TLutFileHead Read(const std::string &FileName);
  // The head of bytes already in memory.
  TLutFileHead(std::string FileName, std::string_view Bytes);

  const std::string &FileName() const { return FFileName; }
  // The extension, lower-cased, with its dot (".3dl"): the text from the last "." after the last
  // "/"; empty for none.
  const std::string &Extension() const { return FExtension; }
  // The first kKeywordBytes bytes of the file (fewer when it is shorter).
  std::string_view Bytes() const;
  // The keyword test on the first kKeywordBytes bytes (see HasKeywordsIn).
  bool HasKeywords(std::string_view Required, std::string_view Excluded) const;
  // Whether Bytes holds the whole file (it is no longer than the head that is read).
  bool HoldsWholeFile() const { return FWhole; }
  // The whole file when HoldsWholeFile.
  std::string_view Data() const { return FData; }

private:
  TLutFileHead() = default;
  void Prepare();

  std::string FFileName;
  std::string FExtension;
  std::string FData;  // the bytes read: up to kWholeBytes of the file
  std::string FUpper; // the first kKeywordBytes bytes, upper-cased
  bool FWhole = false;
};

class TLUTFormat {
public:
  TLUTFormat(std::string name, bool is3D) : Name(std::move(name)), Is3D(is3D) {}
  virtual ~TLUTFormat() = default;
  TLUTFormat(const TLUTFormat &) = delete;
  TLUTFormat &operator=(const TLUTFormat &) = delete;

  const std::string Name; // display name
  const bool Is3D;        // lattice format (true) or curve format (false)

  // Whether the file belongs to this format, judged by its name and first bytes.
  virtual bool CanRead(const TLutFileHead &Head) const = 0;

  // Reads the file into the LUT: Mode, Size3D or Size1D, the values, and for some formats
  // comment lines appended to Comments. On any failure the LUT is reset to the identity
  // (Mode 3, both sizes 0) with its comments as they were before, and the error is raised again;
  // errors about the content name the file, this format and (where known) the line:
  //   "shot.lut" (read as Codex 1D, Scratch 1D), line 9: '' is not a valid integer value
  // A table holding a value that is not a finite number is refused. Only a regular file no larger
  // than the format's MaxFileBytes is read.
  void LoadFromFile(const std::string &FileName, TLUT &LUT);
  // The same for the bytes of a file already in memory; FileName names it in messages (and gives
  // the extension and title some formats use).
  void LoadFromBuffer(std::string_view Bytes, const std::string &FileName, TLUT &LUT);

  // Writes the LUT (Lattice at Size3D for a 3D format, the first Size1D curve entries for a 1D
  // one); Bits is the bit depth of integer formats. The sizes are checked first, and a table
  // holding a value that is not a finite number is refused; the target is replaced in one step,
  // so a failed write leaves an existing file as it was.
  void SaveToFile(const std::string &FileName, const TLUT &LUT, int Bits);

  // The registry's row of this format.
  const TLutFormatInfo &Info() const { return *FInfo; }
  // Whether SaveToFile writes a file at all.
  bool CanWrite() const { return FInfo->Writes; }
  // Whether the format reads files at all; a few are only written.
  bool CanReadFiles() const { return FInfo->Reads; }

protected:
  // Reads the bytes of a file into the LUT; FileName names it in messages.
  virtual void DoLoad(std::string_view Bytes, const std::string &FileName, TLUT &LUT) = 0;
  virtual void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) = 0;
  // The bit depths an integer writer accepts; decimal writers accept any.
  virtual bool AcceptsBits(int /*Bits*/) const { return true; }
  // The 1-based line a load error raised just now belongs to; 0 when it is not about one line.
  virtual std::size_t ErrorLine() const { return 0; }

private:
  friend void InitLutFormats();
  const TLutFormatInfo *FInfo = nullptr;
};

// The line-driven reader most text formats derive from. The reader state lives in the object, so
// one object runs one load at a time.
class TGenericLutFormat : public TLUTFormat {
public:
  using TLUTFormat::TLUTFormat;

protected:
  // The generic loader: splits the bytes into lines, BeginParse, ParseLine for every line, then
  // Mode and the size from Is3D and Size; raises "Incomplete file." unless Complete was set.
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  std::size_t ErrorLine() const override { return LineNumber; }
  virtual void BeginParse(const TTextFile & /*Lines*/) {}
  virtual void ParseLine(std::string_view /*Line*/, TLUT & /*LUT*/) {}

  // Starts reading fileName: indices 0, Size and Depth -1, Complete false, no line yet.
  void ResetParseState(const std::string &fileName);
  // Appends an entry to a curve whose length grows with the file, Size counting the entries read
  // (from -1 or 0); raises when the curve is full.
  void AppendCurveEntry(TLUT &LUT, double r, double g, double b);
  // Raises ELUTError with the message; LoadFromFile puts the file, format and line in front.
  [[noreturn]] void Fail(const std::string &message) const;
  // Raises ELUTError "Incomplete file." followed by what is missing: the first value line that
  // did not read, the size line, or how far the values go.
  [[noreturn]] void FailIncomplete() const;
  // A value line: three decimals, or three integers divided by maxCode after an index column
  // with skipFirst. A line that starts like a number and does not read is noted for the
  // "Incomplete file." message; one that holds a value that is not finite ("nan", "inf",
  // "1e999") is refused, and so is an unreadable last line without a line end (a cut file).
  bool ReadFloatLine(std::string_view line, double &r, double &g, double &b);
  bool ReadIntLine(std::string_view line, int maxCode, bool skipFirst, double &r, double &g, double &b);
  // Notes (or refuses, as above) a line that starts like a number but does not hold `expected`
  // values of the kind asked for (integers or decimals).
  void NoteUnreadValues(std::string_view line, int expected, bool integers);
  // Refuses an index column (first word of the line) that does not hold `expected`.
  void CheckIndexColumn(std::string_view line, std::int64_t expected, const char *what);
  // Refuses a line of a format that has no header: it holds only value lines and comments.
  void FailNotValueLine(std::string_view line);
  // Checks an announced size against the tables' limits: 2..101 points per axis, 2..100001
  // entries. `what` names the header, e.g. "LUT_3D_SIZE 200".
  void CheckSize3D(std::int64_t size, std::string_view what) const;
  void CheckSize1D(std::int64_t size, std::string_view what) const;
  // Stores a value at IndexR, IndexG, IndexB and advances red fastest (the cube order);
  // sets Complete after the last point.
  void StoreRedFastest(TLUT &LUT, double r, double g, double b);
  // The same, blue fastest (the 3DL, Lustre and Pandora order).
  void StoreBlueFastest(TLUT &LUT, double r, double g, double b);
  // Raises unless a value line may still be stored ("more values than ...").
  void CheckRoom(std::string_view what) const;

  std::int32_t IndexR = 0, IndexG = 0, IndexB = 0;
  std::int32_t Index1D = 0;
  std::int32_t Size = -1;
  std::int32_t Depth = -1;
  bool Complete = false;
  const TTextFile *Lines = nullptr; // only while a load runs
  std::string FFileName;            // the file being read
  std::size_t LineNumber = 0;       // 1-based, of the line being parsed
  std::int64_t FStored = 0;         // lattice points stored by StoreRedFastest / StoreBlueFastest
  bool FSawText = false;            // some line holds more than blanks
  std::size_t FUnreadLine = 0;      // the first value line that did not read, 0 for none
  std::string FUnreadReason;        // what was wrong with it
};

// The words "FILE" (read as FORMAT), line N: that load errors start with (no line for 0).
std::string LoadErrorPlace(const std::string &FileName, const std::string &FormatName, std::size_t Line);

// One entry of the output profile table: a named target of a save.
// One row of the output profile table: a named target of a save, naming the format it writes.
struct TLutProfileRow {
  const char *Name;      // shown in the Save LUT dialog
  const char *Extension; // without the dot
  TLutFormatId Format;
  std::int32_t DefaultSize;
  std::int32_t DefaultBits; // 0 for formats that write decimal numbers
  bool SizeSelectable;
  bool BitsSelectable;
};

// The output profile table, in the order the Save LUT dialog lists it; the index of a row is its
// position, which saved settings and `--profile N` refer to.
inline constexpr TLutProfileRow kLutProfileRows[] = {
    {"3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", TLutFormatId::ThreeDL, 17, 12, false, false},
    {"3DL Fusion", "3dl", TLutFormatId::ThreeDL, 33, 12, false, false},
    {"Autodesk Lustre 3D", "lut", TLutFormatId::Lustre3D, 33, 12, false, false},
    {"Clipster 3D", "txt", TLutFormatId::Clipster3D, 17, 16, false, false},
    {"Codex 3D", "txt", TLutFormatId::Codex3D, 17, 12, false, false},
    {"Colorfront OSD 3D", "3dmesh", TLutFormatId::ColorfrontOsd3D, 17, 0, false, false},
    {"Cube 3D Iridas, Nuke, AfterEffects", "cube", TLutFormatId::Cube3D, 32, 0, false, false},
    {"Cube 3D Davinci", "cube", TLutFormatId::Cube3D, 33, 0, true, false},
    {"Cube 3D Truelight", "cube", TLutFormatId::Cube3DTruelight, 32, 0, false, false},
    {"Davinci DAT 3D", "dat", TLutFormatId::DavinciDat3D, 33, 0, false, false},
    {"Dolby DD3", "dd3", TLutFormatId::ThreeDL, 17, 12, false, false},
    {"FSI CFE (Flanders Scientific) 3D", "cfe", TLutFormatId::FsiCfe3D, 17, 0, false, false},
    {"FSI DIT (Flanders Scientific) 3D", "dat", TLutFormatId::FsiDit3D, 64, 10, false, false},
    {"Nucoda 3D", "cms", TLutFormatId::Nucoda3D, 33, 0, true, false},
    {"Luther 3D", "txt", TLutFormatId::Luther3D, 33, 10, false, false},
    {"Pandora 3D, Apple 3D m3d", "m3d", TLutFormatId::Pandora3D, 17, 16, false, false},
    {"PixelFarm PFClean 3D", "pfl", TLutFormatId::PFClean3D, 16, 8, false, false},
    {"Quantel 3D", "txt", TLutFormatId::Quantel3D, 17, 12, false, false},
    {"Technicolor 3D mga", "mga", TLutFormatId::Pandora3D, 33, 16, false, false},
    {"Autodesk Lustre 1D", "lut", TLutFormatId::Lustre1D, 65536, 16, true, true},
    {"Blackmagic HDLink 1D", "txt", TLutFormatId::Blackmagic1D, 1024, 0, false, false},
    {"Cine-tal 1D", "txt", TLutFormatId::Cinetal1D, 1024, 10, false, false},
    {"Codex 1D, Sony SRW-1, Scratch 1D", "dat", TLutFormatId::Codex1D, 1024, 10, false, false},
    {"Colorfront OSD 1D", "1dlut", TLutFormatId::ColorfrontOsd1D, 1024, 0, false, false},
    {"Cube 1D", "cube", TLutFormatId::Cube1D, 4096, 0, false, false},
    {"Filmlight Truelight 1D", "cube", TLutFormatId::Filmlight1D, 4096, 0, false, false},
    {"Fusion 1D", "alut", TLutFormatId::Fusion1D, 65536, 16, false, false},
    {"Nucoda 1D", "cms", TLutFormatId::Nucoda1D, 4096, 0, false, false},
    {"Quantel 1D", "txt", TLutFormatId::Quantel1D, 1024, 10, false, false},
    {"S.two 1D", "swto.xml", TLutFormatId::Stwo1D, 1024, 10, false, false},
    {"Shake 1D", "txt", TLutFormatId::Shake1D, 65536, 16, false, false},
};

// One entry of the output profile table as the front ends use it.
struct TLutOutputProfile {
  std::string Name;      // shown in the Save LUT dialog
  std::string Extension; // without the dot
  TLutFormatId Format = TLutFormatId::Cube3DTruelight;
  std::int32_t FormatIndex = 0; // the index of Format
  std::int32_t DefaultSize = 0;
  std::int32_t DefaultBits = 0; // 0 for formats that write decimal numbers
  bool SizeSelectable = false;
  bool BitsSelectable = false;
};

// Creates the format objects and fills the profile list once; later calls do nothing.
void InitLutFormats();
// Empties both tables (shutdown).
void DoneLutFormats();

int LutFormatCount();
// The format at Index, or nullptr when Index is outside the table.
TLUTFormat *GetLutFormat(int Index);
TLUTFormat *GetLutFormat(TLutFormatId Id);
int LutOutputProfileCount();
// The profile at Index; raises ELUTError for an index outside the table.
const TLutOutputProfile &GetLutOutputProfile(int Index);
// The index of a format in the table, -1 for none.
int LutFormatIndex(const TLUTFormat *format);

// The first format in table order whose CanRead answers true for the head, or nullptr.
TLUTFormat *FindLutFormat(const TLutFileHead &Head);
// The same for a file, whose head is read once for all formats.
TLUTFormat *FindLutFormat(const std::string &FileName);
// Finds the format of a file, then loads it; raises ELUTError when no format recognises the file.
TLUTFormat *LoadLutFile(const std::string &FileName, TLUT &LUT);

} // namespace tintwise
