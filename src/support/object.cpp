#include "support/object.h"

#include <cstdio>

namespace tessaline {

std::string Variant::ToText() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(NullValue) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.15g", d);
      return buffer;
    }
    std::string operator()(const std::string& s) const { return s; }
  };
  return std::visit(Visitor{}, value_);
}

}  // namespace tessaline
