// The reader state of TGenericLutFormat and the checks the readers share.
#include "formats/LutReading.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "formats/LutChars.h"
#include "formats/LutFormat.h"
#include "formats/LutTokens.h"

namespace tintwise {

std::string NonFiniteValue(const TLUT &LUT) {
  auto finite = [](const TLutTriple &v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); };
  if ((LUT.Mode == kMode1D || LUT.Mode == kMode1DThen3D) && LUT.Size1D > 0 && LUT.Size1D <= kMaxSize1D)
    for (int i = 0; i < LUT.Size1D; ++i)
      if (!finite(LUT.Curve[i]))
        return "curve entry " + std::to_string(i);
  if ((LUT.Mode == kMode3D || LUT.Mode == kMode1DThen3D) && LUT.Size3D > 0 && LUT.Size3D <= kMaxSize3D) {
    const int n = LUT.Size3D;
    for (int r = 0; r < n; ++r)
      for (int g = 0; g < n; ++g)
        for (int b = 0; b < n; ++b)
          if (!finite(LUT.Lattice[r][g][b]))
            return "lattice point (" + std::to_string(r) + ", " + std::to_string(g) + ", " + std::to_string(b) + ")";
  }
  return {};
}

bool IsNonFiniteWord(std::string_view word) {
  std::string_view w = word;
  if (!w.empty() && (w[0] == '+' || w[0] == '-'))
    w.remove_prefix(1);
  const std::string lower = LowerAscii(w);
  if (lower == "inf" || lower == "infinity" || lower.starts_with("nan"))
    return true;
  if (w.empty() || !(IsDigitChar(w[0]) || w[0] == '.'))
    return false;
  // A decimal that reads but overflows a double.
  const std::string text(word);
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno == ERANGE && std::isinf(v);
}

bool StartsLikeValues(std::string_view trimmed) {
  if (trimmed.empty())
    return false;
  const char c = trimmed[0];
  if (IsDigitChar(c) || c == '-' || c == '+' || c == '.')
    return true;
  return IsNonFiniteWord(trimmed.substr(0, trimmed.find_first_of(" \t,")));
}

std::string QuoteLine(std::string_view line) {
  std::string out = "'";
  const std::size_t shown = line.size() > 40 ? 40 : line.size();
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    out += (c < 32 && c != '\t') || c >= 127 ? '?' : static_cast<char>(c);
  }
  if (shown < line.size())
    out += "...";
  return out + "'";
}

std::string LoadErrorPlace(const std::string &FileName, const std::string &FormatName, std::size_t Line) {
  std::string place = "\"" + FileName + "\" (read as " + FormatName + ")";
  if (Line > 0)
    place += ", line " + std::to_string(Line);
  return place + ": ";
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
  FStored = 0;
  FSawText = false;
  FUnreadLine = 0;
  FUnreadReason.clear();
}

void TGenericLutFormat::AppendCurveEntry(TLUT &LUT, double r, double g, double b) {
  if (Size < 0)
    Size = 0;
  if (Size >= kMaxSize1D)
    Fail("more than 100001 entries; a curve holds no more.");
  LUT.Curve[Size++] = {r, g, b};
}

void TGenericLutFormat::Fail(const std::string &message) const { throw ELUTError(message); }

void TGenericLutFormat::FailIncomplete() const {
  std::string detail;
  if (FUnreadLine > 0)
    detail = "Line " + std::to_string(FUnreadLine) + " " + FUnreadReason + ".";
  else if (!FSawText)
    detail = "The file holds no text.";
  else if (Size < 0)
    detail = "No line gives the table's size or starts its values.";
  else if (Is3D)
    detail = "The values end after " + std::to_string(FStored) + " of " +
             std::to_string(static_cast<std::int64_t>(Size) * Size * Size) + " lattice points.";
  else if (Size == 0 || Index1D == 0)
    detail = "No line of values follows the header.";
  else
    detail = "The values end after " + std::to_string(Index1D) + " of " + std::to_string(Size) + " curve entries.";
  throw ELUTError(std::string(kIncompleteFile) + " " + detail);
}

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
  ++FStored;
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
  ++FStored;
  if (++IndexB == Size) {
    IndexB = 0;
    if (++IndexG == Size) {
      IndexG = 0;
      if (++IndexR == Size)
        Complete = true;
    }
  }
}

bool TGenericLutFormat::ReadFloatLine(std::string_view line, double &r, double &g, double &b) {
  if (ParseFloatTriple(line, r, g, b))
    return true;
  NoteUnreadValues(line, 3, false);
  return false;
}

bool TGenericLutFormat::ReadIntLine(std::string_view line, int maxCode, bool skipFirst, double &r, double &g,
                                    double &b) {
  if (ParseIntTriple(line, maxCode, skipFirst, r, g, b))
    return true;
  NoteUnreadValues(line, skipFirst ? 4 : 3, true);
  return false;
}

void TGenericLutFormat::NoteUnreadValues(std::string_view line, int expected, bool integers) {
  const std::string_view t = TrimLut(line);
  if (t.empty())
    return;
  // Only lines that start like a number are value lines; headers and titles start with a letter.
  if (!StartsLikeValues(t))
    return;
  std::vector<std::string_view> words;
  for (std::string_view rest = t; !(rest = TrimLut(rest)).empty();) {
    std::string_view word;
    NextToken(rest, word);
    word = TrimLut(word);
    if (!word.empty())
      words.push_back(word);
  }
  for (std::string_view word : words)
    if (IsNonFiniteWord(word))
      Fail(QuoteLine(word) + " is not a finite number.");
  std::string reason;
  if (static_cast<int>(words.size()) != expected) {
    reason = "holds " + std::to_string(words.size()) + (words.size() == 1 ? " value" : " values") + " where " +
             std::to_string(expected) + " are expected";
  } else {
    for (std::string_view word : words) {
      double d;
      std::int32_t i;
      if (integers ? !TryParseLutInt(word, i) : !TryParseLutFloat(word, d)) {
        reason = "holds " + QuoteLine(word) + ", which is not " + (integers ? "a whole number" : "a number");
        break;
      }
    }
    if (reason.empty())
      reason = "does not read as " + std::to_string(expected) + " values";
  }
  if (Lines && Lines->IsCutLastLine(line))
    Fail("the last line " + reason + " and has no line end: the file is cut off.");
  if (FUnreadLine == 0) {
    FUnreadLine = LineNumber;
    FUnreadReason = reason;
  }
}

void TGenericLutFormat::CheckIndexColumn(std::string_view line, std::int64_t expected, const char *what) {
  std::string_view rest = TrimLut(line), word;
  NextToken(rest, word);
  std::int32_t index = 0;
  if (!TryParseLutInt(TrimLut(word), index) || index != expected)
    Fail(std::string("the ") + what + " is " + QuoteLine(TrimLut(word)) + " where " + std::to_string(expected) +
         " is expected.");
}

void TGenericLutFormat::FailNotValueLine(std::string_view line) {
  Fail(QuoteLine(TrimLut(line)) + " comes before the first line of values; this format has no header.");
}

} // namespace tintwise
