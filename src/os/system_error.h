// A failed call to the operating system: the operation ("open", "write",
// "rename", ...), the path it was done to and the errno it failed with; and
// the explicit results built on it. Callers turn it into the texts a user
// sees; nothing here raises.
//
// Thread use: plain values; any thread.
#pragma once

#include <cerrno>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tessaline {

// Codes beside errno's (which are all positive): a file in the way because of
// what it is, not because a call failed.
inline constexpr int kErrorNotRegularFile = -1;  // a FIFO, device, folder, ...
inline constexpr int kErrorTooLarge = -2;        // over the reader's limit
inline constexpr int kErrorSymbolicLink = -3;    // a link where none is followed
inline constexpr int kErrorUntrusted = -4;       // another user can change it

class SystemError {
 public:
  SystemError(std::string operation, std::string path, int code)
      : operation_(std::move(operation)), path_(std::move(path)), code_(code) {}

  const std::string& operation() const { return operation_; }
  const std::string& path() const { return path_; }
  int code() const { return code_; }

  // The system's own words for the code ("No space left on device"), or ours
  // for the project's codes.
  std::string Reason() const;
  // "<operation> '<path>': <reason>", for logs and tests.
  std::string ToString() const;

 private:
  std::string operation_;
  std::string path_;
  int code_;
};

// Success, or the SystemError that stopped the work.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(SystemError error) : error_(std::move(error)) {}  // NOLINT: implicit on purpose
  static Status Ok() { return {}; }

  bool ok() const { return !error_.has_value(); }
  // Only when !ok(); asking an OK status for its error ends the program.
  const SystemError& error() const;
  int code() const { return ok() ? 0 : error_->code(); }

 private:
  std::optional<SystemError> error_;
};

// A value of type T, or the SystemError that kept it from being made.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}            // NOLINT: implicit
  Result(SystemError error) : state_(std::move(error)) {}  // NOLINT: implicit
  // Not from a Status (an OK one holds no error): pass status.error().
  Result(Status) = delete;

  bool ok() const { return state_.index() == 0; }
  // Only when ok().
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  // Only when !ok().
  const SystemError& error() const { return std::get<1>(state_); }
  int code() const { return ok() ? 0 : error().code(); }
  Status status() const { return ok() ? Status() : Status(error()); }

 private:
  std::variant<T, SystemError> state_;
};

}  // namespace tessaline
