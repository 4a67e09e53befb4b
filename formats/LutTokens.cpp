#include "formats/LutTokens.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/LutChars.h"
#include "formats/LutErrors.h"

namespace tintwise {

namespace {

// Splits a keyword list at commas and runs of blanks; "quoted items" may hold blanks.
std::vector<std::string> KeywordItems(std::string_view list) {
  std::vector<std::string> items;
  std::size_t i = 0;
  while (i < list.size()) {
    char c = list[i];
    if (IsBlankChar(c) || c == ',') {
      ++i;
      continue;
    }
    std::string item;
    if (c == '"') {
      ++i;
      // Two quotes in a row inside a quoted item stand for one.
      while (i < list.size()) {
        if (list[i] == '"') {
          if (i + 1 < list.size() && list[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += list[i++];
      }
    } else {
      while (i < list.size() && !IsBlankChar(list[i]) && list[i] != ',')
        item += list[i++];
    }
    if (!item.empty())
      items.push_back(UpperAscii(item));
  }
  return items;
}

} // namespace

std::string_view TrimLut(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlankChar(s[b]))
    ++b;
  while (e > b && IsBlankChar(s[e - 1]))
    --e;
  return s.substr(b, e - b);
}

std::string_view TrimLeftLut(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlankChar(s[b]))
    ++b;
  return s.substr(b);
}

bool IsCommentLine(std::string_view line) {
  std::string_view t = TrimLeftLut(line);
  return !t.empty() && t[0] == '#';
}

std::string_view CommentText(std::string_view line) {
  std::string_view t = TrimLeftLut(line);
  if (!t.empty() && t[0] == '#')
    t.remove_prefix(1);
  return TrimLut(t);
}

bool HasKeywordsIn(std::string_view upperHead, std::string_view Required, std::string_view Excluded) {
  for (const std::string &item : KeywordItems(Excluded))
    if (upperHead.find(item) != std::string_view::npos)
      return false;
  for (const std::string &item : KeywordItems(Required))
    if (upperHead.find(item) == std::string_view::npos)
      return false;
  return true;
}

void NextToken(std::string_view &Line, std::string_view &Token) {
  for (std::size_t i = 0; i < Line.size(); ++i) {
    char c = Line[i];
    if (c == '\t' || c == ' ' || c == ',') {
      Token = Line.substr(0, i);
      Line.remove_prefix(i + 1);
      return;
    }
  }
  Token = Line;
  Line = {};
}

std::string_view AfterKeyword(std::string_view Line, int Pos, std::size_t KeywordLength, std::size_t Skip) {
  const std::size_t from = static_cast<std::size_t>(Pos - 1) + KeywordLength + Skip;
  return from < Line.size() ? Line.substr(from) : std::string_view();
}

void SplitAt(std::string_view Separator, std::string_view &S, std::string_view &Head) {
  std::size_t p = Separator.empty() ? std::string_view::npos : S.find(Separator);
  if (p == std::string_view::npos) {
    Head = S;
    S = {};
    return;
  }
  Head = S.substr(0, p);
  S.remove_prefix(p + Separator.size());
}

int PosNoCase(std::string_view Sub, std::string_view S) {
  if (Sub.empty() || Sub.size() > S.size())
    return 0;
  const char first = UpperAscii(Sub[0]);
  for (std::size_t i = 0; i + Sub.size() <= S.size(); ++i) {
    if (UpperAscii(S[i]) != first)
      continue;
    std::size_t k = 1;
    while (k < Sub.size() && UpperAscii(S[i + k]) == UpperAscii(Sub[k]))
      ++k;
    if (k == Sub.size())
      return static_cast<int>(i) + 1;
  }
  return 0;
}

bool TryParseLutFloat(std::string_view text, double &value) {
  const char *p = text.data();
  const char *end = p + text.size();
  if (p != end && *p == '+') {
    ++p;
    if (p != end && *p == '-')
      return false;
  }
  // from_chars also takes "inf", "nan" and the like; a LUT number starts with a digit or a point
  // after its sign.
  const char *q = (p != end && *p == '-') ? p + 1 : p;
  if (q == end || !(IsDigitChar(*q) || *q == '.'))
    return false;
  // Fast path for plain decimals of at most 15 digits ("0.123456"): the digits as an integer are
  // exact in a double, and one division by an exact power of ten is correctly rounded, so the
  // result is the one from_chars gives.
  {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *s = q;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = -1;
    for (; s != end; ++s) {
      const char c = *s;
      if (IsDigitChar(c)) {
        mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
        ++digits;
        if (fraction >= 0)
          ++fraction;
      } else if (c == '.' && fraction < 0) {
        fraction = 0;
      } else {
        break;
      }
    }
    if (s == end && digits > 0 && digits <= 15) {
      double v = static_cast<double>(mantissa);
      if (fraction > 0)
        v /= kPow10[fraction];
      value = q != p ? -v : v;
      return true;
    }
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(p, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end)
    return false;
  value = v;
  return true;
}

bool TryParseLutInt(std::string_view text, std::int32_t &value) {
  const char *p = text.data();
  const char *end = p + text.size();
  if (p != end && *p == '+') {
    ++p;
    if (p != end && *p == '-')
      return false;
  }
  std::int32_t v = 0;
  auto [ptr, ec] = std::from_chars(p, end, v, 10);
  if (ec != std::errc() || ptr != end || p == end)
    return false;
  value = v;
  return true;
}

std::int32_t LutStrToInt(std::string_view text) {
  std::int32_t v = 0;
  if (!TryParseLutInt(TrimLut(text), v))
    throw EConvertError("'" + std::string(TrimLut(text)) + "' is not a valid integer value");
  return v;
}

namespace {

// Splits a trimmed line into two tokens and the trimmed rest, as both triple parsers read it.
inline bool SplitTriple(std::string_view line, std::string_view &a, std::string_view &b, std::string_view &c) {
  NextToken(line, a);
  a = TrimLut(a);
  if (a.empty())
    return false;
  line = TrimLut(line);
  NextToken(line, b);
  b = TrimLut(b);
  if (b.empty())
    return false;
  c = TrimLut(line);
  return !c.empty();
}

} // namespace

bool ParseFloatTriple(std::string_view Line, double &R, double &G, double &B) {
  std::string_view a, b, c;
  if (!SplitTriple(TrimLut(Line), a, b, c))
    return false;
  double r, g, bl;
  if (!TryParseLutFloat(a, r) || !TryParseLutFloat(b, g) || !TryParseLutFloat(c, bl))
    return false;
  R = r;
  G = g;
  B = bl;
  return true;
}

bool ParseIntTriple(std::string_view Line, int MaxCode, bool SkipFirst, double &R, double &G, double &B) {
  std::string_view line = TrimLut(Line);
  if (SkipFirst) {
    std::string_view skipped;
    NextToken(line, skipped);
    line = TrimLut(line);
  }
  std::string_view a, b, c;
  if (!SplitTriple(line, a, b, c))
    return false;
  std::int32_t r, g, bl;
  if (!TryParseLutInt(a, r) || !TryParseLutInt(b, g) || !TryParseLutInt(c, bl))
    return false;
  const double m = MaxCode;
  R = r / m;
  G = g / m;
  B = bl / m;
  return true;
}

char *FormatLutFloatTo(char *first, int Digits, double Value) {
  char *last = first + 340 + Digits;
  auto r = std::to_chars(first, last, Value, std::chars_format::fixed, Digits);
  if (*first == '-') {
    // A negative value that rounds to zero is written as zero, without a sign.
    bool zero = true;
    for (char *p = first + 1; p != r.ptr; ++p)
      if (*p != '0' && *p != '.')
        zero = false;
    if (zero) {
      std::memmove(first, first + 1, r.ptr - first - 1);
      return r.ptr - 1;
    }
  }
  return r.ptr;
}

std::uint32_t LutCode(int Bits, double Value) {
  if (!(Value > 0))
    Value = 0; // also NaN
  if (Value > 1)
    Value = 1;
  const double maxCode = std::ldexp(1.0, Bits) - 1;
  return static_cast<std::uint32_t>(std::nearbyint(maxCode * Value));
}

char *FormatLutIntTo(char *first, int Bits, double Value) {
  return std::to_chars(first, first + 16, LutCode(Bits, Value)).ptr;
}

} // namespace tintwise
