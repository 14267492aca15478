#include "registry/hive.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <deque>
#include <numeric>
#include <unordered_map>

#include "text/compare.h"
#include "os/memory.h"
#include "text/utf8.h"

namespace tessaline {

namespace {

constexpr std::array<std::string_view, 6> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
    "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// Lines of binary data are wrapped before they grow longer than this.
constexpr std::size_t kWrapColumn = 76;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// REG_SZ data: `text` and its terminating NUL.
std::string WithNul(std::string_view text) {
  std::string data;
  data.reserve(text.size() + 1);
  data.append(text).push_back('\0');
  return data;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

// Splits a "\"-separated key path; empty parts are kept (the caller rejects them).
std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = path.find('\\', start);
    if (slash == std::string_view::npos) {
      parts.emplace_back(path.substr(start));
      return parts;
    }
    parts.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
}

}  // namespace

bool IsStorableValueName(std::string_view name) {
  for (char c : name) {
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return utf8::IsValid(name);
}

bool IsStorableKeyName(std::string_view name) {
  return !name.empty() && name.find('\\') == std::string_view::npos && IsStorableValueName(name);
}

std::string_view CanonicalRootName(std::string_view name) {
  for (std::string_view root : kRootNames) {
    if (SameTextAscii(root, name)) return root;
  }
  return {};
}

// ---------------------------------------------------------------------------
// HiveKey

HiveKey* HiveKey::FindSubKey(std::string_view name) {
  const std::size_t at = subkey_index_.Find(name, SubKeyNames());
  return at == NameIndex::kNone ? nullptr : subkeys_[at].get();
}

const HiveKey* HiveKey::FindSubKey(std::string_view name) const {
  return const_cast<HiveKey*>(this)->FindSubKey(name);
}

HiveKey& HiveKey::AddSubKey(std::string_view name, bool* created) {
  bool inserted;
  const std::size_t at = subkey_index_.FindOrAdd(name, subkeys_.size(), SubKeyNames(), inserted);
  if (inserted) {
    subkeys_.push_back(std::make_unique<HiveKey>(std::string(name)));
    reshaped_ = true;
    if (created != nullptr) *created = true;
  }
  return *subkeys_[at];
}

std::string_view HiveKey::value_name(std::size_t position) const {
  const Slot& slot = slots_[position];
  if (slot.decoded()) return decoded_[slot.name_at].name;
  return std::string_view(*source_).substr(slot.name_at, slot.name_size);
}

HiveKey::DataView HiveKey::DataOf(const Slot& slot) const {
  if (slot.decoded()) {
    const HiveValue& value = decoded_[slot.name_at];
    return {value.type, value.data, false};
  }
  return {kRegSz, std::string_view(*source_).substr(slot.text_at, slot.text_size), true};
}

HiveValue HiveKey::value(std::size_t position) const {
  const Slot& slot = slots_[position];
  if (slot.decoded()) return decoded_[slot.name_at];
  return HiveValue{std::string(value_name(position)), kRegSz, WithNul(DataOf(slot).bytes)};
}

bool HiveKey::SameValue(std::size_t position, const HiveKey& other,
                        std::size_t other_position) const {
  const Slot& a = slots_[position];
  const Slot& b = other.slots_[other_position];
  if (!a.decoded() && !b.decoded() && source_ == other.source_) {
    if (a.name_at == b.name_at && a.text_at == b.text_at && a.name_size == b.name_size &&
        a.text_size == b.text_size) {
      return true;
    }
  }
  if (value_name(position) != other.value_name(other_position)) return false;
  const DataView x = DataOf(a);
  const DataView y = other.DataOf(b);
  if (x.type != y.type) return false;
  if (x.nul == y.nul) return x.bytes == y.bytes;
  // One text kept without its NUL: the other's bytes are it and a NUL.
  const DataView& kept = x.nul ? x : y;
  const DataView& whole = x.nul ? y : x;
  return whole.bytes.size() == kept.bytes.size() + 1 && whole.bytes.back() == '\0' &&
         whole.bytes.substr(0, kept.bytes.size()) == kept.bytes;
}

std::optional<HiveValue> HiveKey::FindValue(std::string_view name) const {
  const std::optional<std::size_t> at = ValuePosition(name);
  if (!at) return std::nullopt;
  return value(*at);
}

std::optional<std::size_t> HiveKey::ValuePosition(std::string_view name) const {
  const std::size_t at = value_index_.Find(name, ValueNames());
  if (at == NameIndex::kNone) return std::nullopt;
  return at;
}

HiveValue& HiveKey::Decode(std::size_t position) {
  Slot& slot = slots_[position];
  if (!slot.decoded()) {
    decoded_.push_back(value(position));
    slot = Slot{static_cast<std::uint32_t>(decoded_.size() - 1), Slot::kDecoded, 0, 0};
  }
  return decoded_[slot.name_at];
}

std::size_t HiveKey::SetValue(std::string_view name, std::uint32_t type, std::string data) {
  const std::size_t at = PutValue(name, type, std::move(data));
  changed_values_.push_back(static_cast<std::uint32_t>(at));
  return at;
}

std::uint64_t HiveKey::PrepareValue(std::string_view name) const {
  const std::uint64_t hash = FoldedHash(name);
  value_index_.Prefetch(hash);
  return hash;
}

std::size_t HiveKey::PutValue(std::string_view name, std::uint64_t prepared, std::uint32_t type,
                              std::string data) {
  bool inserted;
  const std::size_t at =
      value_index_.FindOrAdd(name, prepared, slots_.size(), ValueNames(), inserted);
  if (inserted) {
    decoded_.push_back(HiveValue{std::string(name), type, std::move(data)});
    slots_.push_back(Slot{static_cast<std::uint32_t>(decoded_.size() - 1), Slot::kDecoded, 0, 0});
  } else {
    HiveValue& value = Decode(at);
    value.type = type;
    value.data = std::move(data);
  }
  return at;
}

std::size_t HiveKey::PutTextOf(const std::shared_ptr<const std::string>& source,
                               std::string_view name, std::uint64_t prepared,
                               std::string_view text) {
  const auto offset = [&](std::string_view part) {
    return static_cast<std::size_t>(part.data() - source->data());
  };
  const bool fits = source->size() < Slot::kDecoded;
  if (!fits || (source_ != nullptr && source_ != source)) {
    // Bytes of another text, or offsets too large to keep: decoded now.
    return PutValue(name, prepared, kRegSz, WithNul(text));
  }
  source_ = source;
  bool inserted;
  const std::size_t at =
      value_index_.FindOrAdd(name, prepared, slots_.size(), ValueNames(), inserted);
  const auto text_at = static_cast<std::uint32_t>(offset(text));
  const auto text_size = static_cast<std::uint32_t>(text.size());
  if (inserted) {
    slots_.push_back(Slot{static_cast<std::uint32_t>(offset(name)),
                          static_cast<std::uint32_t>(name.size()), text_at, text_size});
  } else if (Slot& slot = slots_[at]; !slot.decoded()) {
    slot.text_at = text_at;  // the name keeps its first spelling
    slot.text_size = text_size;
  } else {
    HiveValue& value = decoded_[slot.name_at];
    value.type = kRegSz;
    value.data = WithNul(text);
    return at;
  }
  kept_texts_end_ = std::max<std::size_t>(kept_texts_end_, text_at + 1);
  return at;
}

void HiveKey::ReserveValues(std::size_t extra) {
  const std::size_t wanted = slots_.size() + extra;
  if (wanted <= slots_.capacity()) return;
  // At least doubling, so that many hints for one key cost no more than
  // growth, and with room for a few more: a key of many values that gets one
  // more must not copy them all. Room not used is never touched.
  slots_.reserve(std::max(wanted + wanted / 8 + 8, 2 * slots_.capacity()));
  PrepareToWrite(slots_.data() + slots_.size(), extra * sizeof(Slot));
  value_index_.Reserve(slots_.capacity());
}

bool HiveKey::RemoveValue(std::string_view name) {
  const std::size_t at = value_index_.Find(name, ValueNames());
  if (at == NameIndex::kNone) return false;
  if (const Slot removed = slots_[at]; removed.decoded()) {
    decoded_.erase(decoded_.begin() + removed.name_at);
    for (Slot& slot : slots_) {
      if (slot.decoded() && slot.name_at > removed.name_at) --slot.name_at;
    }
  }
  slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(at));
  value_index_.Rebuild(slots_.size(), ValueNames());
  reshaped_ = true;
  return true;
}

HiveKey::~HiveKey() {
  std::vector<std::unique_ptr<HiveKey>> pending = std::move(subkeys_);
  while (!pending.empty()) {
    std::unique_ptr<HiveKey> key = std::move(pending.back());
    pending.pop_back();
    for (auto& sub : key->subkeys_) pending.push_back(std::move(sub));
    key->subkeys_.clear();  // so that `key` goes without descending
  }
}

bool HiveKey::ReleaseBytesFrom(const std::string& source, std::size_t offset) {
  if (source_.get() != &source) return false;
  // A kept value's text stands inside a line at or after its name's (the
  // name keeps its first listing, the text its last), and a change of the
  // text starts at a line's start: a value whose text is kept before
  // `offset` lies wholly before it.
  if (kept_texts_end_ <= offset) return true;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (!slots_[i].decoded() && slots_[i].text_at >= offset) Decode(i);
  }
  kept_texts_end_ = offset;
  return true;
}

