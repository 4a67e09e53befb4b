// The words a user sees for a failure, the same in the window's message box and on the command
// line's standard error.
#pragma once

#include <exception>
#include <string>

namespace tintwise {

// The message for the exception: its own text for every error this program raises (and any other
// standard exception), a plain sentence for running out of memory or for something unknown.
// Inside a catch block, ErrorMessage() describes the exception being handled.
std::string ErrorMessage(std::exception_ptr error = std::current_exception());

} // namespace tintwise
