#include "util/UErrors.h"

#include <cstring>

EFOpenError::EFOpenError(const std::string& path, const std::string& reason)
    : EQuillmereError("Unable to open file \"" + path + "\": " + reason) {}

std::string SysErrorMessage(int error_number) {
  char buffer[256];
  // The GNU strerror_r returns the message, which may or may not use buffer.
  return strerror_r(error_number, buffer, sizeof(buffer));
}
