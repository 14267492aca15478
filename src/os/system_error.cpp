#include "os/system_error.h"

#include <cstdlib>
#include <cstring>

namespace tessaline {

const SystemError& Status::error() const {
  if (!error_) std::abort();  // a caller bug: there is no error to give
  return *error_;
}

std::string SystemError::Reason() const {
  switch (code_) {
    case kErrorNotRegularFile:
      return "not a regular file";
    case kErrorTooLarge:
      return "too large";
    case kErrorSymbolicLink:
      return "a symbolic link, which is never followed here";
    case kErrorUntrusted:
      return "another user can change or replace it";
    default:
      return std::strerror(code_);
  }
}

std::string SystemError::ToString() const {
  return operation_ + " '" + path_ + "': " + Reason();
}

}  // namespace tessaline