bool HiveKey::SameAs(const HiveKey& other) const {
  std::vector<std::pair<const HiveKey*, const HiveKey*>> pending = {{this, &other}};
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    if (a->name_ != b->name_ || a->slots_.size() != b->slots_.size() ||
        a->subkeys_.size() != b->subkeys_.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a->slots_.size(); ++i) {
      if (!a->SameValue(i, *b, i)) return false;
    }
    for (std::size_t i = 0; i < a->subkeys_.size(); ++i) {
      pending.emplace_back(a->subkeys_[i].get(), b->subkeys_[i].get());
    }
  }
  return true;
}

std::unique_ptr<HiveKey> HiveKey::Clone() const {
  auto top = std::make_unique<HiveKey>(name_);
  std::vector<std::pair<const HiveKey*, HiveKey*>> pending = {{this, top.get()}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    to->slots_ = from->slots_;
    to->decoded_ = from->decoded_;
    to->source_ = from->source_;
    to->values_before_changes_ = from->slots_.size();
    to->kept_texts_end_ = from->kept_texts_end_;
    to->value_index_ = from->value_index_;
    to->subkey_index_ = from->subkey_index_;
    to->subkeys_.reserve(from->subkeys_.size());
    for (const auto& sub : from->subkeys_) {
      to->subkeys_.push_back(std::make_unique<HiveKey>(sub->name_));
      pending.emplace_back(sub.get(), to->subkeys_.back().get());
    }
  }
  return top;
}

// ---------------------------------------------------------------------------
// Hive

HiveKey* Hive::FindKey(const std::vector<std::string>& path) {
  HiveKey* key = top_.get();
  for (const std::string& name : path) {
    key = key->FindSubKey(name);
    if (key == nullptr) return nullptr;
  }
  return path.empty() ? nullptr : key;
}

const HiveKey* Hive::FindKey(const std::vector<std::string>& path) const {
  return const_cast<Hive*>(this)->FindKey(path);
}

const HiveKey* Hive::FindKey(std::string_view path) const {
  return FindKey(SplitPath(path));
}

