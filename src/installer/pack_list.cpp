#include "installer/pack_list.h"

#include <charconv>
#include <exception>
#include <nlohmann/json.hpp>
#include <ostream>

#include "installer/pack_file.h"
#include "installer/pack_record.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

struct ListedPack {
  PackRecord record;
  PackFileState state;
};

std::string Field(const std::optional<std::string>& value) {
  std::string text = value.value_or("");
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

void WriteText(const std::vector<ListedPack>& packs, std::ostream& out) {
  out << "number\ttitle\tcyrillic title\tpath\tstate\n";
  for (const ListedPack& pack : packs) {
    out << pack.record.number << '\t' << Field(pack.record.title) << '\t'
        << Field(pack.record.cyrillic_title) << '\t' << Field(pack.record.path) << '\t'
        << PackFileStateName(pack.state) << '\n';
  }
}

nlohmann::ordered_json OrNull(const std::optional<std::string>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

// N as a JSON number; as text when it is too large for one.
nlohmann::ordered_json NumberOf(const std::string& digits) {
  std::uint64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  if (ec == std::errc() && ptr == end) return value;
  return digits;
}

void WriteJson(const std::vector<ListedPack>& packs, std::ostream& out) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const ListedPack& pack : packs) {
    array.push_back({{"number", NumberOf(pack.record.number)},
                     {"title", OrNull(pack.record.title)},
                     {"cyrillic_title", OrNull(pack.record.cyrillic_title)},
                     {"path", OrNull(pack.record.path)},
                     {"state", std::string(PackFileStateName(pack.state))}});
  }
  // Bytes that are not UTF-8 (a hand-edited hive) become U+FFFD rather than
  // an exception.
  out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err) {
  std::vector<ListedPack> packs;
  try {
    if (hive_path.empty()) {
      throw std::runtime_error(
          "No registry file: neither WENLORA_REGISTRY nor a home folder is set");
    }
    HiveFile hive(hive_path);
    for (PackRecord& record : ListPackRecords(hive.Read())) {
      // A "Pack"N that is not a string names no file.
      const PackFileState state =
          record.path ? CheckPackFile(*record.path) : PackFileState::kMissing;
      packs.push_back({std::move(record), state});
    }
  } catch (const std::exception& error) {
    err << error.what() << '\n';
    return 1;
  }
  if (json) {
    WriteJson(packs, out);
  } else {
    WriteText(packs, out);
  }
  out.flush();
  return 0;
}

}  // namespace tessaline
