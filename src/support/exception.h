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

// A failure's fixed text and, on a line of its own, what caused it (the
// system's words, their first letter made a capital); the text alone when
// the cause is empty.
inline std::string WithCause(const std::string& message, std::string cause) {
  if (cause.empty()) return message;
  if (cause[0] >= 'a' && cause[0] <= 'z') cause[0] = static_cast<char>(cause[0] - 'a' + 'A');
  return message + "\r\n" + cause;
}

}  // namespace tessaline
