// The registry accessor: opens one key at a time below a root key and reads,
// writes and tests the values and subkeys of the open key. Every root key's
// hive is the hive file (hive_file.h); the system only uses HKEY_LOCAL_MACHINE.
//
// Paths use "\" as separator. A path that begins with "\" is absolute (taken
// from the root key); any other path is relative to the open key, or to the
// root key when none is open. One trailing "\" adds no level; an empty path
// names the base key itself; an empty name in the middle ("a\\b") names no key.
//
// The open key is a path, not a snapshot: every operation re-reads the hive.
// Every open asks for full access, which means write access to the hive
// file; a key that cannot be written cannot be opened at all.
//
// Thread use: one object per thread; no internal locking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/hive_file.h"
#include "registry/registry_exception.h"

namespace tessaline {

// Key handles. The root keys have their fixed values; an open key gets a
// handle of its own (never 0); 0 means no key.
using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr HKEY HKEY_USERS = 0x80000003;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;

class TRegistry {
 public:
  // An accessor on the hive file at `hive_path`: root key HKEY_LOCAL_MACHINE,
  // no key open, lazy-write flag clear.
  explicit TRegistry(std::string hive_path = DefaultHivePath()) : hive_(std::move(hive_path)) {}
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  virtual ~TRegistry() { CloseKey(); }

  // Opens the key `key`, with `can_create` creating it and every missing key
  // on the way. On success the open key is closed and `key` becomes current;
  // the current path becomes the old one, "\" and `key` for a relative key
  // below an open key, else `key` without its leading "\". False (nothing
  // changed) when the key does not exist and may not be created, or access
  // is refused. Raises ERegistryException when the hive file cannot be read
  // or written or is damaged (the file is left as it was).
  bool OpenKey(const std::string& key, bool can_create);

  // Closes the current key, flushing the hive to disk first while the
  // lazy-write flag is clear. Nothing when no key is open.
  void CloseKey();

  // OpenKey(key, true) and each (name, text) of `values` written into it as
  // REG_SZ (the text and a NUL), all in one change of the hive or none. False
  // where OpenKey gives false; raises where OpenKey raises (no key open). Once
  // the hive is read, raises ERegistryException "Failed to set data for '<first
  // name>'" when a name cannot be stored or the hive cannot be written (its
  // cause() then says why), and leaves `key` open.
  bool CreateKeyWithStrings(const std::string& key,
                            const std::vector<std::pair<std::string, std::string>>& values);

  // Why values could not be written now: the hive cannot be read, does not
  // parse, or cannot be changed (HiveFile::WhyNotWritable); empty when they can.
  std::string WhyHiveNotWritable();

  // Holds the hive's exclusive lock for the caller's scope (HiveFile::WriteLock).
  [[nodiscard]] HiveFile::WriteLock HoldHive() { return hive_.HoldWriteLock(); }

  // The text of the value `name` of the current key, up to its first NUL, or
  // empty when it has no data; nothing when no key is open, the value is
  // missing or the hive cannot be read. Raises ERegistryException "Invalid
  // data type for '<name>'" when the value is neither REG_SZ nor
  // REG_EXPAND_SZ (REG_EXPAND_SZ comes back unexpanded).
  std::optional<std::string> ReadStringIfExists(const std::string& name);

  // Whether the key `key` exists and can be opened with full access; relative
  // to the current key unless it begins with "\" or no key is open.
  bool KeyExists(const std::string& key);

  HKEY RootKey() const { return root_key_; }
  // Takes `root` as the root key; a change closes the open key.
  void SetRootKey(HKEY root);

  HKEY CurrentKey() const { return current_key_; }
  // The open key's path below the root without a leading "\"; empty when none.
  const std::string& CurrentPath() const { return current_path_; }

  bool LazyWrite() const { return lazy_write_; }
  void SetLazyWrite(bool lazy_write) { lazy_write_ = lazy_write; }

  const std::string& HivePath() const { return hive_.path(); }
  // How many closes flushed the hive to disk so far.
  std::uint64_t FlushCount() const { return hive_.flush_count(); }

 private:
  // The full path (root name first) that `key` names from here, or false when
  // it names no key that can exist.
  bool Resolve(std::string_view key, std::vector<std::string>& path) const;
  // Closes the open key and makes `key`, whose full path is `path`, current.
  void MakeCurrent(const std::string& key, std::vector<std::string> path);
  static bool Present(const Hive& hive, const std::vector<std::string>& path);

  HiveFile hive_;
  HKEY current_key_ = 0;
  HKEY root_key_ = HKEY_LOCAL_MACHINE;
  bool lazy_write_ = false;
  std::string current_path_;
  std::vector<std::string> current_full_path_;  // root name first
  HKEY next_handle_ = 1;
};

}  // namespace tessaline