HiveKey& Hive::CreateKey(const std::vector<std::string>& path, bool* created) {
  if (path.empty()) throw ERegistryException("Empty key path");
  if (path.size() > kMaxKeyDepth) {
    throw ERegistryException("Key path deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  }
  std::string_view root = CanonicalRootName(path.front());
  if (root.empty()) throw ERegistryException("Unknown root key '" + path.front() + "'");
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (!IsStorableKeyName(path[i])) {
      throw ERegistryException("Invalid key name '" + path[i] + "'");
    }
  }
  HiveKey* key = &top_->AddSubKey(root, created);
  for (std::size_t i = 1; i < path.size(); ++i) key = &key->AddSubKey(path[i], created);
  return *key;
}

std::vector<HiveKey*> Hive::ChangedKeys(bool& reshaped) {
  std::vector<HiveKey*> changed;
  reshaped = false;
  ForEachKey([&](HiveKey& key) {
    reshaped |= key.reshaped();
    if (!key.changed_values().empty()) changed.push_back(&key);
  });
  return changed;
}

bool Hive::HasChanges() {
  bool reshaped;
  return !ChangedKeys(reshaped).empty() || reshaped;
}

void Hive::ForgetChanges() {
  ForEachKey([](HiveKey& key) { key.ForgetChanges(); });
}

// ---------------------------------------------------------------------------
// Text form

HiveSyntaxError::HiveSyntaxError(std::size_t line, const std::string& reason)
    : ERegistryException("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

// Where each key line and each value stands in a hive's text: byte offsets
// in the whole text, from the start of its first line to past the line end of
// its last (or the text's end), a value's continuation lines included.
// Offsets are kept in 32 bits (a text with a layout is below 4 GiB), so that
// a value's entry takes 16 bytes.
struct TextLayout {
  struct Place {
    std::uint32_t begin = 0, end = 0;
    Place() = default;
    Place(std::size_t from, std::size_t to)
        : begin(static_cast<std::uint32_t>(from)), end(static_cast<std::uint32_t>(to)) {}
  };
  struct KeyLine {
    const HiveKey* key;
    Place place;
  };
  struct Value {
    std::uint32_t key_line;  // the line of the key it stands under, in key_lines
    std::uint32_t position;  // among the key's values
    Place place;
  };
  static constexpr std::size_t kMaxText = 0xFFFFFFFF;

  const HiveKey* key_of(const Value& value) const { return key_lines[value.key_line].key; }

  std::vector<KeyLine> key_lines;
  std::vector<Value> values;
};

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Eight bytes at a time: which of the bytes of `word` are zero (their top
// bit set in the result; a byte after a zero byte may be marked too, so only
// whether the result is zero counts).
inline std::uint64_t ZeroBytes(std::uint64_t word) {
  return (word - kOnes) & ~word & kHighBits;
}

inline std::uint64_t LoadWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// The position of the first '\n' at or after `from`, or text.size(). For the
// short lines of a hive this beats memchr, whose set-up costs more than the
// search.
std::size_t FindNewline(std::string_view text, std::size_t from) {
  std::size_t i = from;
  for (; i + 8 <= text.size(); i += 8) {
    if (ZeroBytes(LoadWord(text.data() + i) ^ ('\n' * kOnes)) != 0) break;
  }
  for (; i < text.size(); ++i) {
    if (text[i] == '\n') return i;
  }
  return text.size();
}

// Whether any of the eight bytes of `word` is a quote, a backslash or a
// control character: the bytes a quoted text's fast scan must look at one by
// one. Bytes past ASCII are not among them (their top bit never passes the
// test below); the scan notes them separately.
inline bool HasStopByte(std::uint64_t word) {
  const std::uint64_t below_space = (word - 0x20 * kOnes) & ~word & kHighBits;
  return (ZeroBytes(word ^ ('"' * kOnes)) | ZeroBytes(word ^ ('\\' * kOnes)) | below_space) != 0;
}

// Where the first eight bytes from `from` on (in steps of eight) that hold a
// stop byte begin, or the start of the text's last few bytes; ORs the top
// bits of the bytes passed into `high`, which is then zero for plain ASCII.
std::size_t SkipPlainWords(std::string_view text, std::size_t from, std::uint64_t& high) {
  std::size_t at = from;
  for (; at + 8 <= text.size(); at += 8) {
    const std::uint64_t word = LoadWord(text.data() + at);
    if (HasStopByte(word)) break;
    high |= word & kHighBits;
  }
  return at;
}

// The lines of a text one after another, numbered from 1, without copying
// them: each is a view of the text up to (not including) its '\n'.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}

  // The next line, or false at the end of the text.
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const std::size_t end = FindNewline(text_, pos_);
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++number_;
    return true;
  }

  // The number of the line Next gave last (0 before the first).
  std::size_t number() const { return number_; }
  // Where the next line starts in the cursor's text (past its end after the
  // last line).
  std::size_t position() const { return pos_; }
  // The text from where the next line starts.
  std::string_view rest() const {
    return pos_ < text_.size() ? text_.substr(pos_) : std::string_view();
  }
  // Takes the next line as read, `bytes` long with its line end.
  void Skip(std::size_t bytes) {
    pos_ += bytes;
    ++number_;
  }

  // How many lines there are, at most, before the next key line that starts
  // a line: a hint for the values of the key just read. Each byte of the
  // text is looked at by one call only, so later calls in a range already
  // seen give 0.
  std::size_t LinesBeforeNextKey() {
    const std::size_t from = std::max(pos_, scanned_to_);
    if (from >= text_.size()) return 0;
    std::size_t end = from;
    for (;;) {
      const void* found = std::memchr(text_.data() + end, '[', text_.size() - end);
      if (found == nullptr) {
        end = text_.size();
        break;
      }
      end = static_cast<std::size_t>(static_cast<const char*>(found) - text_.data());
      if (text_[end - 1] == '\n') break;
      ++end;
    }
    scanned_to_ = end;
    return static_cast<std::size_t>(std::count(text_.data() + from, text_.data() + end, '\n'));
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
  std::size_t scanned_to_ = 0;  // where LinesBeforeNextKey stopped
};

// Reads a hive text in one pass. Lines are taken as views of the text; names
// and texts without escapes go into the hive with a single copy.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), lines_(WithoutByteOrderMark(text)) {}
  // A parser whose hive keeps plain text values as bytes of `source`, the
  // text it reads.
  explicit Parser(std::shared_ptr<const std::string> source)
      : Parser(std::string_view(*source)) {
    source_ = std::move(source);
  }

  Hive Parse() {
    Hive hive;
    std::string_view line;
    if (!lines_.Next(line)) return hive;
    if (TrimBlanks(line) != "REGEDIT4") Fail(1, "the file does not begin with REGEDIT4");
    HiveKey* key = nullptr;
    for (;;) {
      // Plain lines are kept as bytes of the text, so only with it as a source.
      if (key != nullptr && source_ != nullptr && ReadPlainValueLine(*key)) continue;
      PutPendingValues();
      if (!lines_.Next(line)) break;
      const std::size_t line_no = lines_.number();
      const std::size_t begin = static_cast<std::size_t>(line.data() - text_.data());
      line = TrimBlanks(line);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        key = &ParseKeyLine(hive, line, line_no);
        const std::size_t lines = lines_.LinesBeforeNextKey();
        key->ReserveValues(lines);
        if (layout_ != nullptr && layout_->values.capacity() < layout_->values.size() + lines) {
          // Room for a few more too: a change adds values after the last.
          layout_->values.reserve(layout_->values.size() + lines + lines / 8 + 8);
          PrepareToWrite(layout_->values.data() + layout_->values.size(),
                         lines * sizeof(TextLayout::Value));
        }
        if (layout_ != nullptr) layout_->key_lines.push_back({key, PlaceFrom(begin)});
      } else if (key == nullptr) {
        Fail(line_no, "a value outside of any key");
      } else {
        const std::size_t position = ParseValueLine(*key, line, line_no);
        if (layout_ != nullptr) AddToLayout(position, PlaceFrom(begin));
      }
    }
    // Nothing read from the text counts as a change.
    hive.ForgetChanges();
    return hive;
  }

  // The common value line, "name"="text" and its line end, read in one scan
  // of its bytes for `key` (put into it a few lines later: PendingValue).
  // False, with nothing read, for any other line (blanks, escapes, control
  // characters, other forms, bytes that are not UTF-8): the general path then
  // reads it, and reports what is wrong.
  bool ReadPlainValueLine(HiveKey& key) {
    const std::string_view rest = lines_.rest();
    if (rest.empty() || rest.front() != '"') return false;
    bool non_ascii = false;
    const std::size_t name_end = FindPlainQuote(rest, 1, non_ascii);
    if (name_end + 2 >= rest.size() || rest[name_end + 1] != '=' || rest[name_end + 2] != '"') {
      return false;
    }
    const std::size_t data_end = FindPlainQuote(rest, name_end + 3, non_ascii);
    if (data_end >= rest.size()) return false;
    std::size_t next = data_end + 1;  // past the line end
    if (next < rest.size() && rest[next] == '\r') ++next;
    if (next < rest.size()) {
      if (rest[next] != '\n') return false;
      ++next;
    }
    const std::string_view name = rest.substr(1, name_end - 1);
    const std::string_view text = rest.substr(name_end + 3, data_end - name_end - 3);
    if (non_ascii && !(utf8::IsValid(name) && utf8::IsValid(text))) return false;
    const std::size_t begin = text_.size() - rest.size();
    lines_.Skip(next);
    if (pending_count_ == kPendingValues) PutOldestPendingValue();
    pending_[(pending_first_ + pending_count_++) % kPendingValues] =
        PendingValue{&key, name, text, key.PrepareValue(name), PlaceFrom(begin)};
    return true;
  }

  // The position of the '"' that ends the plain text starting at text[from];
  // text.size() when a backslash or a control character comes first, or no
  // quote. Notes in `non_ascii` whether the text has bytes past ASCII.
  static std::size_t FindPlainQuote(std::string_view text, std::size_t from, bool& non_ascii) {
    std::uint64_t high = 0;
    std::size_t at = SkipPlainWords(text, from, high);
    non_ascii |= high != 0;
    for (; at < text.size(); ++at) {
      const auto c = static_cast<unsigned char>(text[at]);
      if (c == '"') return at;
      if (c == '\\' || c < 0x20) return text.size();
      non_ascii |= c >= 0x80;
    }
    return text.size();
  }

  // Parses one value's lines, as they stand in a text after its key line,
  // into `value`; false when they do not parse or hold more than one value.
  static bool ReadValueLines(std::string_view lines, HiveValue& value) {
    Parser parser(lines);
    std::string_view line;
    if (!parser.lines_.Next(line)) return false;
    try {
      HiveKey key{std::string()};
      parser.ParseValueLine(key, TrimBlanks(line), 1);
      if (parser.lines_.Next(line) || key.value_count() != 1) return false;
      value = key.value(0);
      return true;
    } catch (const HiveSyntaxError&) {
      return false;
    }
  }

  TextLayout* layout_ = nullptr;  // filled while parsing when set

 private:
  // A plain value line read but not yet put into its key. Putting a value
  // looks its name up in the key's index, most of which is out of the cache
  // in a large key; a value is put only some lines after its name's slot was
  // asked for (PrepareValue), so that the lookup finds it at hand. Values are
  // put in the order of their lines, so the result is the same.
  struct PendingValue {
    HiveKey* key;
    std::string_view name, text;
    std::uint64_t prepared;
    TextLayout::Place place;
  };
  static constexpr std::size_t kPendingValues = 8;

  void PutOldestPendingValue() {
    const PendingValue& value = pending_[pending_first_];
    const std::size_t position =
        value.key->PutTextOf(source_, value.name, value.prepared, value.text);
    if (layout_ != nullptr) AddToLayout(position, value.place);
    pending_first_ = (pending_first_ + 1) % kPendingValues;
    --pending_count_;
  }

  // Puts every pending value, before a line of any other kind is read.
  void PutPendingValues() {
    while (pending_count_ > 0) PutOldestPendingValue();
  }

  static std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
  }

  // Notes where the value at `position` of the key read last stands.
  void AddToLayout(std::size_t position, TextLayout::Place place) {
    layout_->values.push_back({static_cast<std::uint32_t>(layout_->key_lines.size() - 1),
                               static_cast<std::uint32_t>(position), place});
  }

  // Where the lines from the one starting at byte `begin` of the text to the
  // one Next gave last stand.
  TextLayout::Place PlaceFrom(std::size_t begin) const {
    const std::size_t bom = text_.size() - WithoutByteOrderMark(text_).size();
    return {begin, std::min(bom + lines_.position(), text_.size())};
  }

  [[noreturn]] static void Fail(std::size_t line_no, const std::string& reason) {
    throw HiveSyntaxError(line_no, reason);
  }

  static HiveKey& ParseKeyLine(Hive& hive, std::string_view line, std::size_t line_no) {
    if (line.size() < 2 || line.back() != ']') Fail(line_no, "a key line without its closing ']'");
    std::vector<std::string> path = SplitPath(line.substr(1, line.size() - 2));
    if (path.size() > kMaxKeyDepth) {
      Fail(line_no, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    }
    std::string_view root = CanonicalRootName(path.front());
    if (root.empty()) Fail(line_no, "unknown root key '" + path.front() + "'");
    path.front() = std::string(root);
    for (std::size_t i = 1; i < path.size(); ++i) {
      if (!IsStorableKeyName(path[i])) Fail(line_no, "an invalid key name");
    }
    return hive.CreateKey(path);
  }

  // A quoted text starting at line[pos] == '"'; leaves pos after its closing
  // quote. A text without escapes comes back as a view of `line`; one with
  // escapes is decoded into `decoded`, which the view then shows.
  static std::string_view ParseQuoted(std::string_view line, std::size_t& pos, std::size_t line_no,
                                      std::string& decoded) {
    // One scan finds the closing quote (or an escape) and whether the text
    // is plain ASCII, the common case that needs no UTF-8 check.
    const std::size_t open = pos + 1;
    std::uint64_t high = 0;
    std::size_t end = SkipPlainWords(line, open, high);
    bool breaks = false;  // a NUL, CR or LF byte
    bool non_ascii = high != 0;
    for (; end < line.size(); ++end) {
      const auto c = static_cast<unsigned char>(line[end]);
      if (c == '"' || c == '\\') break;
      breaks |= c == '\0' || c == '\r' || c == '\n';
      non_ascii |= c >= 0x80;
    }
    std::string_view text;
    if (end < line.size() && line[end] == '"') {
      text = line.substr(open, end - open);
      pos = end + 1;
    } else {
      decoded = Unescape(line, pos, line_no);
      text = decoded;
      breaks = non_ascii = true;
    }
    if ((breaks || non_ascii) && !(breaks ? IsStorableValueName(text) : utf8::IsValid(text))) {
      Fail(line_no, "a text with a line break, a NUL byte or bytes that are not UTF-8");
    }
    return text;
  }

  // The slow path of ParseQuoted, for a text with escapes (or no end).
  static std::string Unescape(std::string_view line, std::size_t& pos, std::size_t line_no) {
    std::string out;
    for (++pos;; ++pos) {
      if (pos >= line.size()) Fail(line_no, "a text without its closing quote");
      char c = line[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\') {
        if (++pos >= line.size()) Fail(line_no, "a text without its closing quote");
        c = line[pos];
        if (c != '\\' && c != '"') Fail(line_no, std::string("an unknown escape '\\") + c + "'");
      }
      out.push_back(c);
    }
  }

  static void SkipBlanks(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
  }

  // Parses one value line (and its continuation lines) into `key`; the
  // value's position in the key.
  std::size_t ParseValueLine(HiveKey& key, std::string_view line, std::size_t line_no) {
    std::size_t pos = 0;
    std::string_view name;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() == '"') {
      name = ParseQuoted(line, pos, line_no, name_buffer_);
    } else {
      Fail(line_no, "a line that is neither a key, a value nor a comment");
    }
    const std::uint64_t prepared = key.PrepareValue(name);
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') Fail(line_no, "a value name without '='");
    ++pos;
    SkipBlanks(line, pos);
    std::string_view rest = line.substr(pos);

    std::uint32_t type;
    std::string data;
    if (!rest.empty() && rest.front() == '"') {
      std::size_t end = 0;
      std::string decoded;
      const std::string_view text = ParseQuoted(rest, end, line_no, decoded);
      if (end != rest.size()) Fail(line_no, "text after the closing quote");
      data = WithNul(text);
      type = kRegSz;
    } else if (StartsWithNoCase(rest, "dword:")) {
      rest.remove_prefix(6);
      std::uint32_t v = ParseHexNumber(rest, line_no, "a dword that is not 1 to 8 hex digits");
      type = kRegDword;
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    } else if (StartsWithNoCase(rest, "hex")) {
      type = ParseHexType(rest, line_no);
      data = ParseBytes(rest, line_no);
    } else {
      Fail(line_no, "a value of unknown form");
    }
    return key.PutValue(name, prepared, type, std::move(data));
  }

  // The type of a "hex:" or "hex(N):" value; leaves `rest` after the ':'.
  static std::uint32_t ParseHexType(std::string_view& rest, std::size_t line_no) {
    rest.remove_prefix(3);
    std::uint32_t type = kRegBinary;
    if (!rest.empty() && rest.front() == '(') {
      std::size_t close = rest.find(')');
      if (close == std::string_view::npos) Fail(line_no, "a value type without its ')'");
      type = ParseHexNumber(rest.substr(1, close - 1), line_no,
                            "a value type that is not 1 to 8 hex digits");
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') Fail(line_no, "a hex value without ':'");
    rest.remove_prefix(1);
    return type;
  }

  static std::uint32_t ParseHexNumber(std::string_view digits, std::size_t line_no,
                                      const char* reason) {
    if (digits.empty() || digits.size() > 8) Fail(line_no, reason);
    std::uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) Fail(line_no, reason);
      v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
  }

  // Comma-separated hex bytes, continued on the following lines while a line
  // ends with "\".
  std::string ParseBytes(std::string_view first, std::size_t line_no) {
    std::string joined(first);
    std::string_view next;
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (!lines_.Next(next)) Fail(line_no, "a continued value at the end of the file");
      joined.append(TrimBlanks(next));
    }
    std::string data;
    std::string_view rest = TrimBlanks(joined);
    if (rest.empty()) return data;
    data.reserve(rest.size() / 3 + 1);
    for (;;) {
      std::size_t comma = rest.find(',');
      std::string_view token = TrimBlanks(rest.substr(0, comma));
      int hi = token.size() == 2 ? HexDigit(token[0]) : 0;
      int lo = token.empty() || token.size() > 2 ? -1 : HexDigit(token.back());
      if (hi < 0 || lo < 0) Fail(line_no, "a byte that is not 1 or 2 hex digits");
      data.push_back(static_cast<char>(hi * 16 + lo));
      if (comma == std::string_view::npos) return data;
      rest.remove_prefix(comma + 1);
    }
  }

  std::array<PendingValue, kPendingValues> pending_;
  std::size_t pending_first_ = 0, pending_count_ = 0;
  std::string_view text_;  // the whole text, its byte-order mark included
  std::shared_ptr<const std::string> source_;  // the same, when shared with the hive
  LineCursor lines_;
  std::string name_buffer_;  // a decoded value name with escapes
};

