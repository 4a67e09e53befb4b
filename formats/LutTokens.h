// Token, number and keyword functions shared by the text formats. They work on views of the line
// being read, so a reader never copies a line to look at it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tintwise {

// Removes every character with a code up to 32 (blank and control characters) from the ends.
std::string_view TrimLut(std::string_view s);
std::string_view TrimLeftLut(std::string_view s);

// A comment line starts with "#" once left-trimmed; its text is the rest after the "#", trimmed.
bool IsCommentLine(std::string_view line);
std::string_view CommentText(std::string_view line);

// True when every Required keyword and no Excluded keyword occurs in the text (the first bytes of a
// file, already converted to upper case), case ignored, as substrings. Keyword lists are split at
// commas and blanks; an item in double quotes may hold blanks. TLutFileHead::HasKeywords runs it
// on the first 4096 bytes of a file.
bool HasKeywordsIn(std::string_view upperHead, std::string_view Required, std::string_view Excluded);

// The text of Line after the keyword found at the 1-based position Pos (PosNoCase), with Skip more
// characters (a separator) dropped; not trimmed, empty when the line ends first.
std::string_view AfterKeyword(std::string_view Line, int Pos, std::size_t KeywordLength, std::size_t Skip = 0);

// Splits off the text up to the first tab, blank or comma; exactly one separator is removed.
void NextToken(std::string_view &Line, std::string_view &Token);

// Head := text of S before the first Separator (all of S without one); S loses Head and Separator.
void SplitAt(std::string_view Separator, std::string_view &S, std::string_view &Head);

// 1-based position of Sub in S, ASCII letters compared without case; 0 when absent.
int PosNoCase(std::string_view Sub, std::string_view S);

// A decimal number: optional sign, digits, optional fraction, optional exponent; "." as separator.
bool TryParseLutFloat(std::string_view text, double &value);
// A 32-bit signed decimal integer with optional sign.
bool TryParseLutInt(std::string_view text, std::int32_t &value);
// As TryParseLutInt on the trimmed text; raises EConvertError "'text' is not a valid integer value".
std::int32_t LutStrToInt(std::string_view text);

// Three decimal numbers separated by tabs, blanks or commas; the third is all the rest.
bool ParseFloatTriple(std::string_view Line, double &R, double &G, double &B);
// Three integers, each divided by MaxCode; with SkipFirst a leading index column is dropped.
bool ParseIntTriple(std::string_view Line, int MaxCode, bool SkipFirst, double &R, double &G, double &B);

// Fixed-point text with Digits decimals, "." as separator, written at first; answers the end. A
// negative value that rounds to zero is written without its sign. Needs room for 340 + Digits
// characters at most. The writers pass values of at most 10^9 (they refuse larger ones).
char *FormatLutFloatTo(char *first, int Digits, double Value);

// The integer code of Value at Bits bits: clamped to 0..1 (NaN gives 0), scaled by 2^Bits - 1 and
// rounded half to even; the second writes it at first and answers the end.
std::uint32_t LutCode(int Bits, double Value);
char *FormatLutIntTo(char *first, int Bits, double Value);

} // namespace tintwise
