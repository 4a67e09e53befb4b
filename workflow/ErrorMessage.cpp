#include "workflow/ErrorMessage.h"

#include <new>

namespace tintwise {

std::string ErrorMessage(std::exception_ptr error) {
  try {
    if (error)
      std::rethrow_exception(error);
  } catch (const std::bad_alloc &) {
    return "There is not enough memory for this operation.";
  } catch (const std::exception &e) {
    return e.what();
  } catch (...) {
  }
  return "The operation failed for an unknown reason.";
}

} // namespace tintwise
