#include "text/profile.h"

#include <cstdint>

#include "text/utf8.h"

namespace tessaline {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

// Decodes UTF-16 (after its byte-order mark) to UTF-8. Unpaired surrogates
// become U+FFFD; an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  auto unit = [&](std::size_t i) -> std::uint32_t {
    auto hi = static_cast<unsigned char>(bytes[big_endian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(bytes[big_endian ? i + 1 : i]);
    return (static_cast<std::uint32_t>(hi) << 8) | lo;
  };
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  for (std::size_t k = 0; k < units; ++k) {
    std::uint32_t u = unit(2 * k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      std::uint32_t v = unit(2 * (k + 1));
      if (v >= 0xDC00 && v <= 0xDFFF) {
        utf8::Append(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        ++k;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    utf8::Append(out, u);
  }
  return out;
}

}  // namespace

ProfileReader ProfileReader::FromBytes(std::string_view contents) {
  ProfileReader reader;
  if (contents.starts_with("\xEF\xBB\xBF")) {
    reader.Parse(contents.substr(3));
  } else if (contents.starts_with("\xFF\xFE")) {
    reader.Parse(Utf16ToUtf8(contents.substr(2), /*big_endian=*/false));
  } else if (contents.starts_with("\xFE\xFF")) {
    reader.Parse(Utf16ToUtf8(contents.substr(2), /*big_endian=*/true));
  } else {
    reader.Parse(contents);
  }
  return reader;
}

void ProfileReader::Parse(std::string_view text) {
  // Lines before the first header belong to the section "". Since it always
  // comes first, sections headed "[]" repeat it and cannot be reached.
  sections_.emplace_back();
  section_index_.emplace("", 0);
  Section* current = &sections_.back();

  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size()) {
      pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
    }
    if (line.empty()) continue;

    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        std::string name = AsciiLower(Trim(line.substr(1, close - 1)));
        if (section_index_.count(name) != 0) {
          current = nullptr;  // a repeated section is not read
        } else {
          section_index_.emplace(std::move(name), sections_.size());
          sections_.emplace_back();
          current = &sections_.back();
        }
        continue;
      }
    }
    if (current == nullptr) continue;

    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    Entry entry{std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1))),
                line.front() != ';'};
    current->first_entry.emplace(AsciiLower(entry.key), current->entries.size());
    current->entries.push_back(std::move(entry));
  }
}

const ProfileReader::Section* ProfileReader::FindSection(std::string_view name) const {
  auto it = section_index_.find(AsciiLower(Trim(name)));
  return it == section_index_.end() ? nullptr : &sections_[it->second];
}

std::string ProfileReader::KeyListBuffer(std::string_view section) const {
  const Section* s = FindSection(section);
  std::string buffer;
  if (s == nullptr) return buffer;
  const std::size_t limit = kKeyListBytes - 2;
  for (const Entry& entry : s->entries) {
    if (!entry.listed) continue;
    buffer += entry.key;
    buffer += '\0';
    if (buffer.size() > limit) {
      buffer.resize(limit);
      buffer += '\0';  // ends the cut name
      break;
    }
  }
  if (buffer.empty()) return buffer;
  buffer += '\0';
  return buffer;
}

std::vector<std::string> ProfileReader::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const std::string buffer = KeyListBuffer(section);
  std::size_t pos = 0;
  while (pos < buffer.size()) {
    std::size_t end = buffer.find('\0', pos);
    if (end == std::string::npos) end = buffer.size();
    if (end == pos) break;  // an empty name ends the list
    names.emplace_back(buffer, pos, end - pos);
    pos = end + 1;
  }
  return names;
}

std::string ProfileReader::Value(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::string(fallback);
  auto it = s->first_entry.find(AsciiLower(Trim(key)));
  if (it == s->first_entry.end()) return std::string(fallback);

  std::string value = s->entries[it->second].value;
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  // The value is cut to the buffer before the quotes come off, so a cut value
  // has lost its closing quote already.
  // In UTF-8 the cut never splits a character: one that does not fit whole
  // goes entirely, so no half character reaches a message.
  const std::size_t limit = kValueBytes - 1;
  const bool cut = value.size() > limit;
  if (cut) value.resize(utf8::CharacterBoundaryAtMost(value, limit));
  if (quoted) {
    value.erase(0, 1);
    if (!cut) value.pop_back();
  }
  return value;
}

}  // namespace tessaline
