#include "registry/hive_write.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <vector>

#include "registry/hive_parse.h"

namespace tessaline {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Lines of binary data are wrapped before they grow longer than this.
constexpr std::size_t kWrapColumn = 76;

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendHexByte(std::string& out, char byte) {
  const auto b = static_cast<unsigned char>(byte);
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 15]);
}

// Whether REG_SZ data can be written in the quoted form: text, one NUL at its
// end and nowhere else, no line break, valid UTF-8.
bool QuotableText(std::string_view data) {
  return !data.empty() && data.back() == '\0' &&
         IsStorableValueName(data.substr(0, data.size() - 1));
}

// Appends the value's line (and its continuation lines), each ending in `eol`.
void AppendValue(std::string& out, const HiveValue& value, std::string_view eol) {
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
    for (int i = 3; i >= 0; --i) AppendHexByte(out, data[i]);
  } else {
    if (value.type == kRegBinary) {
      out.append("hex:");
    } else {
      char type[8];
      char* end = std::to_chars(type, type + sizeof type, value.type, 16).ptr;
      out.append("hex(").append(type, end).append("):");
    }
    std::size_t column_start = line_start;
    for (std::size_t i = 0; i < data.size(); ++i) {
      AppendHexByte(out, data[i]);
      if (i + 1 == data.size()) break;
      out.push_back(',');
      if (out.size() - column_start >= kWrapColumn) {
        out.append("\\").append(eol).append("  ");
        column_start = out.size() - 2;
      }
    }
  }
  out.append(eol);
}

// Calls visit(key, path) for `root` and every key below it, depth first in
// order, without recursion; `path` is the key's "\\"-joined path. Stops,
// returning false, as soon as a visit returns false.
template <class Visit>
bool VisitTree(const HiveKey& root, Visit visit) {
  struct Level {
    const HiveKey* key;
    std::size_t next_child;
    std::size_t path_length;  // of `path` up to and including this key
  };
  std::string path = root.name();
  if (!visit(root, path)) return false;
  std::vector<Level> stack = {{&root, 0, path.size()}};
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.next_child == level.key->subkeys().size()) {
      stack.pop_back();
      continue;
    }
    const HiveKey& sub = *level.key->subkeys()[level.next_child++];
    path.resize(level.path_length);
    path.push_back('\\');
    path.append(sub.name());
    if (!visit(sub, std::string_view(path))) return false;
    stack.push_back({&sub, 0, path.size()});
  }
  return true;
}

// Each key of `from` -> the key at its path in `to`, or nullptr: the two
// trees walked side by side, so that deep keys cost no more than others.
std::unordered_map<const HiveKey*, const HiveKey*> MatchKeys(const Hive& from, const Hive& to) {
  std::unordered_map<const HiveKey*, const HiveKey*> match;
  std::vector<std::pair<const HiveKey*, const HiveKey*>> pending;
  for (const auto& root : from.roots()) {
    pending.emplace_back(root.get(), to.FindKey({root->name()}));
  }
  while (!pending.empty()) {
    const auto [key, other] = pending.back();
    pending.pop_back();
    match[key] = other;
    for (const auto& sub : key->subkeys()) {
      pending.emplace_back(sub.get(), other != nullptr ? other->FindSubKey(sub->name()) : nullptr);
    }
  }
  return match;
}

// What becomes of the lines of the old text: each is kept or dropped; a few
// get a replacement (for a changed value) or lines added after them; new
// keys go at the end.
struct LinePlan {
  struct Edit {
    std::string replacement, after;
  };
  explicit LinePlan(std::size_t lines) : keep(lines, true) {}

  std::vector<bool> keep;
  std::unordered_map<std::size_t, Edit> edits;
  std::string tail;
};

// Drops the lines of the old text's values that changed or went (a changed
// one gets its new lines in their place) and the lines of keys that went.
void PlanChangedValues(const Hive& old_hive, const HiveLayout& layout, const Hive& changed,
                       std::string_view eol, LinePlan& plan) {
  const auto now_of = MatchKeys(old_hive, changed);
  for (const HiveLayout::ValueLines& lines : layout.values) {
    const HiveKey* now_key = now_of.at(lines.key);
    const HiveValue& before = lines.key->value(lines.position);
    const HiveValue* now = now_key != nullptr ? now_key->FindValue(before.name) : nullptr;
    if (now != nullptr && *now == before) continue;
    for (std::size_t i = lines.first; i <= lines.last; ++i) plan.keep[i] = false;
    if (now != nullptr) AppendValue(plan.edits[lines.first].replacement, *now, eol);
  }
  for (const HiveLayout::KeyLine& line : layout.keys) {
    if (now_of.at(line.key) == nullptr) plan.keep[line.line] = false;
  }
}

