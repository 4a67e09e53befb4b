// Character and small string helpers shared by the token functions and the XML reader. Files are
// taken as 8-bit characters; only ASCII letters change case.
#pragma once

#include <string>
#include <string_view>

namespace tintwise {

// Blank and every control character: the characters trimming removes.
inline bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }
inline bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    c = UpperAscii(c);
  return out;
}

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    c = LowerAscii(c);
  return out;
}

// Whether a and b are equal when ASCII letters are compared without case.
inline bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i]))
      return false;
  return true;
}

// Whether s begins with prefix, case as written.
inline bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A UTF-8 byte-order mark: text files may begin with one, and it is not part of the first line.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

} // namespace tintwise
