#include "registry/hive.h"

#include <array>
#include <utility>

#include "text/compare.h"
#include "text/utf8.h"

namespace tessaline {

namespace {

constexpr std::array<std::string_view, 6> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// Drops the entry for `name` from `index` and from `items`, moving the
// positions after it down by one. False when `index` has no such name.
template <typename Item>
bool RemoveIndexed(std::unordered_map<std::string, std::size_t>& index, std::vector<Item>& items,
                   std::string_view name) {
  const auto it = index.find(FoldCase(name));
  if (it == index.end()) return false;
  const std::size_t at = it->second;
  index.erase(it);
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(at));
  for (auto& [folded, position] : index) {
    if (position > at) --position;
  }
  return true;
}

}  // namespace

bool IsStorableValueName(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    // Plain ASCII, by far the most of any name or text, needs no decoding.
    if (c < 0x80) {
      if (c == '\0' || c == '\r' || c == '\n') return false;
      ++i;
      continue;
    }
    const std::size_t length = utf8::CharacterLength(name, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool IsStorableKeyName(std::string_view name) {
  return !name.empty() && name.find('\\') == std::string_view::npos && IsStorableValueName(name);
}

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> names;
  for (;;) {
    const std::size_t slash = path.find('\\');
    names.emplace_back(path.substr(0, slash));
    if (slash == std::string_view::npos) return names;
    path.remove_prefix(slash + 1);
  }
}

std::string_view CanonicalRootName(std::string_view name) {
  for (std::string_view root : kRootNames) {
    if (SameTextAscii(root, name)) return root;
  }
  return {};
}

HiveKey::~HiveKey() {
  std::vector<std::unique_ptr<HiveKey>> pending = std::move(subkeys_);
  while (!pending.empty()) {
    std::unique_ptr<HiveKey> key = std::move(pending.back());
    pending.pop_back();
    for (auto& sub : key->subkeys_) pending.push_back(std::move(sub));
    key->subkeys_.clear();  // so that `key` goes without descending
  }
}

HiveKey* HiveKey::FindSubKey(std::string_view name) {
  const auto it = subkey_index_.find(FoldCase(name));
  return it == subkey_index_.end() ? nullptr : subkeys_[it->second].get();
}

HiveKey& HiveKey::AddSubKey(std::string_view name, bool* created) {
  const auto [it, inserted] = subkey_index_.try_emplace(FoldCase(name), subkeys_.size());
  if (inserted) {
    subkeys_.push_back(std::make_unique<HiveKey>(std::string(name)));
    if (created != nullptr) *created = true;
  }
  return *subkeys_[it->second];
}

const HiveValue* HiveKey::FindValue(std::string_view name) const {
  const std::optional<std::size_t> at = ValuePosition(name);
  return at ? &values_[*at] : nullptr;
}

std::optional<std::size_t> HiveKey::ValuePosition(std::string_view name) const {
  const auto it = value_index_.find(FoldCase(name));
  return it == value_index_.end() ? std::nullopt : std::optional(it->second);
}

std::size_t HiveKey::SetValue(std::string_view name, std::uint32_t type, std::string data) {
  const auto [it, inserted] = value_index_.try_emplace(FoldCase(name), values_.size());
  if (inserted) {
    values_.push_back(HiveValue{std::string(name), type, std::move(data)});
  } else {
    values_[it->second].type = type;
    values_[it->second].data = std::move(data);
  }
  return it->second;
}

bool HiveKey::RemoveValue(std::string_view name) {
  return RemoveIndexed(value_index_, values_, name);
}

void HiveKey::ReserveValues(std::size_t more) {
  values_.reserve(values_.size() + more);
  value_index_.reserve(value_index_.size() + more);
}

bool HiveKey::RemoveSubKey(std::string_view name) {
  return RemoveIndexed(subkey_index_, subkeys_, name);
}

bool HiveKey::SameAs(const HiveKey& other) const {
  std::vector<std::pair<const HiveKey*, const HiveKey*>> pending = {{this, &other}};
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    if (a->name_ != b->name_ || a->values_ != b->values_ ||
        a->subkeys_.size() != b->subkeys_.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a->subkeys_.size(); ++i) {
      pending.emplace_back(a->subkeys_[i].get(), b->subkeys_[i].get());
    }
  }
  return true;
}

Hive Hive::Copy() const {
  Hive copy;
  std::vector<std::pair<const HiveKey*, HiveKey*>> pending = {{top_.get(), copy.top_.get()}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    to->values_ = from->values_;
    to->value_index_ = from->value_index_;
    to->subkey_index_ = from->subkey_index_;
    to->subkeys_.reserve(from->subkeys_.size());
    for (const auto& sub : from->subkeys_) {
      to->subkeys_.push_back(std::make_unique<HiveKey>(sub->name_));
      pending.emplace_back(sub.get(), to->subkeys_.back().get());
    }
  }
  return copy;
}

HiveKey* Hive::FindKey(const std::vector<std::string>& path) {
  if (path.empty()) return nullptr;
  HiveKey* key = top_.get();
  for (const std::string& name : path) {
    key = key->FindSubKey(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

HiveKey& Hive::CreateKey(const std::vector<std::string>& path, bool* created) {
  if (path.empty()) throw ERegistryException("Empty key path");
  if (path.size() > kMaxKeyDepth) {
    throw ERegistryException("Key path deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  }
  const std::string_view root = CanonicalRootName(path.front());
  if (root.empty()) throw ERegistryException("Unknown root key '" + path.front() + "'");
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (!IsStorableKeyName(path[i])) {
      throw ERegistryException("Invalid key name '" + path[i] + "'");
    }
  }
  HiveKey* key = &top_->AddSubKey(root, created);
  for (std::size_t i = 1; i < path.size(); ++i) key = &key->AddSubKey(path[i], created);
  return *key;
}

}  // namespace tessaline
