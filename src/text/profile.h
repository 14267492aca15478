// Reader of private-profile ("INI") files, as the dictionary reads them: for a
// section, the list of its key names and each key's value, with the limits of
// the fixed buffers the dictionary reads them through.
//
// File rules: blanks (space, tab, VT, FF, Ctrl-Z, CR) are trimmed at both ends
// of a line, around key names and around values. A line whose first non-blank
// is "[" and that holds a "]" starts a section named by the text up to the last
// "]" (trimmed; the rest of the line is ignored). Lines before the first
// section belong to the section "". A line whose first non-blank is ";" is a
// comment: it is never listed and starts no section. Other lines are split at
// their first "="; lines without "=" are ignored. Section and key names match
// ignoring case of ASCII letters only; of a section that appears twice only the
// first is read; of a key that appears twice every copy is listed and the first
// copy's value is returned. A value that starts and ends with the same quote
// (" or ') and has at least two bytes loses that pair. LF, CR LF and CR end
// lines. A UTF-8 byte-order mark is skipped; a UTF-16 file (LE or BE mark) is
// decoded to UTF-8; any other file is read as bytes, unchanged.
//
// Errors: none are raised. A missing section reads as an empty one.
// Thread use: a reader is immutable once built and may be shared for reading.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaline {

class ProfileReader {
 public:
  // Files above this size are not read (a dictionary is a few kilobytes).
  static constexpr std::size_t kMaxFileBytes = 32u * 1024 * 1024;
  // Bytes of the key-name buffer: names, each ended by a zero, then one more
  // zero. At most kKeyListBytes - 2 bytes of names and zeros are delivered.
  static constexpr std::size_t kKeyListBytes = 16384;
  // Bytes of the value buffer: a value delivers at most kValueBytes - 1 bytes.
  static constexpr std::size_t kValueBytes = 2048;

  ProfileReader() = default;  // every section is missing
  // Reads the given file contents.
  static ProfileReader FromBytes(std::string_view contents);

  // The section's key list as the key-name buffer holds it: the names joined,
  // each followed by a zero byte, cut to kKeyListBytes - 2 bytes (the last
  // name may be cut short), then a final zero. Empty for a missing section.
  std::string KeyListBuffer(std::string_view section) const;

  // The names of KeyListBuffer, in file order, up to the first empty name (an
  // empty first key name therefore gives an empty list).
  std::vector<std::string> KeyNames(std::string_view section) const;

  // The value of the first listed or comment line whose key matches `key`
  // (trimmed), unquoted and cut to kValueBytes - 1 bytes (less when that
  // would split a UTF-8 character); `fallback` when section or key is missing.
  std::string Value(std::string_view section, std::string_view key,
                    std::string_view fallback = {}) const;

 private:
  struct Entry {
    std::string key;
    std::string value;  // trimmed, still quoted, not cut
    bool listed;        // false for comment lines
  };
  struct Section {
    std::vector<Entry> entries;
    // ASCII-lower-cased key -> index of its first entry.
    std::unordered_map<std::string, std::size_t> first_entry;
  };

  void Parse(std::string_view text);
  const Section* FindSection(std::string_view name) const;

  std::vector<Section> sections_;
  // ASCII-lower-cased section name -> index of its first section.
  std::unordered_map<std::string, std::size_t> section_index_;
};

}  // namespace tessaline
