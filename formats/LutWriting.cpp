#include "formats/LutWriting.h"

#include "formats/LutReading.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace tintwise {

void AddCommentLine(TTextFile &lines, std::string_view comment) {
  std::string line = "# ";
  line.append(comment);
  for (char &c : line)
    if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  lines.Add(line);
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '\'': out += "&apos;"; break;
    case '"': out += "&quot;"; break;
    default: out += c;
    }
  }
  return out;
}

std::string FileTitle(const std::string &FileName) {
  std::size_t slash = FileName.find_last_of('/');
  std::string name = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos)
    name.resize(dot);
  return name;
}

namespace {

void AddValueLine(TLineBuilder &line, TTextFile &lines, const TLutTriple &v, long long index,
                  const TValueLineLayout &layout) {
  if (layout.Numbered)
    line.Int(index).Char(layout.Separator);
  const int first = layout.BlueFirst ? 2 : 0;
  const int step = layout.BlueFirst ? -1 : 1;
  for (int k = 0, c = first; k < 3; ++k, c += step) {
    if (k > 0)
      line.Char(layout.Separator);
    if (layout.Bits > 0) {
      line.Code(layout.Bits, v[c]);
    } else {
      if (!(std::fabs(v[c]) <= kLargestDecimalValue)) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v[c]);
        throw EValueOutOfRange(std::string("the table holds the value ") + text +
                               ", which is beyond the range of -1000000 to 1000000 this program writes as decimals.");
      }
      line.Float(layout.Digits, v[c] * layout.Scale);
    }
  }
  line.AddTo(lines);
}

} // namespace

void AddLatticeLines(TTextFile &lines, const TLUT &LUT, TLatticeOrder order, const TValueLineLayout &layout) {
  const int n = LUT.Size3D;
  const std::size_t points = static_cast<std::size_t>(n) * n * n;
  lines.Reserve(points, points * 27);
  TLineBuilder line;
  long long k = 0;
  for (int i = 0; i < n; ++i)
    for (int g = 0; g < n; ++g)
      for (int j = 0; j < n; ++j) {
        const TLutTriple &v = order == TLatticeOrder::BlueFastest ? LUT.Lattice[i][g][j] : LUT.Lattice[j][g][i];
        AddValueLine(line, lines, v, k++, layout);
      }
}

void AddCurveLines(TTextFile &lines, const TLUT &LUT, const TValueLineLayout &layout) {
  lines.Reserve(LUT.Size1D, static_cast<std::size_t>(LUT.Size1D) * 27);
  TLineBuilder line;
  for (int i = 0; i < LUT.Size1D; ++i)
    AddValueLine(line, lines, LUT.Curve[i], i, layout);
}

TLineBuilder &TLineBuilder::Int(long long v) {
  FEnd = std::to_chars(FEnd, FEnd + 24, v).ptr;
  return *this;
}

} // namespace tintwise