// The lines of `text` after its byte-order mark, as Parser numbers them.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  LineCursor cursor(text);
  std::string_view line;
  while (cursor.Next(line)) lines.push_back(line);
  return lines;
}

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

// Whether REG_SZ data can be written in the quoted form: text, one NUL at its
// end and nowhere else, no line break, valid UTF-8.
bool QuotableText(std::string_view data) {
  return !data.empty() && data.back() == '\0' &&
         IsStorableValueName(data.substr(0, data.size() - 1));
}

void AppendValue(std::string& out, const HiveValue& value) {
  const std::size_t line_start = out.size();
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.name);
  }
  out.push_back('=');
  const std::string_view data = value.data;
  if (value.type == kRegSz && QuotableText(data)) {
    AppendQuoted(out, data.substr(0, data.size() - 1));
  } else if (value.type == kRegDword && data.size() == 4) {
    out.append("dword:");
    for (int i = 3; i >= 0; --i) {
      const auto b = static_cast<unsigned char>(data[i]);
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 15]);
    }
  } else {
    if (value.type == kRegBinary) {
      out.append("hex:");
    } else {
      char buf[8];
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value.type, 16);
      (void)ec;
      out.append("hex(").append(buf, end).append("):");
    }
    std::size_t column_start = line_start;
    for (std::size_t i = 0; i < data.size(); ++i) {
      const auto b = static_cast<unsigned char>(data[i]);
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 15]);
      if (i + 1 == data.size()) break;
      out.push_back(',');
      if (out.size() - column_start >= kWrapColumn) {
        out.append("\\\n  ");
        column_start = out.size() - 2;
      }
    }
  }
  out.push_back('\n');
}

