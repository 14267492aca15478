// The in-memory registry hive: a tree of keys, each holding named values,
// each value a type and its raw data bytes.
//
// The top-level keys are the root keys by their canonical names
// (HKEY_LOCAL_MACHINE, ...). Key and value names compare ignoring case
// (SameText, text/compare.h); a name keeps the spelling it was first given.
// Keys and values keep the order in which they were added. Trees of any
// depth are freed, copied and compared without recursion. The text form is in
// hive_parse.h and hive_write.h. Thread use: plain values, no locking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "registry/registry_exception.h"

namespace tessaline {

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegQword = 11;

struct HiveValue {
  std::string name;  // empty: the key's default value ("@")
  std::uint32_t type = kRegNone;
  std::string data;  // raw bytes; REG_SZ data includes its terminating NUL

  bool operator==(const HiveValue&) const = default;
};

// Whether `name` can be stored as a value name (valid UTF-8 without NUL, CR
// or LF; the empty name is the default value's), or as a key name (a
// non-empty storable value name without "\").
bool IsStorableValueName(std::string_view name);
bool IsStorableKeyName(std::string_view name);

// The most names a key path may have, its root key included; deeper keys are
// refused when made or read.
inline constexpr std::size_t kMaxKeyDepth = 512;

// The canonical name of a root key for any spelling of it ("hkey_local_machine"
// -> "HKEY_LOCAL_MACHINE"), or empty when `name` names no root key.
std::string_view CanonicalRootName(std::string_view name);

// The names of a "\"-separated key path; empty names are kept ("a\\b" has three).
std::vector<std::string> SplitKeyPath(std::string_view path);

class HiveKey {
 public:
  explicit HiveKey(std::string name) : name_(std::move(name)) {}
  HiveKey(const HiveKey&) = delete;
  HiveKey& operator=(const HiveKey&) = delete;
  ~HiveKey();

  const std::string& name() const { return name_; }

  // The subkey named `name` (ignoring case), or nullptr.
  HiveKey* FindSubKey(std::string_view name);
  const HiveKey* FindSubKey(std::string_view name) const {
    return const_cast<HiveKey*>(this)->FindSubKey(name);
  }
  // The subkey named `name`, added (with that spelling, which the caller
  // ensures is storable) when missing, setting `created`.
  HiveKey& AddSubKey(std::string_view name, bool* created = nullptr);
  // Removes the subkey `name` (ignoring case) with everything below it,
  // keeping the others in order; false when there is none.
  bool RemoveSubKey(std::string_view name);
  const std::vector<std::unique_ptr<HiveKey>>& subkeys() const { return subkeys_; }

  // The value named `name` (ignoring case), valid until the key changes, or
  // nullptr; its position.
  const HiveValue* FindValue(std::string_view name) const;
  std::optional<std::size_t> ValuePosition(std::string_view name) const;
  // Sets the value `name` (storable, as the caller ensures), keeping the
  // spelling and position of an existing one; its position among the values.
  std::size_t SetValue(std::string_view name, std::uint32_t type, std::string data);
  // Removes the value `name` (ignoring case), keeping the others in order;
  // false when there is none.
  bool RemoveValue(std::string_view name);
  // Makes room for `more` values besides those held, so that adding them
  // moves nothing.
  void ReserveValues(std::size_t more);

  // The values in order.
  std::size_t value_count() const { return values_.size(); }
  std::string_view value_name(std::size_t position) const { return values_[position].name; }
  const HiveValue& value(std::size_t position) const { return values_[position]; }

  // Exact equality: names spelt the same, values and subkeys in the same order.
  bool SameAs(const HiveKey& other) const;

 private:
  friend class Hive;

  std::string name_;
  std::vector<std::unique_ptr<HiveKey>> subkeys_;
  std::vector<HiveValue> values_;
  // FoldCase(name) -> position, so that large keys stay cheap to look up.
  std::unordered_map<std::string, std::size_t> subkey_index_;
  std::unordered_map<std::string, std::size_t> value_index_;
};

class Hive {
 public:
  Hive() : top_(std::make_unique<HiveKey>(std::string())) {}

  // The key at `path`, a sequence of names whose first is a root key name
  // ("HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"); nullptr when missing.
  HiveKey* FindKey(const std::vector<std::string>& path);
  const HiveKey* FindKey(const std::vector<std::string>& path) const {
    return const_cast<Hive*>(this)->FindKey(path);
  }

  // The key at `path`, created with every missing key on the way (`created`
  // is set when one is). Raises ERegistryException when the first name is no
  // root key, a name cannot be stored or the path has over kMaxKeyDepth names.
  HiveKey& CreateKey(const std::vector<std::string>& path, bool* created = nullptr);

  // The root keys present, in order of appearance.
  const std::vector<std::unique_ptr<HiveKey>>& roots() const { return top_->subkeys(); }

  // A hive of its own equal to this one: every key and value copied.
  Hive Copy() const;

  bool operator==(const Hive& other) const { return top_->SameAs(*other.top_); }

 private:
  std::unique_ptr<HiveKey> top_;  // unnamed; its subkeys are the root keys
};

}  // namespace tessaline
