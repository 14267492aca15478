// The exception raised by the registry: a value that cannot be written or read,
// a hive file that cannot be read, written or parsed.
#pragma once

#include <string>
#include <utility>

#include "support/exception.h"

namespace tessaline {

class ERegistryException : public Exception {
 public:
  explicit ERegistryException(const std::string& message, std::string cause = {})
      : Exception(message), cause_(std::move(cause)) {}

  // What made the operation fail when the message does not say it (a value
  // that cannot be written keeps its fixed message, and the hive file's
  // error, such as a full disk, comes here); empty otherwise.
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

}  // namespace tessaline
