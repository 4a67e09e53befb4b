// Exceptions of the format layer. Every one derives from ETintwiseError, so the window and the
// command line can show any of them as they stand.
#pragma once

#include <string>

#include "engine/Errors.h"

namespace tintwise {

// A LUT file that cannot be used: incomplete, too large, or holding something this program cannot
// represent.
class ELUTError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// A number in a file that is not what it must be, e.g. "'12x' is not a valid integer value".
class EConvertError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

} // namespace tintwise
