// Reading the hive's text form, the registry-export syntax of "REGEDIT4"
// files in UTF-8:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Wenlora\Pack]
//   "Pack1"="/games/Tessaline.wpk"
//   @=dword:0000002a
//   "Blob"=hex:01,02,03
//
// A hex value's bytes go on over the next lines while a line ends in "\".
// ParseHive accepts exactly what SerializeHive (hive_write.h) writes plus the
// usual liberties of hand-edited files: a byte-order mark, comments (";"),
// blank lines, CR LF line ends, blanks around "=", any letter case in names,
// "dword:" and "hex" and root key names, a key listed more than once, a
// value listed more than once (it keeps its first spelling and position and
// takes its last data). A text value must be UTF-8 without NUL, CR or LF.
// Thread use: pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive.h"
#include "registry/registry_exception.h"

namespace tessaline {

// A hive text that does not parse: the line (from 1) and what is wrong there.
class HiveSyntaxError : public ERegistryException {
 public:
  HiveSyntaxError(std::size_t line, const std::string& reason);
  std::size_t line() const { return line_; }
  const std::string& reason() const { return reason_; }

 private:
  std::size_t line_;
  std::string reason_;
};

// Parses a hive text. An empty text is an empty hive. Raises HiveSyntaxError
// at the first line that does not parse.
Hive ParseHive(std::string_view text);

// Raises HiveSyntaxError where ParseHive would, building no hive: for a
// reader that only needs to know the text is sound.
void CheckHive(std::string_view text);

// Where each key line and value of a parsed text stands, for rewriting the
// text line by line (hive_write.cpp).
struct HiveLayout {
  struct KeyLine {
    const HiveKey* key;
    std::size_t line;
  };
  struct ValueLines {
    const HiveKey* key;
    std::size_t position;     // among the key's values
    std::size_t first, last;  // the value's lines, continuation lines included
  };
  // The text's lines after its byte-order mark, each without its '\n'; line
  // i is line i + 1 of the text as HiveSyntaxError counts.
  std::vector<std::string_view> lines;
  std::vector<KeyLine> keys;
  std::vector<ValueLines> values;  // in text order
};

// ParseHive, noting in `layout` where every key line and value stands. The
// layout points into `text` and into the hive returned.
Hive ParseHive(std::string_view text, HiveLayout& layout);

}  // namespace tessaline
