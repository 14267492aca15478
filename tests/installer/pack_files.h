// Pack files and hives for the tests of --list, --verify and --uninstall:
// small ELF files carrying a card sheet as an installer does, and hive texts
// with pack records.
#pragma once

#include <span>
#include <string>
#include <utility>

#include "common/elf_builder.h"
#include "common/test_support.h"

namespace tessaline::test {

// The shipped card sheet, and another valid one (the same picture with a
// changed pixel), as bytes.
inline const std::string& ShippedSheet() {
  static const std::string sheet = ReadFile(TESSALINE_RESOURCE_DIR "/pack.bmp");
  return sheet;
}
inline const std::string& OtherSheet() {
  static const std::string sheet = [] {
    std::string other = ShippedSheet();
    other.back() = static_cast<char>(other.back() ^ 1);
    return other;
  }();
  return sheet;
}
inline std::span<const std::byte> AsSpan(const std::string& bytes) {
  return {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()};
}

// A pack file carrying `sheet` in its section ".rsrc.PACK".
inline std::string PackFile(const std::string& sheet) {
  return ElfWithSections({{".rsrc.LOGO1", "logo"}, {".rsrc.PACK", sheet}});
}

// The record of pack `n` as lines of a hive.
inline std::string RecordLines(int n, const std::string& title, const std::string& cyr,
                               const std::string& path) {
  const std::string k = std::to_string(n);
  std::string lines;
  for (const auto& [name, data] :
       {std::pair<const char*, const std::string&>{"Pack", path}, {"Comm", title}, {"Cir", cyr}}) {
    lines.append("\"").append(name).append(k).append("\"=\"").append(data).append("\"\r\n");
  }
  return lines;
}

inline constexpr char kPackKeyLine[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\r\n";
// A key and value of the game that every test expects to stay as they are.
inline constexpr char kGameKey[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora]\r\n\"Wenlora\"=\"/opt/wenlora/wenlora\"\r\n\r\n";

}  // namespace tessaline::test
