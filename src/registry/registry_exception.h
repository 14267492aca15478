// The exception raised by the registry: a value that cannot be written or read,
// a hive file that cannot be read, written or parsed.
#pragma once

#include <string>

#include "platform/exception.h"

namespace tessaline {

class ERegistryException : public Exception {
 public:
  explicit ERegistryException(const std::string& message) : Exception(message) {}
};

}  // namespace tessaline
