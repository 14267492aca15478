#include "installer/pack_list.h"

#include <exception>
#include <nlohmann/json.hpp>
#include <ostream>

#include "installer/pack_file.h"
#include "installer/pack_record.h"
#include "registry/hive_file.h"
#include "text/utf8.h"

namespace tessaline {
namespace {

struct ListedPack {
  PackRecord record;
  PackFileState state;
};

// A field as a terminal may show it: a hive's bytes could otherwise
// retitle or clear the terminal of whoever lists it.
std::string Field(const std::optional<std::string>& value) {
  return utf8::Printable(value.value_or(""));
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

std::string Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

void WriteJson(const std::vector<ListedPack>& packs, std::ostream& out) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const ListedPack& pack : packs) {
    nlohmann::ordered_json entry = {{"number", std::stoll(pack.record.number)},
                                    {"title", OrNull(pack.record.title)},
                                    {"cyrillic_title", OrNull(pack.record.cyrillic_title)},
                                    {"path", OrNull(pack.record.path)},
                                    {"state", std::string(PackFileStateName(pack.state))}};
    // JSON holds only UTF-8: a path that is not is also given byte for byte.
    if (pack.record.path && !utf8::IsValid(*pack.record.path)) {
      entry["path_hex"] = Hex(*pack.record.path);
    }
    array.push_back(std::move(entry));
  }
  // Bytes that are not UTF-8 (a hand-edited hive) become U+FFFD rather than
  // an exception.
  out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err) {
  std::vector<ListedPack> packs;
  try {
    HiveFile hive = OpenHive(hive_path);
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
  return 0;
}

}  // namespace tessaline
