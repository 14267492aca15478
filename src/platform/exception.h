// The system's exception base class. Failures of the platform (files, folders,
// registry values, resources) are raised as Exception or a class derived from
// it and shown by the application's default exception display.
#pragma once

#include <stdexcept>
#include <string>

namespace tessaline {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace tessaline
