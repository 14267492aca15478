#include "installer/pack_records.h"

#include <algorithm>
#include <cerrno>

#include "drawing/bitmap.h"
#include "support/exception.h"
#include "os/files.h"
#include "support/resources.h"

namespace tessaline {
namespace {

// Numeric order of decimal digit strings of any length; equal values by
// spelling, so that the order is total.
bool NumberLess(const std::string& a, const std::string& b) {
  const std::string_view x =
      std::string_view(a).substr(std::min(a.find_first_not_of('0'), a.size()));
  const std::string_view y =
      std::string_view(b).substr(std::min(b.find_first_not_of('0'), b.size()));
  if (x.size() != y.size()) return x.size() < y.size();
  if (x != y) return x < y;
  return a < b;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

PackRecord RecordOf(const HiveKey& key, const std::string& number) {
  return PackRecord{number, StringValue(key, "Pack" + number), StringValue(key, "Comm" + number),
                    StringValue(key, "Cir" + number)};
}

}  // namespace

std::optional<std::string> StringValue(const HiveKey& key, std::string_view name) {
  const std::optional<HiveValue> value = key.FindValue(name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) {
    return std::nullopt;
  }
  return value->data.substr(0, value->data.find('\0'));
}

std::vector<PackRecord> ListPackRecords(const Hive& hive) {
  std::vector<PackRecord> records;
  const HiveKey* key = hive.FindKey(std::string_view(kPackKeyPath));
  if (key == nullptr) return records;
  for (std::size_t i = 0; i < key->value_count(); ++i) {
    const std::string_view name = key->value_name(i);
    if (name.size() <= 4) continue;
    const std::string_view prefix = name.substr(0, 4);
    const std::string number(name.substr(4));
    if ((prefix[0] | 0x20) != 'p' || (prefix[1] | 0x20) != 'a' || (prefix[2] | 0x20) != 'c' ||
        (prefix[3] | 0x20) != 'k' || !AllDigits(number)) {
      continue;
    }
    records.push_back(RecordOf(*key, number));
  }
  std::sort(records.begin(), records.end(), [](const PackRecord& a, const PackRecord& b) {
    return NumberLess(a.number, b.number);
  });
  return records;
}

PackRecord FindPackRecord(const Hive& hive, std::int32_t number) {
  const std::string text = std::to_string(number);
  const HiveKey* key = hive.FindKey(std::string_view(kPackKeyPath));
  return key == nullptr ? PackRecord{text, {}, {}, {}} : RecordOf(*key, text);
}

PackFileState CheckPackFile(const std::string& path) {
  Result<struct stat> info = StatPath(path);
  if (!info.ok()) {
    const int code = info.error().code();
    return code == ENOENT || code == ENOTDIR ? PackFileState::kMissing : PackFileState::kUnreadable;
  }
  if (!S_ISREG(info.value().st_mode)) return PackFileState::kNotAPack;
  // Opening first tells a file we may not read from one that holds no sheet.
  if (Result<UniqueFd> fd = Open(path, O_RDONLY | O_NONBLOCK); !fd.ok()) {
    return PackFileState::kUnreadable;
  }
  try {
    const std::vector<std::byte> sheet = ReadResourceFromFile(path, "PACK");
    Bitmap::FromDib(sheet);
    return PackFileState::kOk;
  } catch (const Exception&) {
    return PackFileState::kNotAPack;
  }
}

std::string_view PackFileStateName(PackFileState state) {
  switch (state) {
    case PackFileState::kOk:
      return "ok";
    case PackFileState::kMissing:
      return "missing";
    case PackFileState::kNotAPack:
      return "not a pack";
    case PackFileState::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

}  // namespace tessaline
