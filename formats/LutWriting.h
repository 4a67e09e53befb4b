// Small helpers the writers share: building a value line in a stack buffer and adding it.
#pragma once

#include <string_view>

#include "formats/LutTokens.h"
#include "formats/TextFile.h"

namespace tintwise {

// Adds "# " and the comment; line breaks inside the comment become blanks, so a comment can
// never turn into a line of its own.
void AddCommentLine(TTextFile &lines, std::string_view comment);

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

} // namespace tintwise
