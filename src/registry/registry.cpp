#include "registry/registry.h"

#include <utility>

namespace tessaline {

namespace {

constexpr std::pair<HKEY, std::string_view> kRootKeys[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

}  // namespace

bool TRegistry::Resolve(std::string_view key, std::vector<std::string>& path) const {
  const bool relative = key.empty() || key.front() != '\\';
  if (!relative) key.remove_prefix(1);
  if (relative && current_key_ != 0) {
    path = current_full_path_;
  } else {
    std::string_view root;
    for (const auto& [handle, name] : kRootKeys) {
      if (handle == root_key_) root = name;
    }
    if (root.empty()) return false;
    path.assign(1, std::string(root));
  }
  if (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  if (key.empty()) return true;
  for (std::string& name : SplitKeyPath(key)) {
    if (!IsStorableKeyName(name)) return false;
    path.push_back(std::move(name));
  }
  return true;
}

bool TRegistry::Present(const Hive& hive, const std::vector<std::string>& path) {
  // A root key always exists, even while the hive holds nothing below it.
  return path.size() == 1 || hive.FindKey(path) != nullptr;
}

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  if (can_create) return CreateKeyWithStrings(key, {});
  std::vector<std::string> path;
  if (!Resolve(key, path) || !hive_.Writable() || !Present(hive_.Read(), path)) return false;
  MakeCurrent(key, std::move(path));
  return true;
}

void TRegistry::MakeCurrent(const std::string& key, std::vector<std::string> path) {
  const bool relative = key.empty() || key.front() != '\\';
  std::string new_path = relative ? key : key.substr(1);
  if (relative && current_key_ != 0) new_path = current_path_ + "\\" + key;
  CloseKey();
  current_key_ = next_handle_++;
  current_path_ = std::move(new_path);
  current_full_path_ = std::move(path);
}

void TRegistry::CloseKey() {
  if (current_key_ == 0) return;
  if (!lazy_write_) hive_.Flush();
  current_key_ = 0;
  current_path_.clear();
  current_full_path_.clear();
}

namespace {

// The failure to write `values` (naming the first), saying why on its second
// line when `e` caused it.
ERegistryException FailedToSet(const std::vector<std::pair<std::string, std::string>>& values,
                               const ERegistryException* e = nullptr) {
  const std::string failed = "Failed to set data for '" + values.front().first + "'";
  if (e == nullptr) return ERegistryException(failed);
  return ERegistryException(failed, e->what() == failed ? e->cause() : std::string(e->what()));
}

// Sets each (name, text) of `values` in `key` as REG_SZ; whether any changed.
// Raises FailedToSet when a name cannot be stored.
bool SetStrings(HiveKey& key, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, text] : values) {
    if (!IsStorableValueName(name)) throw FailedToSet(values);
  }
  bool changed = false;
  for (const auto& [name, text] : values) {
    std::string data = text + '\0';
    const HiveValue* old = key.FindValue(name);
    if (old != nullptr && old->type == kRegSz && old->data == data) continue;
    key.SetValue(name, kRegSz, std::move(data));
    changed = true;
  }
  return changed;
}

}  // namespace

bool TRegistry::CreateKeyWithStrings(
    const std::string& key, const std::vector<std::pair<std::string, std::string>>& values) {
  std::vector<std::string> path;
  if (!Resolve(key, path) || !hive_.Writable()) return false;
  bool read = false;
  try {
    hive_.Modify([&](Hive& hive) {
      read = true;
      bool created = false;
      HiveKey& opened = hive.CreateKey(path, &created);
      return SetStrings(opened, values) || created;
    });
  } catch (const ERegistryException& e) {
    if (!read || values.empty()) throw;  // the key could not be opened or made
    MakeCurrent(key, std::move(path));
    throw FailedToSet(values, &e);
  }
  MakeCurrent(key, std::move(path));
  return true;
}

std::optional<std::string> TRegistry::ReadStringIfExists(const std::string& name) {
  if (current_key_ == 0) return std::nullopt;
  Hive hive;
  try {
    hive = hive_.Read();
  } catch (const ERegistryException&) {
    return std::nullopt;
  }
  const HiveKey* key = hive.FindKey(current_full_path_);
  const HiveValue* value = key != nullptr ? key->FindValue(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  if (value->data.empty()) return std::string();
  if (value->type != kRegSz && value->type != kRegExpandSz) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  return value->data.substr(0, value->data.find('\0'));
}

bool TRegistry::KeyExists(const std::string& key) {
  std::vector<std::string> path;
  if (!Resolve(key, path) || !hive_.Writable()) return false;
  try {
    return Present(hive_.Read(), path);
  } catch (const ERegistryException&) {
    return false;
  }
}

std::string TRegistry::WhyHiveNotWritable() {
  try {
    hive_.Check();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return hive_.WhyNotWritable();
}

void TRegistry::SetRootKey(HKEY root) {
  if (root == root_key_) return;
  root_key_ = root;
  CloseKey();
}

}  // namespace tessaline