// Appends one key's line and values. A root key line adds nothing when the
// root holds no values but has subkeys.
void AppendKeyLines(std::string& out, const HiveKey& key, std::string_view path, bool is_root) {
  if (is_root && key.value_count() == 0 && !key.subkeys().empty()) return;
  out.push_back('[');
  out.append(path);
  out.append("]\n");
  for (std::size_t i = 0; i < key.value_count(); ++i) AppendValue(out, key.value(i));
  out.push_back('\n');
}

// Appends `root` and every key below it, depth first in order, without
// recursion; false as soon as the text passes `limit`.
bool AppendTree(std::string& out, const HiveKey& root, std::size_t limit) {
  struct Level {
    const HiveKey* key;
    std::size_t next_child;
    std::size_t path_length;  // of `path` up to and including this key
  };
  std::string path = root.name();
  AppendKeyLines(out, root, path, true);
  std::vector<Level> stack = {{&root, 0, path.size()}};
  while (!stack.empty() && out.size() <= limit) {
    Level& level = stack.back();
    if (level.next_child == level.key->subkeys().size()) {
      stack.pop_back();
      continue;
    }
    const HiveKey& sub = *level.key->subkeys()[level.next_child++];
    path.resize(level.path_length);
    path.push_back('\\');
    path.append(sub.name());
    AppendKeyLines(out, sub, path, false);
    stack.push_back({&sub, 0, path.size()});
  }
  return out.size() <= limit;
}

}  // namespace

Hive ParseHive(std::string_view text) {
  return Parser(std::make_shared<const std::string>(text)).Parse();
}

std::optional<std::string> SerializeHive(const Hive& hive, std::size_t limit) {
  std::string out = "REGEDIT4\n\n";
  for (const auto& root : hive.roots()) {
    if (!AppendTree(out, *root, limit)) return std::nullopt;
  }
  if (out.size() > limit) return std::nullopt;
  return out;
}

std::string SerializeHive(const Hive& hive) {
  return *SerializeHive(hive, std::string().max_size());
}

