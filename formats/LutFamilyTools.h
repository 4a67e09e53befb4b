// Small helpers the later format families share: file extensions, the text after a keyword, the
// integer conversion that allows leading blanks only, and the lines of integer lattices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Lut.h"
#include "formats/LutErrors.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

// The extension of the file name with its dot (".3dmesh"), as written; empty when there is none.
inline std::string FileExtension(const std::string &FileName) {
  const std::size_t slash = FileName.find_last_of('/');
  const std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  return FileName.substr(dot);
}

inline std::string LowerAscii(std::string s) {
  for (char &c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return s;
}

// The text of line after the keyword found at the 1-based position pos, not trimmed.
inline std::string_view TextAfter(std::string_view line, int pos, std::size_t keywordLength) {
  const std::size_t from = static_cast<std::size_t>(pos - 1) + keywordLength;
  return from < line.size() ? line.substr(from) : std::string_view();
}

// The same with its first character (the separator) dropped, then trimmed.
inline std::string_view ValueAfter(std::string_view line, int pos, std::size_t keywordLength) {
  std::string_view rest = TextAfter(line, pos, keywordLength);
  if (!rest.empty())
    rest.remove_prefix(1);
  return TrimLut(rest);
}

// A 32-bit integer that may have leading blanks but nothing after its digits. Raises
// EConvertError "'text' is not a valid integer value".
inline std::int32_t StrToIntLeft(std::string_view text) {
  std::int32_t v = 0;
  if (!TryParseLutInt(TrimLeftLut(text), v))
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return v;
}

// Runs f; a conversion error that leaves it gets the file's name in front of its message.
template <class F> void WithFileName(const std::string &FileName, F &&f) {
  try {
    f();
  } catch (const EConvertError &e) {
    throw EConvertError(FileName + ": " + e.what());
  }
}

// One line per lattice point, red index outermost and blue fastest: the three integer codes at Bits
// separated by one blank.
inline void AddCodeLatticeLines(TTextFile &lines, const TLUT &LUT, int Bits) {
  const int n = LUT.Size3D;
  const std::size_t points = static_cast<std::size_t>(n) * n * n;
  lines.Reserve(points, points * 18);
  TLineBuilder line;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const TLutTriple &v = LUT.Lattice[r][g][b];
        line.Code(Bits, v[0]).Char(' ').Code(Bits, v[1]).Char(' ').Code(Bits, v[2]).AddTo(lines);
      }
}

// One line per lattice point, blue index outermost and red fastest, each line blue, green, red as
// decimals with 6 places separated by one blank.
inline void AddBlueFirstLatticeLines(TTextFile &lines, const TLUT &LUT) {
  const int n = LUT.Size3D;
  const std::size_t points = static_cast<std::size_t>(n) * n * n;
  lines.Reserve(points, points * 27);
  TLineBuilder line;
  for (int b = 0; b < n; ++b)
    for (int g = 0; g < n; ++g)
      for (int r = 0; r < n; ++r) {
        const TLutTriple &v = LUT.Lattice[r][g][b];
        line.Float(6, v[2]).Char(' ').Float(6, v[1]).Char(' ').Float(6, v[0]).AddTo(lines);
      }
}

// One line per curve entry: the three values as integer codes at Bits, separated by one blank.
inline void AddCodeCurveLines(TTextFile &lines, const TLUT &LUT, int Bits) {
  lines.Reserve(LUT.Size1D, static_cast<std::size_t>(LUT.Size1D) * 18);
  TLineBuilder line;
  for (int i = 0; i < LUT.Size1D; ++i) {
    const TLutTriple &v = LUT.Curve[i];
    line.Code(Bits, v[0]).Char(' ').Code(Bits, v[1]).Char(' ').Code(Bits, v[2]).AddTo(lines);
  }
}

// One line per curve entry: the three values times scale as decimals with `digits` places.
inline void AddDecimalCurveLines(TTextFile &lines, const TLUT &LUT, int digits, double scale) {
  lines.Reserve(LUT.Size1D, static_cast<std::size_t>(LUT.Size1D) * 27);
  TLineBuilder line;
  for (int i = 0; i < LUT.Size1D; ++i) {
    const TLutTriple &v = LUT.Curve[i];
    line.Float(digits, v[0] * scale).Char(' ').Float(digits, v[1] * scale).Char(' ').Float(digits, v[2] * scale).AddTo(lines);
  }
}

} // namespace tintwise
