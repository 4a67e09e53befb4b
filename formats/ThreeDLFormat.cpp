#include "formats/ThreeDLFormat.h"

#include <cmath>
#include <vector>

#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

namespace {

// The items of a shaper line: runs of characters above blank, or "quoted" items.
std::vector<std::string_view> ShaperItems(std::string_view line) {
  std::vector<std::string_view> items;
  std::size_t i = 0;
  while (i < line.size()) {
    if (static_cast<unsigned char>(line[i]) <= 32) {
      ++i;
      continue;
    }
    std::size_t start = i;
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"')
        ++i;
      if (i < line.size())
        ++i;
    } else {
      while (i < line.size() && static_cast<unsigned char>(line[i]) > 32)
        ++i;
    }
    items.push_back(line.substr(start, i - start));
  }
  return items;
}

// An input shaper maps input codes to lattice positions. This program's lattices are evenly
// spaced, so only a shaper that rises evenly from 0 can be read without changing the result.
bool ShaperIsEven(std::string_view line) {
  std::vector<std::string_view> items = ShaperItems(line);
  const std::size_t n = items.size();
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::int32_t code = 0;
    TryParseLutInt(items[i], code);
    v[i] = code;
  }
  const double last = v[n - 1];
  if (n < 2 || !(last > 0))
    return false;
  const double tolerance = 1 + last / 1000;
  for (std::size_t i = 0; i < n; ++i)
    if (std::fabs(v[i] - last * static_cast<double>(i) / static_cast<double>(n - 1)) > tolerance)
      return false;
  return true;
}

} // namespace

bool T3dlLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.Extension() == ".3dl";
}

int T3dlLutFormat::CountShaperValues(std::string_view Line) {
  std::vector<std::string_view> items = ShaperItems(Line);
  for (std::string_view item : items) {
    std::int32_t v;
    if (!TryParseLutInt(item, v))
      return -1;
  }
  return static_cast<int>(items.size());
}

void T3dlLutFormat::BeginParse(const TTextFile &lines) {
  Depth = 12;
  lines.ForEachLine([&](std::string_view line) {
    double r, g, b;
    if (Depth == 12 && ParseIntTriple(line, 4095, false, r, g, b) && (r > 1.0 || g > 1.0 || b > 1.0))
      Depth = 16;
  });
}

void T3dlLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (t[0] == '#') {
    LUT.Comments.emplace_back(CommentText(t));
    return;
  }
  if (Size == -1) {
    if (t[0] >= '0' && t[0] <= '9') {
      int n = CountShaperValues(Line);
      if (n != -1) {
        CheckSize3D(n, "the input shaper line");
        if (!ShaperIsEven(Line))
          Fail("the input shaper line is not evenly spaced; such files are not supported.");
        Size = n;
      }
    }
    return;
  }
  double r, g, b;
  if (!ReadIntLine(Line, (1 << Depth) - 1, false, r, g, b))
    return;
  CheckRoom("the input shaper line");
  StoreBlueFastest(LUT, r, g, b);
}

void T3dlLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  const int n = LUT.Size3D;
  TTextFile lines;
  for (const std::string &comment : LUT.Comments)
    AddCommentLine(lines, comment);
  lines.Add(kCreditLine);
  std::string shaper;
  for (int i = 0; i < n; ++i) {
    if (i > 0)
      shaper += ' ';
    shaper += std::to_string((i * 1023 + n - 2) / (n - 1)); // i * 1023 / (n - 1), rounded up
  }
  lines.Add(shaper);
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

} // namespace tintwise
