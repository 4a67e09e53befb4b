// Checks the readers and writers share: values that are not finite numbers, values too large for
// a decimal file, and how a line of a file is quoted in a message.
#pragma once

#include <string>
#include <string_view>

#include "engine/Lut.h"
#include "formats/LutErrors.h"

namespace tintwise {

// Raised by the value-line writers for a value beyond what a decimal file may hold; the writer's
// caller puts the file and the format in front.
class EValueOutOfRange : public ELUTError {
public:
  using ELUTError::ELUTError;
};

// The largest magnitude a decimal writer writes. Grading values stay far below it; anything larger
// comes from a damaged table and would only give lines of hundreds of digits.
inline constexpr double kLargestDecimalValue = 1e6;

// Where the tables in force (by Mode and the sizes) first hold a value that is not a finite
// number, as "lattice point (r, g, b)" or "curve entry i"; empty when every value is finite.
std::string NonFiniteValue(const TLUT &LUT);

// Whether a word spells a number that is not finite: "nan", "inf", "infinity" with an optional
// sign and any case, or a decimal beyond the range of a double ("1e999").
bool IsNonFiniteWord(std::string_view word);

// Whether a trimmed line starts like a line of values: with a digit, a sign or a point, or with a
// word that spells a number that is not finite.
bool StartsLikeValues(std::string_view trimmed);

// A line of a file as a message quotes it: at most 40 characters, control characters and bytes
// outside ASCII shown as "?", in single quotes.
std::string QuoteLine(std::string_view line);

} // namespace tintwise
