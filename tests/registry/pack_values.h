// Writing and reading a text value of the key ...\Wenlora\Pack, for the
// tests of the hive file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "registry/hive_file.h"

namespace tessaline::test {

inline const std::vector<std::string> kPackKey = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora",
                                                  "Pack"};

// Sets the REG_SZ value `name` of the pack key to `text` in one Modify.
inline void Put(HiveFile& file, const std::string& name, const std::string& text) {
  file.Modify([&](Hive& hive) {
    hive.CreateKey(kPackKey).SetValue(name, kRegSz, text + '\0');
    return true;
  });
}

// The text of the value `name` of the pack key (without its NUL), or nothing.
inline std::optional<std::string> Get(const Hive& hive, const std::string& name) {
  const HiveKey* key = hive.FindKey(kPackKey);
  const HiveValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  return value->data.substr(0, value->data.size() - 1);
}

}  // namespace tessaline::test