// Plans the values of `changed` that the old text lacks after the last line
// of their key, and the keys it lacks (or that have no line of their own)
// at the end.
void PlanNewValues(const Hive& old_hive, const HiveLayout& layout, const Hive& changed,
                   std::string_view eol, LinePlan& plan) {
  std::unordered_map<const HiveKey*, std::size_t> last_line;  // old key -> its last line
  for (const HiveLayout::KeyLine& line : layout.keys) {
    last_line[line.key] = std::max(last_line[line.key], line.line);
  }
  for (const HiveLayout::ValueLines& lines : layout.values) {
    last_line[lines.key] = std::max(last_line[lines.key], lines.last);
  }
  const auto old_of = MatchKeys(changed, old_hive);
  const auto plan_key = [&](const HiveKey& key, std::string_view path) {
    const HiveKey* old = old_of.at(&key);
    std::string added;
    for (std::size_t i = 0; i < key.value_count(); ++i) {
      if (old == nullptr || !old->ValuePosition(key.value_name(i))) {
        AppendValue(added, key.value(i), eol);
      }
    }
    const auto where = old != nullptr ? last_line.find(old) : last_line.end();
    if (where != last_line.end()) {
      if (!added.empty()) plan.edits[where->second].after += added;
    } else if (old == nullptr || !added.empty()) {
      plan.tail.append("[").append(path).append("]").append(eol).append(added).append(eol);
    }
    return true;
  };
  for (const auto& root : changed.roots()) VisitTree(*root, plan_key);
}

// The old text's lines as `plan` has them, then its tail; nothing when that
// passes `limit`. A last line without its line end gets one only when
// something follows it.
std::optional<std::string> WritePlanned(std::string_view original, const HiveLayout& layout,
                                        const LinePlan& plan, std::string_view eol,
                                        std::size_t limit) {
  const bool ends_with_newline = original.ends_with('\n');
  std::string out(original.starts_with(kByteOrderMark) ? kByteOrderMark : "");
  out.reserve(original.size() + plan.tail.size());
  for (std::size_t i = 0; i < layout.lines.size(); ++i) {
    const auto edit = plan.edits.find(i);
    const LinePlan::Edit* planned = edit != plan.edits.end() ? &edit->second : nullptr;
    if (plan.keep[i]) {
      out.append(layout.lines[i]);
      if (i + 1 < layout.lines.size() || ends_with_newline) {
        out.push_back('\n');
      } else if ((planned != nullptr && !planned->after.empty()) || !plan.tail.empty()) {
        out.append(eol);
      }
    } else if (planned != nullptr) {
      out.append(planned->replacement);
    }
    if (planned != nullptr) out.append(planned->after);
    if (out.size() > limit) return std::nullopt;
  }
  out.append(plan.tail);
  if (out.size() > limit) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> SerializeHive(const Hive& hive, std::size_t limit) {
  std::string out = "REGEDIT4\n\n";
  for (const auto& root : hive.roots()) {
    // A root key that holds subkeys but no values gets no line of its own.
    const auto write_key = [&](const HiveKey& key, std::string_view path) {
      if (&key != root.get() || key.value_count() != 0 || key.subkeys().empty()) {
        out.append("[").append(path).append("]\n");
        for (std::size_t i = 0; i < key.value_count(); ++i) AppendValue(out, key.value(i), "\n");
        out.push_back('\n');
      }
      return out.size() <= limit;
    };
    if (!VisitTree(*root, write_key)) return std::nullopt;
  }
  if (out.size() > limit) return std::nullopt;
  return out;
}

std::string SerializeHive(const Hive& hive) {
  return *SerializeHive(hive, std::string().max_size());
}

std::optional<std::string> RewriteHiveText(std::string_view original, Hive before,
                                           HiveLayout layout, const Hive& changed,
                                           std::size_t limit) {
  if (layout.lines.empty()) return SerializeHive(changed, limit);
  const std::string_view eol = layout.lines[0].ends_with('\r') ? "\r\n" : "\n";
  LinePlan plan(layout.lines.size());
  PlanChangedValues(before, layout, changed, eol, plan);
  PlanNewValues(before, layout, changed, eol, plan);
  std::optional<std::string> out = WritePlanned(original, layout, plan, eol, limit);
  if (!out) return std::nullopt;
  // The old text's hive goes before the new text is read back.
  plan = LinePlan(0);
  layout = HiveLayout();
  before = Hive();
  // The text must read back as exactly the changed hive; anything this does
  // not foresee is written out whole instead.
  try {
    if (ParseHive(*out) == changed) return out;
  } catch (const HiveSyntaxError&) {
  }
  return SerializeHive(changed, limit);
}

}  // namespace tessaline
