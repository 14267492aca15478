#include "installer/pack_record.h"

#include <algorithm>
#include <stdexcept>

#include "installer/identity.h"
#include "registry/cipher_reg.h"
#include "registry/registry_exception.h"
#include "support/exception.h"

namespace tessaline {
namespace {

const std::vector<std::string> kPackKey = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"};

// Whether `text` is a pack number as the record's names spell it: decimal,
// without leading zeros, at most 2,147,483,647. ("Pack007" is no record: the
// game looks for "Pack7", and two spellings must never list as one pack.)
bool IsPackNumber(std::string_view text) {
  if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1)) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  return std::stoll(std::string(text)) <= 2147483647;
}

// The text of a string value (its data up to the first NUL); nothing when
// the value is missing or not a string.
std::optional<std::string> StringValue(const HiveKey& key, std::string_view name) {
  const HiveValue* value = key.FindValue(name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return std::nullopt;
  return value->data.substr(0, value->data.find('\0'));
}

// The record refused (pack_record.h), `why` on the second line.
ERegistryException RecordRefused(const std::string& why) {
  return ERegistryException(WithCause(
      "Failed to set data for '" + RecordNamesOf(std::to_string(PackNo)).path + "'", why));
}

PackRecord RecordOf(const HiveKey& key, const std::string& number) {
  const RecordNames names = RecordNamesOf(number);
  return PackRecord{number, StringValue(key, names.path), StringValue(key, names.title),
                    StringValue(key, names.cyrillic_title)};
}

}  // namespace

RecordNames RecordNamesOf(std::string_view number) {
  const std::string n(number);
  return {"Pack" + n, "Comm" + n, "Cir" + n};
}

HiveFile OpenHive(const std::string& hive_path) {
  if (hive_path.empty()) {
    throw std::runtime_error("No registry file: neither WENLORA_REGISTRY nor a home folder is set");
  }
  return HiveFile(hive_path);
}

std::vector<PackRecord> ListPackRecords(const Hive& hive) {
  std::vector<PackRecord> records;
  const HiveKey* key = hive.FindKey(kPackKey);
  if (key == nullptr) return records;
  for (std::size_t i = 0; i < key->value_count(); ++i) {
    const std::string_view name = key->value_name(i);
    if (name.size() <= 4) continue;
    const std::string_view prefix = name.substr(0, 4);
    const std::string number(name.substr(4));
    if ((prefix[0] | 0x20) != 'p' || (prefix[1] | 0x20) != 'a' || (prefix[2] | 0x20) != 'c' ||
        (prefix[3] | 0x20) != 'k' || !IsPackNumber(number)) {
      continue;
    }
    records.push_back(RecordOf(*key, number));
  }
  std::sort(records.begin(), records.end(), [](const PackRecord& a, const PackRecord& b) {
    return std::stoll(a.number) < std::stoll(b.number);
  });
  return records;
}

PackRecord FindPackRecord(const Hive& hive, std::int32_t number) {
  const std::string text = std::to_string(number);
  const HiveKey* key = hive.FindKey(kPackKey);
  return key == nullptr ? PackRecord{text, {}, {}, {}} : RecordOf(*key, text);
}

std::string ReadRecordedPackPath() {
  return CipherReg->ReadValue(kPackSubKey, RecordNamesOf(std::to_string(PackNo)).path, "");
}

void CheckRecordCanBeWritten() {
  const std::string why = CipherReg->WhyHiveNotWritable();
  if (!why.empty()) throw RecordRefused(why);
}

HiveFile::WriteLock HoldRecordLock() {
  try {
    return CipherReg->HoldHive();
  } catch (const ERegistryException& e) {
    throw RecordRefused(e.what());
  }
}

void WritePackRecord(const std::string& pack_path) {
  const RecordNames names = RecordNamesOf(std::to_string(PackNo));
  bool written;
  try {
    written = CipherReg->WriteValues(
        kPackSubKey,
        {{names.path, pack_path}, {names.title, PackName}, {names.cyrillic_title, PackNameCyr}});
  } catch (const ERegistryException& e) {
    throw ERegistryException(WithCause(e.what(), e.cause()));
  }
  // The store writes nothing when it cannot open or create the key; that
  // must not pass for a recorded pack.
  if (!written) throw RecordRefused(CipherReg->WhyHiveNotWritable());
}

namespace {

// Removes the record's key and then the product's keys above it while each
// holds nothing: an installer that created them leaves no empty key behind,
// which would read as a product key without the game's folder. The root key
// stays.
void RemoveEmptyKeys(Hive& hive) {
  for (std::size_t depth = kPackKey.size(); depth > 1; --depth) {
    const std::vector<std::string> path(kPackKey.begin(), kPackKey.begin() + depth);
    const HiveKey* key = hive.FindKey(path);
    if (key == nullptr || key->value_count() != 0 || !key->subkeys().empty()) return;
    hive.FindKey({path.begin(), path.end() - 1})->RemoveSubKey(path.back());
  }
}

}  // namespace

void RemovePackRecord(HiveFile& hive, const PackRecord& seen) {
  const RecordNames names = RecordNamesOf(seen.number);
  hive.Modify([&](Hive& changed) {
    HiveKey* key = changed.FindKey(kPackKey);
    if (key == nullptr) return false;
    if (StringValue(*key, names.path) != seen.path) {
      throw ERegistryException("The pack record changed while the pack was removed");
    }
    bool removed = false;
    for (const std::string* name : {&names.path, &names.title, &names.cyrillic_title}) {
      removed = key->RemoveValue(*name) || removed;
    }
    if (removed) RemoveEmptyKeys(changed);
    return removed;
  });
}

}  // namespace tessaline
