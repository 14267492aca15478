#include "installer/identity.h"

#include <array>
#include <limits>
#include <span>

#include "support/exception.h"
#include "support/resources.h"
#include "text/utf8.h"

namespace tessaline {

std::int32_t PackNo = 0;
std::string PackNameCyr = "Карты х";
std::string PackName = "Pack x";

void InstallerStartup(const PackIdentity& identity) {
  PackNo = identity.number;
  PackNameCyr = identity.cyrillic_name;
  PackName = identity.name;
}

void InstallerShutdown() {
  // Swapping with empty strings gives the memory back, not just the length.
  std::string().swap(PackName);
  std::string().swap(PackNameCyr);
}

namespace {

// The identity's keys, in the order they are written.
constexpr std::array<std::string_view, 3> kKeys = {"Number", "CyrillicTitle", "Title"};

[[noreturn]] void Damaged(const std::string& what) {
  throw Exception("The pack identity is damaged: " + what);
}

}  // namespace

std::string TitleProblem(std::string_view title, bool names_file) {
  if (title.empty()) return "it is empty";
  if (!utf8::IsValid(title)) return "it is not UTF-8";
  for (const char c : title) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) return "it holds a NUL";
    if (byte < 0x20 || byte == 0x7f) return "it holds a control character";
    if (names_file && c == '/') return "it holds a \"/\" (the title names the pack file)";
  }
  if (names_file && title.size() > kMaxTitleBytes) {
    return "it is longer than " + std::to_string(kMaxTitleBytes) +
           " bytes (the title names the pack file)";
  }
  return {};
}

std::optional<std::int32_t> ParsePackNumber(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return {};
  std::int64_t value = 0;
  for (const char c : text) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return {};
  }
  if (value < 1) return {};
  return static_cast<std::int32_t>(value);
}

std::string IdentityText(const PackIdentity& identity) {
  return std::string(kKeys[0]) + "=" + std::to_string(identity.number) + "\n" +
         std::string(kKeys[1]) + "=" + identity.cyrillic_name + "\n" + std::string(kKeys[2]) + "=" +
         identity.name + "\n";
}

PackIdentity ParseIdentityText(std::string_view text) {
  std::array<std::string, 3> values;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) Damaged("line " + std::to_string(i + 1) + " is missing");
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.starts_with(kKeys[i]) || line.substr(kKeys[i].size(), 1) != "=") {
      Damaged("line " + std::to_string(i + 1) + " is not " + std::string(kKeys[i]) + "=...");
    }
    values[i] = line.substr(kKeys[i].size() + 1);
  }
  if (!text.empty()) Damaged("it goes on after its three lines");
  const std::optional<std::int32_t> number = ParsePackNumber(values[0]);
  if (!number || std::to_string(*number) != values[0]) Damaged("the number is not 1 to 2147483647");
  for (const std::size_t i : {std::size_t{1}, std::size_t{2}}) {
    const std::string problem = TitleProblem(values[i], i == 2);
    if (!problem.empty()) Damaged(std::string(kKeys[i]) + ": " + problem);
  }
  return {*number, values[2], values[1]};
}

PackIdentity ProgramIdentity() {
  std::span<const std::byte> bytes;
  try {
    bytes = FindResource(kIdentityResource);
  } catch (const Exception& error) {
    throw Exception("This program carries no pack identity: " + error.Message());
  }
  return ParseIdentityText({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

}  // namespace tessaline
