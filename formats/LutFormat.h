// The format layer's framework: the format classes, the generic line-driven loader, the format
// table and the output profile table.
//
// Reading a file:   InitLutFormats(); TLUTFormat *f = FindLutFormat(name); f->LoadFromFile(name, lut);
//                   (or LoadLutFile(name, lut), which does both and raises when no format claims it)
// Writing a file:   const TLutOutputProfile &p = GetLutOutputProfile(i);
//                   GetLutFormat(p.FormatIndex)->SaveToFile(name, lut, bits);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Lut.h"
#include "formats/LutErrors.h"
#include "formats/TextFile.h"

namespace tintwise {

// The message of an ELUTError raised when a file ends before its last value.
inline constexpr const char *kIncompleteFile = "Incomplete file.";

class TLUTFormat {
public:
  TLUTFormat(std::string name, bool is3D) : Name(std::move(name)), Is3D(is3D) {}
  virtual ~TLUTFormat() = default;
  TLUTFormat(const TLUTFormat &) = delete;
  TLUTFormat &operator=(const TLUTFormat &) = delete;

  const std::string Name; // display name
  const bool Is3D;        // lattice format (true) or curve format (false)

  // Whether the file belongs to this format. Raises when the file cannot be opened.
  virtual bool CanRead(const std::string &FileName) = 0;

  // Reads the file into the LUT: Mode, Size3D or Size1D, the values, and for some formats
  // comment lines appended to Comments. On any failure the LUT is reset to the identity
  // (Mode 3, both sizes 0) with its comments as they were before, and the error is raised again;
  // errors about the content name the file, this format and (where known) the line:
  //   "shot.lut" (read as Codex 1D, Scratch 1D), line 9: '' is not a valid integer value
  // A table holding a value that is not a finite number is refused.
  void LoadFromFile(const std::string &FileName, TLUT &LUT);

  // Writes the LUT (Lattice at Size3D for a 3D format, the first Size1D curve entries for a 1D
  // one); Bits is the bit depth of integer formats. The sizes are checked first, and a table
  // holding a value that is not a finite number is refused; the target is replaced in one step,
  // so a failed write leaves an existing file as it was.
  void SaveToFile(const std::string &FileName, const TLUT &LUT, int Bits);

  // Whether SaveToFile writes a file at all.
  virtual bool CanWrite() const { return true; }
  // Whether the format reads files at all; a few are only written.
  virtual bool CanReadFiles() const { return true; }

protected:
  virtual void DoLoadFromFile(const std::string &FileName, TLUT &LUT) = 0;
  virtual void DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) = 0;
  // The bit depths an integer writer accepts; decimal writers accept any.
  virtual bool AcceptsBits(int /*Bits*/) const { return true; }
  // The 1-based line a load error raised just now belongs to; 0 when it is not about one line.
  virtual std::size_t ErrorLine() const { return 0; }
};

// The line-driven reader most text formats derive from. The reader state lives in the object, so
// one object runs one load at a time.
class TGenericLutFormat : public TLUTFormat {
public:
  using TLUTFormat::TLUTFormat;

protected:
  // The generic loader: loads the lines, BeginParse, ParseLine for every line, then Mode and the
  // size from Is3D and Size; raises "Incomplete file." unless Complete was set.
  void DoLoadFromFile(const std::string &FileName, TLUT &LUT) override;
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
struct TLutOutputProfile {
  std::string Name;      // shown in the Save LUT dialog
  std::string Extension; // without the dot
  std::int32_t FormatIndex = 0;
  std::int32_t DefaultSize = 0;
  std::int32_t DefaultBits = 0; // 0 for formats that write decimal numbers
  bool SizeSelectable = false;
  bool BitsSelectable = false;
};

// Fills both tables once; later calls do nothing.
void InitLutFormats();
// Empties both tables (shutdown).
void DoneLutFormats();

int LutFormatCount();
// The format at Index, or nullptr when Index is outside the table.
TLUTFormat *GetLutFormat(int Index);
int LutOutputProfileCount();
// The profile at Index; raises std::out_of_range for an index outside the table.
const TLutOutputProfile &GetLutOutputProfile(int Index);
void AddLutOutputProfile(const std::string &Name, const std::string &Extension, int FormatIndex,
                         int DefaultSize, int DefaultBits, bool SizeSelectable, bool BitsSelectable);
// The index of a format in the table, -1 for none.
int LutFormatIndex(const TLUTFormat *format);

// The first format in table order whose CanRead answers true, or nullptr.
TLUTFormat *FindLutFormat(const std::string &FileName);
// FindLutFormat, then LoadFromFile; raises ELUTError when no format recognises the file.
TLUTFormat *LoadLutFile(const std::string &FileName, TLUT &LUT);

} // namespace tintwise
