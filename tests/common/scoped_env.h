// An environment variable set (or unset) for a scope: the guard puts back what
// was there before it, the old value or the variable's absence, when it goes.
//
// Thread use: like the environment itself, not safe while other threads read
// or change it.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>

namespace tessaline::test {

class ScopedEnv {
 public:
  // Sets `name` to `value`; unsets it when `value` is empty (std::nullopt).
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str())) saved_ = old;
    Put(value);
  }
  ~ScopedEnv() { Put(saved_); }

  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Put(const std::optional<std::string>& value) const {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace tessaline::test
