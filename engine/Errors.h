// Exception types shared by every layer of Tintwise.
#pragma once

#include <stdexcept>
#include <string>

namespace tintwise {

// Base of every error Tintwise raises on purpose. The message is written for the user: the window
// shows it in a message box, the command line prints it as one line.
class ETintwiseError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The colour-correction engine refused its input (an empty picture, a region of one colour, a table
// size it cannot work with). Nothing has been stored when it is raised.
class EEngineError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// A file that cannot be opened for reading.
class EFOpenError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// A file that cannot be created or written.
class EFCreateError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// An operating-system call that failed; the message holds the system's own text.
class EOSError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

// A picture could not be loaded or resized. The message names the file (when there is one) and
// the problem; the destination bitmap has not been changed.
class EImageError : public ETintwiseError {
public:
  using ETintwiseError::ETintwiseError;
};

} // namespace tintwise
