#include "registry/hive_parse.h"

#include <algorithm>
#include <charconv>

#include "text/compare.h"

namespace tessaline {

HiveSyntaxError::HiveSyntaxError(std::size_t line, const std::string& reason)
    : ERegistryException("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

[[noreturn]] void Fail(std::size_t line_no, const std::string& reason) {
  throw HiveSyntaxError(line_no, reason);
}

// The lines of `text` after its byte-order mark, each without its '\n'.
std::vector<std::string_view> SplitLines(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The full path of a key line, its root key name in canonical spelling.
std::vector<std::string> ParseKeyLine(std::string_view line, std::size_t line_no) {
  if (line.size() < 2 || line.back() != ']') Fail(line_no, "a key line without its closing ']'");
  const std::string_view inner = line.substr(1, line.size() - 2);
  if (std::count(inner.begin(), inner.end(), '\\') >= std::ptrdiff_t{kMaxKeyDepth}) {
    Fail(line_no, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  }
  std::vector<std::string> path = SplitKeyPath(inner);
  const std::string_view root = CanonicalRootName(path.front());
  if (root.empty()) Fail(line_no, "unknown root key '" + path.front() + "'");
  path.front() = std::string(root);
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (!IsStorableKeyName(path[i])) Fail(line_no, "an invalid key name");
  }
  return path;
}

// A quoted text starting at line[pos] == '"', unescaped; leaves pos after its
// closing quote. Room is left for one more byte (the NUL a text value gets).
std::string ParseQuoted(std::string_view line, std::size_t& pos, std::size_t line_no) {
  std::string out;
  for (++pos;; ++pos) {
    std::size_t run = pos;  // the bytes up to the next quote or backslash go as they are
    while (run < line.size() && line[run] != '"' && line[run] != '\\') ++run;
    if (out.empty()) out.reserve(run - pos + 1);
    out.append(line, pos, run - pos);
    pos = run;
    if (pos >= line.size()) Fail(line_no, "a text without its closing quote");
    if (line[pos] == '"') {
      ++pos;
      break;
    }
    if (++pos >= line.size()) Fail(line_no, "a text without its closing quote");
    const char c = line[pos];
    if (c != '\\' && c != '"') Fail(line_no, std::string("an unknown escape '\\") + c + "'");
    out.push_back(c);
  }
  if (!IsStorableValueName(out)) {
    Fail(line_no, "a text with a line break, a NUL byte or bytes that are not UTF-8");
  }
  return out;
}

// The number that `digits` spell in 1 to `max_digits` hex digits; fails with
// `reason` when they spell none.
std::uint32_t ParseHex(std::string_view digits, std::size_t max_digits, std::size_t line_no,
                       const char* reason) {
  std::uint32_t v = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, ec] = std::from_chars(digits.data(), end, v, 16);
  if (digits.empty() || digits.size() > max_digits || stop != end || ec != std::errc()) {
    Fail(line_no, reason);
  }
  return v;
}

// The type of a "hex:" or "hex(N):" value; leaves `rest` after the ':'.
std::uint32_t ParseHexType(std::string_view& rest, std::size_t line_no) {
  rest.remove_prefix(3);
  std::uint32_t type = kRegBinary;
  if (!rest.empty() && rest.front() == '(') {
    const std::size_t close = rest.find(')');
    if (close == std::string_view::npos) Fail(line_no, "a value type without its ')'");
    type = ParseHex(rest.substr(1, close - 1), 8, line_no,
                    "a value type that is not 1 to 8 hex digits");
    rest.remove_prefix(close + 1);
  }
  if (rest.empty() || rest.front() != ':') Fail(line_no, "a hex value without ':'");
  rest.remove_prefix(1);
  return type;
}

// Comma-separated hex bytes ("01,2,ff"; nothing at all is no bytes).
std::string ParseBytes(std::string_view rest, std::size_t line_no) {
  std::string data;
  rest = TrimBlanks(rest);
  if (rest.empty()) return data;
  for (;;) {
    const std::size_t comma = rest.find(',');
    const std::string_view token = TrimBlanks(rest.substr(0, comma));
    data.push_back(
        static_cast<char>(ParseHex(token, 2, line_no, "a byte that is not 1 or 2 hex digits")));
    if (comma == std::string_view::npos) return data;
    rest.remove_prefix(comma + 1);
  }
}

// Reads the lines of a text one after another into a hive, noting where
// each key and value stands when given a layout; only checks them when given
// no hive.
class Parser {
 public:
  Parser(const std::vector<std::string_view>& lines, Hive* hive, HiveLayout* layout)
      : lines_(lines), hive_(hive), layout_(layout) {}

  void Parse() {
    if (lines_.empty()) return;
    if (TrimBlanks(lines_[0]) != "REGEDIT4") Fail(1, "the file does not begin with REGEDIT4");
    if (layout_ != nullptr) layout_->values.reserve(lines_.size());
    HiveKey* key = nullptr;
    bool in_key = false;
    for (next_ = 1; next_ < lines_.size();) {
      const std::size_t first = next_++;
      const std::string_view line = TrimBlanks(lines_[first]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        const std::vector<std::string> path = ParseKeyLine(line, first + 1);
        in_key = true;
        if (hive_ == nullptr) continue;
        key = &hive_->CreateKey(path);
        key->ReserveValues(ValueLinesBeforeNextKey());
        if (layout_ != nullptr) layout_->keys.push_back({key, first});
      } else if (!in_key) {
        Fail(first + 1, "a value outside of any key");
      } else {
        HiveValue value = ParseValueLine(line, first + 1);
        if (hive_ == nullptr) continue;
        const std::size_t position = key->SetValue(value.name, value.type, std::move(value.data));
        if (layout_ != nullptr) layout_->values.push_back({key, position, first, next_ - 1});
      }
    }
  }

 private:
  // Parses one value line and its continuation lines.
  HiveValue ParseValueLine(std::string_view line, std::size_t line_no) {
    HiveValue value;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() == '"') {
      value.name = ParseQuoted(line, pos, line_no);
    } else {
      Fail(line_no, "a line that is neither a key, a value nor a comment");
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') Fail(line_no, "a value name without '='");
    std::string_view rest = TrimBlanks(line.substr(pos + 1));
    std::string& data = value.data;
    if (!rest.empty() && rest.front() == '"') {
      std::size_t end = 0;
      data = ParseQuoted(rest, end, line_no);
      if (end != rest.size()) Fail(line_no, "text after the closing quote");
      data.push_back('\0');
      value.type = kRegSz;
    } else if (StartsWithNoCase(rest, "dword:")) {
      const std::uint32_t v =
          ParseHex(rest.substr(6), 8, line_no, "a dword that is not 1 to 8 hex digits");
      value.type = kRegDword;
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    } else if (StartsWithNoCase(rest, "hex")) {
      value.type = ParseHexType(rest, line_no);
      data = ParseBytes(JoinContinuations(rest, line_no), line_no);
    } else {
      Fail(line_no, "a value of unknown form");
    }
    return value;
  }

  // How many lines that begin like a value come before the next key line: at
  // most that many values follow (so a hostile text takes no more room).
  std::size_t ValueLinesBeforeNextKey() const {
    std::size_t count = 0;
    for (std::size_t i = next_; i < lines_.size(); ++i) {
      const std::string_view line = TrimBlanks(lines_[i]);
      if (line.starts_with('[')) break;
      count += line.starts_with('"') || line.starts_with('@');
    }
    return count;
  }

  // `first` and the lines that follow it while a line ends with "\", joined
  // without the "\"s.
  std::string JoinContinuations(std::string_view first, std::size_t line_no) {
    std::string joined(first);
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (next_ >= lines_.size()) Fail(line_no, "a continued value at the end of the file");
      joined.append(TrimBlanks(lines_[next_++]));
    }
    return joined;
  }

  const std::vector<std::string_view>& lines_;
  Hive* hive_;            // nullptr: the lines are only checked
  HiveLayout* layout_;    // nullptr: no positions are noted
  std::size_t next_ = 0;  // the next line to read, from 0
};

}  // namespace

Hive ParseHive(std::string_view text, HiveLayout& layout) {
  layout = HiveLayout{SplitLines(text), {}, {}};
  Hive hive;
  Parser(layout.lines, &hive, &layout).Parse();
  return hive;
}

Hive ParseHive(std::string_view text) {
  Hive hive;
  Parser(SplitLines(text), &hive, nullptr).Parse();
  return hive;
}

void CheckHive(std::string_view text) {
  Parser(SplitLines(text), nullptr, nullptr).Parse();
}

}  // namespace tessaline
