#include "os/system_error.h"

#include <cstring>

namespace tessaline {

std::string SystemError::Reason() const {
  switch (code_) {
    case kErrorNotRegularFile:
      return "not a regular file";
    case kErrorTooLarge:
      return "too large";
    case kErrorSymbolicLink:
      return "a symbolic link, which is never followed here";
    default:
      return std::strerror(code_);
  }
}

std::string SystemError::ToString() const {
  return operation_ + " '" + path_ + "': " + Reason();
}

}  // namespace tessaline
