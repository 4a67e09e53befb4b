// Small helpers the writers share: building a value line in a stack buffer and adding it.
#pragma once

#include <string_view>

#include "engine/Lut.h"
#include "formats/LutTokens.h"
#include "formats/TextFile.h"

namespace tintwise {

// The line most writers add to say which program wrote the file.
inline constexpr std::string_view kCreditLine = "# Converted by Oxel LUT Converter";

// Adds "# " and the comment; line breaks inside the comment become blanks, so a comment can
// never turn into a line of its own.
void AddCommentLine(TTextFile &lines, std::string_view comment);

// The text with &, <, >, ' and " written as the XML entities for them, for attribute values.
std::string XmlEscape(std::string_view text);

// The file name without folder and without extension ("look" for /tmp/look.cms).
std::string FileTitle(const std::string &FileName);

// Accumulates one line from pieces; the line must stay below 1024 characters.
class TLineBuilder {
public:
  TLineBuilder &Text(std::string_view s) {
    for (char c : s)
      *FEnd++ = c;
    return *this;
  }
  TLineBuilder &Char(char c) {
    *FEnd++ = c;
    return *this;
  }
  TLineBuilder &Float(int digits, double v) {
    FEnd = FormatLutFloatTo(FEnd, digits, v);
    return *this;
  }
  TLineBuilder &Code(int bits, double v) {
    FEnd = FormatLutIntTo(FEnd, bits, v);
    return *this;
  }
  TLineBuilder &Int(long long v);
  std::string_view View() const { return std::string_view(FBuf, FEnd - FBuf); }
  void AddTo(TTextFile &lines) {
    lines.Add(View());
    FEnd = FBuf;
  }

private:
  char FBuf[1024];
  char *FEnd = FBuf;
};

// How the value lines of a table are written: integer codes at Bits, or (Bits 0) decimals with
// Digits places after multiplying by Scale; Separator between the items; with Numbered a running
// index (0, 1, 2, ...) first; with BlueFirst the components in the order blue, green, red.
struct TValueLineLayout {
  int Bits = 0;
  int Digits = 6;
  double Scale = 1.0;
  char Separator = ' ';
  bool Numbered = false;
  bool BlueFirst = false;
};

// The order of the lattice points in a file: red index outermost and blue fastest, or blue
// outermost and red fastest (the cube order).
enum class TLatticeOrder { BlueFastest, RedFastest };

// One line per lattice point at Size3D points per axis.
void AddLatticeLines(TTextFile &lines, const TLUT &LUT, TLatticeOrder order, const TValueLineLayout &layout);
// One line per curve entry, entry 0 first, Size1D entries.
void AddCurveLines(TTextFile &lines, const TLUT &LUT, const TValueLineLayout &layout);

} // namespace tintwise