namespace {

// Every key of `hive` with its path (root name first), in the order the
// text form lists them: depth first, each key before its subkeys.
std::vector<std::pair<const HiveKey*, std::vector<std::string>>> KeyPaths(const Hive& hive) {
  std::vector<std::pair<const HiveKey*, std::vector<std::string>>> keys;
  std::vector<std::pair<const HiveKey*, std::vector<std::string>>> pending;
  for (auto it = hive.roots().rbegin(); it != hive.roots().rend(); ++it) {
    pending.push_back({it->get(), {(*it)->name()}});
  }
  while (!pending.empty()) {
    auto [key, path] = std::move(pending.back());
    pending.pop_back();
    for (auto it = key->subkeys().rbegin(); it != key->subkeys().rend(); ++it) {
      std::vector<std::string> sub = path;
      sub.push_back((*it)->name());
      pending.push_back({it->get(), std::move(sub)});
    }
    keys.emplace_back(key, std::move(path));
  }
  return keys;
}

std::string JoinPath(const std::vector<std::string>& path) {
  std::string text;
  for (const std::string& name : path) {
    if (!text.empty()) text.push_back('\\');
    text.append(name);
  }
  return text;
}

// One value's lines in the text form, each ending in `eol`.
std::string ValueLines(const HiveValue& value, std::string_view eol) {
  std::string out;
  AppendValue(out, value);
  std::string lines;
  for (char c : out) {
    if (c == '\n') {
      lines.append(eol);
    } else {
      lines.push_back(c);
    }
  }
  return lines;
}

constexpr std::size_t kNoValue = static_cast<std::size_t>(-1);

// The position of the value named `name` in `key`, looked for first at
// `position` (where it stands when no value before it was removed), then by
// name; kNoValue when there is none.
std::size_t PositionNear(const HiveKey& key, std::size_t position, std::string_view name) {
  if (position < key.value_count() && SameText(key.value_name(position), name)) return position;
  return key.ValuePosition(name).value_or(kNoValue);
}

// What becomes of the lines of the old text: each is kept or dropped; a few
// get a replacement (for a changed value) or lines added after them.
class LinePlan {
 public:
  // The replacement of a line and the lines added after it.
  using Edit = std::pair<std::string, std::string>;

  explicit LinePlan(std::size_t lines) : keep_(lines, true), edit_(lines, 0) {}

  bool keep(std::size_t line) const { return keep_[line]; }
  void Drop(std::size_t line) { keep_[line] = false; }
  std::string& replacement(std::size_t line) { return EditOf(line).first; }
  std::string& after(std::size_t line) { return EditOf(line).second; }
  // The edit of `line`; nullptr when it has none.
  const Edit* edit(std::size_t line) const {
    return edit_[line] == 0 ? nullptr : &edits_[edit_[line] - 1];
  }

 private:
  Edit& EditOf(std::size_t line) {
    if (edit_[line] == 0) {
      edits_.emplace_back();
      edit_[line] = static_cast<std::uint32_t>(edits_.size());
    }
    return edits_[edit_[line] - 1];
  }

  std::vector<bool> keep_;
  std::vector<std::uint32_t> edit_;  // 1 + index into edits_, 0 for none
  std::deque<Edit> edits_;           // a deque: references stay valid as it grows
};

// The line (from 0, as SplitLines numbers them) of each place of a text.
class LineNumbers {
 public:
  LineNumbers(std::string_view text, const std::vector<std::string_view>& lines) {
    starts_.reserve(lines.size());
    for (std::string_view line : lines) {
      starts_.push_back(static_cast<std::size_t>(line.data() - text.data()));
    }
  }
  std::size_t first(const TextLayout::Place& place) const { return LineAt(place.begin); }
  std::size_t last(const TextLayout::Place& place) const { return LineAt(place.end - 1); }

 private:
  std::size_t LineAt(std::size_t offset) const {
    return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                    starts_.begin()) - 1;
  }
  std::vector<std::size_t> starts_;  // byte offset of each line in the whole text
};

// Plans the changed and the removed values and keys of the old text.
void PlanChangedValues(const Hive& old_hive, const Hive& changed, const TextLayout& layout,
                       const LineNumbers& lines, LinePlan& plan, std::string_view eol) {
  std::unordered_map<const HiveKey*, const HiveKey*> now_key;  // old key -> changed, or nullptr
  for (auto& [key, path] : KeyPaths(old_hive)) now_key[key] = changed.FindKey(path);
  const HiveKey* old_key = nullptr;
  const HiveKey* key = nullptr;
  for (const auto& value : layout.values) {
    if (layout.key_of(value) != old_key) key = now_key.at(old_key = layout.key_of(value));
    const std::size_t now =
        key != nullptr ? PositionNear(*key, value.position, old_key->value_name(value.position))
                       : kNoValue;
    if (now != kNoValue && key->SameValue(now, *old_key, value.position)) continue;
    const std::size_t first = lines.first(value.place);
    for (std::size_t i = first; i <= lines.last(value.place); ++i) plan.Drop(i);
    if (now != kNoValue) plan.replacement(first) = ValueLines(key->value(now), eol);
  }
  for (const auto& [old, place] : layout.key_lines) {
    if (now_key.at(old) == nullptr) plan.Drop(lines.first(place));
  }
}

// Adds to `plan` the values of `changed` that the old text lacks, after the
// last line of their key, and the keys it lacks at the end.
void PlanNewValues(const Hive& old_hive, const Hive& changed, const TextLayout& layout,
                   const LineNumbers& lines, LinePlan& plan, std::string& tail,
                   std::string_view eol) {
  std::unordered_map<const HiveKey*, std::size_t> last_line;
  for (const auto& [key, place] : layout.key_lines) {
    last_line[key] = std::max(last_line[key], lines.last(place));
  }
  for (const auto& value : layout.values) {
    const HiveKey* key = layout.key_of(value);
    last_line[key] = std::max(last_line[key], lines.last(value.place));
  }
  for (const auto& [key, path] : KeyPaths(changed)) {
    const HiveKey* old_key = old_hive.FindKey(path);
    auto where = old_key != nullptr ? last_line.find(old_key) : last_line.end();
    std::string added;
    for (std::size_t i = 0; i < key->value_count(); ++i) {
      if (old_key == nullptr || PositionNear(*old_key, i, key->value_name(i)) == kNoValue) {
        added += ValueLines(key->value(i), eol);
      }
    }
    if (where != last_line.end()) {
      plan.after(where->second) += added;
    } else if (old_key == nullptr || !added.empty()) {
      tail.push_back('[');
      tail.append(JoinPath(path));
      tail.push_back(']');
      tail.append(eol);
      tail.append(added);
      tail.append(eol);
    }
  }
}

// The old text's `lines` as `plan` has them, then `tail`; nothing when that
// passes `limit`. A last line without its line end gets one only when
// something follows it.
std::optional<std::string> WritePlanned(std::string_view original, std::string_view bom,
                                        const std::vector<std::string_view>& lines,
                                        const LinePlan& plan, const std::string& tail,
                                        std::string_view eol, std::size_t limit) {
  const bool ends_with_newline = original.ends_with('\n');
  std::string out(bom);
  out.reserve(original.size() + tail.size() + 64);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size();
    const auto* edit = plan.edit(i);
    const bool nothing_after = edit == nullptr || edit->second.empty();
    if (plan.keep(i)) {
      out.append(lines[i]);
      if (!last || ends_with_newline) out.push_back('\n');
      if (last && !ends_with_newline && !(nothing_after && tail.empty())) out.append(eol);
    } else if (edit != nullptr) {
      out += edit->first;
    }
    if (edit != nullptr) out += edit->second;
    if (out.size() > limit) return std::nullopt;
  }
  out += tail;
  if (out.size() > limit) return std::nullopt;
  return out;
}

}  // namespace

