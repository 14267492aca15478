// The pack records of the hive: every pack N with a value "Pack"N under
// HKEY_LOCAL_MACHINE\SOFTWARE\Wenlora\Pack, its titles ("Comm"N, "Cir"N), and
// what lies at the path it names.
//
// Thread use: plain functions on values; CheckPackFile reads files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive.h"

namespace tessaline {

// The key that holds the pack records.
inline constexpr char kPackKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack";

struct PackRecord {
  std::string number;                         // N as the value name spells it ("1", "007")
  std::optional<std::string> path;            // "Pack"N
  std::optional<std::string> title;           // "Comm"N
  std::optional<std::string> cyrillic_title;  // "Cir"N

  bool empty() const { return !path && !title && !cyrillic_title; }
};

// The text of a string value (its data up to the first NUL); nothing when
// the value is missing or not a string.
std::optional<std::string> StringValue(const HiveKey& key, std::string_view name);

// Every record with a "Pack"N value (N decimal digits), sorted by N's value.
std::vector<PackRecord> ListPackRecords(const Hive& hive);

// The record of pack `number`; empty when the hive has none of its values.
PackRecord FindPackRecord(const Hive& hive, std::int32_t number);

// What lies at a recorded pack path: a file carrying a card sheet (an ELF
// section ".rsrc.PACK" that decodes as a bitmap), nothing, a file or folder
// without one, or a file that cannot be read.
enum class PackFileState { kOk, kMissing, kNotAPack, kUnreadable };

PackFileState CheckPackFile(const std::string& path);

// "ok", "missing", "not a pack", "unreadable".
std::string_view PackFileStateName(PackFileState state);

}  // namespace tessaline