HiveText::HiveText()
    : text_(std::make_shared<std::string>()), layout_(std::make_unique<TextLayout>()) {}
HiveText::HiveText(HiveText&&) noexcept = default;
HiveText& HiveText::operator=(HiveText&&) noexcept = default;
HiveText::~HiveText() = default;

HiveText HiveText::Parse(std::string text) {
  if (text.size() > TextLayout::kMaxText) throw HiveSyntaxError(1, "a text of 4 GiB or more");
  HiveText parsed;
  parsed.text_ = std::make_shared<std::string>(std::move(text));
  Parser parser(parsed.text_);
  parser.layout_ = parsed.layout_.get();
  parsed.hive_ = parser.Parse();
  return parsed;
}

std::optional<HiveText> HiveText::Rewrite(const Hive& changed, std::size_t limit) const {
  const std::string_view original = text();
  const std::string_view bom = original.starts_with("\xEF\xBB\xBF") ? original.substr(0, 3) : "";
  const std::vector<std::string_view> lines = SplitLines(original.substr(bom.size()));
  std::optional<std::string> out;
  if (!lines.empty()) {
    const std::string_view eol = lines[0].ends_with('\r') ? "\r\n" : "\n";
    LinePlan plan(lines.size());
    const LineNumbers numbers(original, lines);
    PlanChangedValues(hive_, changed, *layout_, numbers, plan, eol);
    std::string tail;
    PlanNewValues(hive_, changed, *layout_, numbers, plan, tail, eol);
    out = WritePlanned(original, bom, lines, plan, tail, eol, limit);
    if (!out) return std::nullopt;
    // The text must read back as exactly the changed hive; anything this
    // does not foresee is written out whole instead.
    try {
      HiveText rewritten = Parse(std::move(*out));
      if (rewritten.hive_ == changed) return rewritten;
    } catch (const HiveSyntaxError&) {
    }
  }
  out = SerializeHive(changed, limit);
  if (!out) return std::nullopt;
  return Parse(std::move(*out));
}

std::optional<std::string> RewriteHiveText(std::string_view original, const Hive& changed,
                                           std::size_t limit) {
  HiveText parsed;
  try {
    parsed = HiveText::Parse(std::string(original));
  } catch (const HiveSyntaxError&) {
    return SerializeHive(changed, limit);
  }
  std::optional<HiveText> rewritten = parsed.Rewrite(changed, limit);
  if (!rewritten) return std::nullopt;
  return rewritten->text();
}

}  // namespace tessaline

namespace tessaline {

namespace {

// One edit of a text in place: bytes [begin, end) replaced by `text` (an
// insertion when begin == end), as HiveText::EditInPlace plans them.
struct TextEdit {
  std::size_t begin, end;
  std::string text;
  std::size_t layout_index;                 // the replaced value's place, or kNoIndex
  std::size_t key_line = 0;                 // for an insertion: a line of its values' key,
  std::vector<std::size_t> positions = {};  // their positions,
  std::vector<std::size_t> sizes = {};      // and the size of each one's lines
};

constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);

// Whether `lines` read back as exactly `value`'s type and data.
bool LinesHold(std::string_view lines, const HiveValue& value) {
  HiveValue read;
  return Parser::ReadValueLines(lines, read) && read.type == value.type && read.data == value.data;
}

// Adds to `edits` what the values `key` notes as set need in `text`, as the
// line-by-line rewrite decides it: every listing of a changed value replaced
// (a value is unchanged when its last listing already reads as it), new
// values after the key's last line. False when that cannot be done value by
// value (a key without a line of its own, a line that would not read back as
// its value, a value the layout has no line for).
bool PlanKeyEdits(const HiveKey& key, const TextLayout& layout, std::string_view text,
                  std::string_view eol, std::vector<TextEdit>& edits) {
  // The positions set, in order, each once; those from values_before_changes()
  // on are new values, which have no line yet.
  std::vector<std::uint32_t> set = key.changed_values();
  std::sort(set.begin(), set.end());
  set.erase(std::unique(set.begin(), set.end()), set.end());
  if (set.empty()) return true;
  if (set.back() >= key.value_count()) return false;
  const auto first_new = std::lower_bound(set.begin(), set.end(), key.values_before_changes());

  const TextLayout::Place* last = nullptr;  // the key's last line
  const auto note_last = [&last](const TextLayout::Place& place) {
    if (last == nullptr || place.end > last->end) last = &place;
  };
  std::size_t key_line = kNoIndex;  // one of the key's lines
  for (std::size_t i = 0; i < layout.key_lines.size(); ++i) {
    if (layout.key_lines[i].key != &key) continue;
    note_last(layout.key_lines[i].place);
    key_line = i;
  }
  if (first_new == set.begin()) {
    // Only new values: the key's entries stand in the layout in the order of
    // their lines, so its last one, found from the end, ends last.
    for (std::size_t i = layout.values.size(); i-- > 0;) {
      if (layout.key_of(layout.values[i]) != &key) continue;
      note_last(layout.values[i].place);
      break;
    }
  } else {
    // Every listing of each value set, by position and then in text order.
    std::vector<std::pair<std::uint32_t, std::size_t>> listings;  // position, layout index
    for (std::size_t i = 0; i < layout.values.size(); ++i) {
      const TextLayout::Value& entry = layout.values[i];
      if (layout.key_of(entry) != &key) continue;
      note_last(entry.place);
      if (std::binary_search(set.begin(), first_new, entry.position)) {
        listings.emplace_back(entry.position, i);
      }
    }
    std::sort(listings.begin(), listings.end(), [&layout](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first
                                : layout.values[a.second].place.begin <
                                      layout.values[b.second].place.begin;
    });
    std::size_t found = 0;
    for (std::size_t from = 0, to; from < listings.size(); from = to) {
      const std::uint32_t position = listings[from].first;
      for (to = from + 1; to < listings.size() && listings[to].first == position;) ++to;
      ++found;
      const HiveValue value = key.value(position);
      const TextLayout::Place& final = layout.values[listings[to - 1].second].place;
      if (LinesHold(text.substr(final.begin, final.end - final.begin), value)) continue;
      const std::string lines = ValueLines(value, eol);
      if (!LinesHold(lines, value)) return false;
      for (std::size_t j = from; j < to; ++j) {
        const TextLayout::Place& place = layout.values[listings[j].second].place;
        edits.push_back({place.begin, place.end, lines, listings[j].second});
      }
    }
    if (found != static_cast<std::size_t>(first_new - set.begin())) return false;
  }
  TextEdit insertion{0, 0, {}, kNoIndex, key_line};
  for (auto at = first_new; at != set.end(); ++at) {
    const HiveValue value = key.value(*at);
    std::string lines = ValueLines(value, eol);
    if (!LinesHold(lines, value)) return false;
    insertion.positions.push_back(*at);
    insertion.sizes.push_back(lines.size());
    insertion.text += lines;
  }
  if (insertion.positions.empty()) return true;
  if (last == nullptr || key_line == kNoIndex) return false;
  insertion.begin = insertion.end = last->end;
  edits.push_back(std::move(insertion));
  return true;
}

// Makes `edits` (in order, apart) in `text` itself, giving it `size` bytes,
// when that can be done without another text's memory: `text` has room for
// `size` bytes, and the edits up to any point add at least as many bytes as
// they take away, so that every piece of the old text moves toward the end.
// The pieces are then moved last first, each before anything is written
// where it stood. False, with `text` as it was, otherwise.
bool ApplyEditsInOwnMemory(std::string& text, const std::vector<TextEdit>& edits,
                           std::size_t size) {
  if (text.capacity() < size) return false;
  std::ptrdiff_t added = 0;
  for (const TextEdit& edit : edits) {
    added += static_cast<std::ptrdiff_t>(edit.text.size()) -
             static_cast<std::ptrdiff_t>(edit.end - edit.begin);
    if (added < 0) return false;
  }
  std::size_t piece_end = text.size();  // the end of the piece to move, old text
  text.resize(size);
  char* bytes = text.data();
  std::size_t to = size;  // where it is to end
  for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
    const std::size_t piece = piece_end - edit->end;
    to -= piece;
    std::memmove(bytes + to, bytes + edit->end, piece);
    to -= edit->text.size();
    std::memcpy(bytes + to, edit->text.data(), edit->text.size());
    piece_end = edit->begin;
  }
  return true;
}

// `text` with `edits` (in order, apart) made, `size` bytes long, written
// into `buffer`'s memory.
std::string ApplyEdits(std::string_view text, const std::vector<TextEdit>& edits,
                       std::size_t size, std::string buffer) {
  buffer.clear();
  // Room for a few more edits, so that the next text fits in this one's
  // memory again (room never used is never touched).
  if (buffer.capacity() < size) buffer.reserve(size + size / 32 + 4096);
  std::size_t from = 0;
  for (const TextEdit& edit : edits) {
    buffer.append(text, from, edit.begin - from).append(edit.text);
    from = edit.end;
  }
  buffer.append(text, from);
  return buffer;
}

// Moves every place of `layout` to where it stands in the text `edits` made,
// and adds the places of the values they inserted. A place that ended at
// `completed_end` (the old text's end) gains the line end `eol` put after it.
void MovePlaces(TextLayout& layout, const std::vector<TextEdit>& edits,
                std::size_t completed_end, std::string_view eol) {
  // What the edits before each one added; a place moves by what the edits
  // that end at or before its start added.
  std::vector<std::ptrdiff_t> added_before(edits.size() + 1, 0);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const TextEdit& edit = edits[i];
    added_before[i + 1] = added_before[i] + static_cast<std::ptrdiff_t>(edit.text.size()) -
                          static_cast<std::ptrdiff_t>(edit.end - edit.begin);
  }
  const auto move = [&](TextLayout::Place& place) {
    if (place.end == completed_end) place.end += eol.size();
    if (place.begin < edits.front().end) return;  // before every edit: most places
    const auto k = static_cast<std::size_t>(
        std::upper_bound(edits.begin(), edits.end(), place.begin,
                         [](std::size_t at, const TextEdit& edit) { return at < edit.end; }) -
        edits.begin());
    place.begin += added_before[k];
    place.end += added_before[k];
  };
  for (auto& key_line : layout.key_lines) move(key_line.place);
  for (auto& value : layout.values) move(value.place);
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const TextEdit& edit = edits[i];
    std::size_t begin = edit.begin + added_before[i];
    if (edit.layout_index != kNoIndex) {  // a replaced value: its new lines
      layout.values[edit.layout_index].place = {begin, begin + edit.text.size()};
      continue;
    }
    // Past a line end put before the inserted lines.
    begin += edit.text.size() - std::accumulate(edit.sizes.begin(), edit.sizes.end(), std::size_t{0});
    for (std::size_t j = 0; j < edit.positions.size(); ++j) {
      layout.values.push_back({static_cast<std::uint32_t>(edit.key_line),
                               static_cast<std::uint32_t>(edit.positions[j]),
                               {begin, begin + edit.sizes[j]}});
      begin += edit.sizes[j];
    }
  }
}

}  // namespace

bool HiveText::Commit(std::size_t limit) {
  if (std::optional<bool> edited = EditInPlace(limit)) {
    if (*edited) hive_.ForgetChanges();
    return *edited;
  }
  // Line by line against the old text's own hive and layout.
  std::optional<HiveText> rewritten = Parse(text()).Rewrite(hive_, limit);
  if (!rewritten) return false;
  *this = std::move(*rewritten);
  return true;
}

bool HiveText::MayChangeTextFrom(std::size_t offset) {
  long sharing_keys = 0;
  hive_.ForEachKey(
      [&](HiveKey& key) { sharing_keys += key.ReleaseBytesFrom(*text_, offset) ? 1 : 0; });
  // Each key that keeps values in the text holds it once, and so does this
  // object; any other holder is a copy of the hive.
  return text_.use_count() == sharing_keys + 1;
}

std::optional<bool> HiveText::EditInPlace(std::size_t limit) {
  bool reshaped;
  const std::vector<HiveKey*> keys = hive_.ChangedKeys(reshaped);
  if (reshaped) return std::nullopt;
  const std::string_view text = this->text();
  const std::size_t bom = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  if (text.size() == bom) return keys.empty() ? std::optional<bool>(true) : std::nullopt;
  const std::string_view first_line = text.substr(bom, text.find('\n', bom) - bom);
  const std::string_view eol = first_line.ends_with('\r') ? "\r\n" : "\n";
  std::vector<TextEdit> edits;
  for (const HiveKey* key : keys) {
    if (!PlanKeyEdits(*key, *layout_, text, eol, edits)) return std::nullopt;
  }
  if (edits.empty()) return true;  // every value set already stands as it is
  std::sort(edits.begin(), edits.end(), [](const TextEdit& a, const TextEdit& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
  });
  // A last line without its line end gets one when lines are added after it
  // (a replaced last line has its own).
  std::size_t completed_end = kNoIndex;
  const std::size_t n = edits.size();
  if (edits[n - 1].begin == text.size() && !text.ends_with('\n') &&
      !(n > 1 && edits[n - 2].end == text.size())) {
    edits[n - 1].text.insert(0, eol);
    completed_end = text.size();
  }
  std::size_t size = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && edits[i].begin < edits[i - 1].end) return std::nullopt;
    size += edits[i].text.size() - (edits[i].end - edits[i].begin);
  }
  if (size > limit) return false;
  if (!MayChangeTextFrom(edits.front().begin)) {
    // A copy of the hive keeps values in this text: it stays as it is.
    text_ = std::make_shared<std::string>(ApplyEdits(text, edits, size, std::move(spare_)));
  } else if (!ApplyEditsInOwnMemory(*text_, edits, size)) {
    // The bytes before the first edit, where kept values stand, are the
    // same in the new text.
    std::string out = ApplyEdits(text, edits, size, std::move(spare_));
    spare_ = std::move(*text_);
    *text_ = std::move(out);
  }
  MovePlaces(*layout_, edits, completed_end, eol);
  return true;
}

}  // namespace tessaline
