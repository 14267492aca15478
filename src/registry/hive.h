// The in-memory registry hive and its text form.
//
// A hive is a tree of keys; each key holds named values, each value a type and
// its raw data bytes. The top-level keys are the root keys by their canonical
// names (HKEY_LOCAL_MACHINE, ...). Key and value names compare ignoring case
// (SameText); a name keeps the spelling it was first given. Keys and values
// keep the order in which they were added.
//
// The text form is the registry-export syntax of "REGEDIT4" files, in UTF-8:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Wenlora\Pack]
//   "Pack1"="/games/Tessaline.wpk"
//   @=dword:0000002a
//
// ParseHive accepts exactly what SerializeHive writes plus the usual
// liberties of hand-edited files (comments, CR LF, continuation lines, blanks).
//
// A hive read from a text keeps its plain text values as bytes of that text
// (shared, never changed) and decodes them only when asked for, so that
// reading a large hive costs little more than checking it.
//
// Thread use: a Hive is a plain value; no internal locking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/name_index.h"
#include "registry/registry_exception.h"

namespace tessaline {

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

struct HiveValue {
  std::string name;  // empty: the key's default value ("@")
  std::uint32_t type = kRegNone;
  std::string data;  // raw bytes; REG_SZ data includes its terminating NUL

  bool operator==(const HiveValue&) const = default;
};

// Whether `name` can be stored as a value name: valid UTF-8 without NUL, CR
// or LF. The empty name (the default value) is storable.
bool IsStorableValueName(std::string_view name);

// Whether `name` can be stored as a key name: a non-empty storable value name
// without "\".
bool IsStorableKeyName(std::string_view name);

// The most names a key path may have, its root key included, as in the
// registry the hive imitates. Deeper keys are refused when made or read.
inline constexpr std::size_t kMaxKeyDepth = 512;

class HiveKey {
 public:
  explicit HiveKey(std::string name) : name_(std::move(name)) {}
  HiveKey(const HiveKey&) = delete;
  HiveKey& operator=(const HiveKey&) = delete;
  // Frees the subkeys level by level, without recursion.
  ~HiveKey();

  const std::string& name() const { return name_; }

  // The subkey named `name` (ignoring case), or nullptr.
  HiveKey* FindSubKey(std::string_view name);
  const HiveKey* FindSubKey(std::string_view name) const;
  // The subkey named `name`, added (with that spelling) when missing. The
  // caller ensures IsStorableKeyName(name).
  HiveKey& AddSubKey(std::string_view name, bool* created = nullptr);

  // The value named `name` (ignoring case), or nothing; its position.
  std::optional<HiveValue> FindValue(std::string_view name) const;
  std::optional<std::size_t> ValuePosition(std::string_view name) const;
  // Sets the value `name`, keeping the spelling and position of an existing
  // one; its position among the values. The caller ensures
  // IsStorableValueName(name).
  std::size_t SetValue(std::string_view name, std::uint32_t type, std::string data);
  // Sets the value as SetValue does, without noting it as a change (see
  // changed_values): for values that come from the text itself.
  std::size_t PutValue(std::string_view name, std::uint32_t type, std::string data) {
    return PutValue(name, PrepareValue(name), type, std::move(data));
  }
  // For a reader adding values one after another: PrepareValue(name) starts
  // looking for `name`, so that a PutValue given its result, after other
  // work, finds the place at hand.
  std::uint64_t PrepareValue(std::string_view name) const;
  std::size_t PutValue(std::string_view name, std::uint64_t prepared, std::uint32_t type,
                       std::string data);
  // Puts, as PutValue does, the REG_SZ value whose name and text (without
  // its NUL) are the bytes `name` and `text` of `source`, which the key then
  // shares: the value is kept as those bytes and decoded only when asked for.
  // `source` must never change; `prepared` is PrepareValue(name).
  std::size_t PutTextOf(const std::shared_ptr<const std::string>& source, std::string_view name,
                        std::uint64_t prepared, std::string_view text);
  // Makes room for `extra` more values (a hint: fewer or more may follow).
  void ReserveValues(std::size_t extra);
  // Removes the value `name` (ignoring case), keeping the others in order.
  // False when there is none.
  bool RemoveValue(std::string_view name);

  // The values in order: how many, and each one's name and whole value.
  std::size_t value_count() const { return slots_.size(); }
  std::string_view value_name(std::size_t position) const;
  HiveValue value(std::size_t position) const;
  // Whether the value at `position` equals `other`'s at `other_position`
  // (name spelt the same, type and data), without decoding either.
  bool SameValue(std::size_t position, const HiveKey& other, std::size_t other_position) const;

  const std::vector<std::unique_ptr<HiveKey>>& subkeys() const { return subkeys_; }

  // What changed since the key was read or its changes were last forgotten,
  // so that a text can be rewritten value by value: the positions SetValue
  // set (in any order, possibly repeated), and whether the key was reshaped
  // (a value removed, a subkey added). Copies start with no changes.
  const std::vector<std::uint32_t>& changed_values() const { return changed_values_; }
  bool reshaped() const { return reshaped_; }
  // How many values the key had when its changes were last forgotten (or it
  // was read or copied): a value set at a position from there on is new.
  std::size_t values_before_changes() const { return values_before_changes_; }
  void ForgetChanges() {
    changed_values_.clear();
    reshaped_ = false;
    values_before_changes_ = slots_.size();
  }

  // For a text about to change from byte `offset` on: when this key keeps
  // values as bytes of `source`, decodes those that stand at `offset` or
  // later, so that none of its kept values is changed, and tells that it
  // shares `source`.
  bool ReleaseBytesFrom(const std::string& source, std::size_t offset);

  // Exact equality: names spelt the same, values and subkeys in the same order.
  bool SameAs(const HiveKey& other) const;

  // A deep copy.
  std::unique_ptr<HiveKey> Clone() const;

 private:
  // The names at each position, for the indexes.
  auto SubKeyNames() const {
    return [this](std::size_t i) -> std::string_view { return subkeys_[i]->name_; };
  }
  auto ValueNames() const {
    return [this](std::size_t i) -> std::string_view { return value_name(i); };
  }

  // Where a value is kept: as the bytes of its name and text in source_ (a
  // REG_SZ value read from a text, not changed since), or in decoded_.
  struct Slot {
    static constexpr std::uint32_t kDecoded = 0xFFFFFFFF;
    std::uint32_t name_at;    // in source_; for a decoded value, its index in decoded_
    std::uint32_t name_size;  // kDecoded for a decoded value
    std::uint32_t text_at;    // in source_, the text without its NUL
    std::uint32_t text_size;
    bool decoded() const { return name_size == kDecoded; }
  };
  // The type and data bytes of the value in `slot`; `nul` tells whether a
  // NUL follows the bytes (a text kept in source_, which lacks it).
  struct DataView {
    std::uint32_t type;
    std::string_view bytes;
    bool nul;
  };
  DataView DataOf(const Slot& slot) const;
  // Makes the value at `position` a decoded one, with its name as it is.
  HiveValue& Decode(std::size_t position);

  std::string name_;
  std::vector<std::unique_ptr<HiveKey>> subkeys_;
  std::vector<Slot> slots_;
  std::vector<HiveValue> decoded_;
  // The text the kept bytes are in, shared with the reader and every copy;
  // it never changes.
  std::shared_ptr<const std::string> source_;
  // Name -> position, so that lookups stay cheap in large keys.
  NameIndex subkey_index_;
  NameIndex value_index_;
  std::vector<std::uint32_t> changed_values_;
  bool reshaped_ = false;
  std::size_t values_before_changes_ = 0;
  // One past the largest text_at of a value kept as bytes of source_ (0 when
  // none ever was): no kept value's text stands at or after it.
  std::size_t kept_texts_end_ = 0;
};

// The canonical name of a root key for any spelling of it ("hkey_local_machine"
// -> "HKEY_LOCAL_MACHINE"), or empty when `name` names no root key.
std::string_view CanonicalRootName(std::string_view name);

class Hive {
 public:
  Hive() : top_(std::make_unique<HiveKey>(std::string())) {}
  Hive(const Hive& other) : top_(other.top_->Clone()) {}
  Hive& operator=(const Hive& other) {
    if (this != &other) top_ = other.top_->Clone();
    return *this;
  }
  Hive(Hive&&) = default;
  Hive& operator=(Hive&&) = default;

  // The key at `path`, a sequence of names whose first is a root key name
  // ("HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora"); nullptr when missing.
  HiveKey* FindKey(const std::vector<std::string>& path);
  const HiveKey* FindKey(const std::vector<std::string>& path) const;
  // Same with a "\"-separated path ("HKEY_LOCAL_MACHINE\SOFTWARE").
  const HiveKey* FindKey(std::string_view path) const;

  // The key at `path`, created with every missing key on the way. Raises
  // ERegistryException when the first name is no root key or a name cannot
  // be stored. `created` tells whether any key was added.
  HiveKey& CreateKey(const std::vector<std::string>& path, bool* created = nullptr);

  // The root keys present, in order of appearance.
  const std::vector<std::unique_ptr<HiveKey>>& roots() const { return top_->subkeys(); }

  bool operator==(const Hive& other) const { return top_->SameAs(*other.top_); }

  // The keys with values set (see HiveKey::changed_values), and whether any
  // key was reshaped (a value removed, a key added); ForgetChanges forgets
  // them all.
  std::vector<HiveKey*> ChangedKeys(bool& reshaped);
  bool HasChanges();
  void ForgetChanges();

  // Calls visit(HiveKey&) for every key (the unnamed one above the root keys
  // included), without recursion.
  template <class Visit>
  void ForEachKey(Visit visit) {
    std::vector<HiveKey*> pending = {top_.get()};
    while (!pending.empty()) {
      HiveKey* key = pending.back();
      pending.pop_back();
      visit(*key);
      for (const auto& sub : key->subkeys()) pending.push_back(sub.get());
    }
  }

 private:
  std::unique_ptr<HiveKey> top_;  // unnamed; its subkeys are the root keys
};

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

// The text form of `hive`; ParseHive of it gives a hive equal to `hive`, with
// every value's bytes unchanged.
std::string SerializeHive(const Hive& hive);

// The same, or nothing when the text would be longer than `limit` bytes
// (checked while writing, so a hive that would grow past any size never
// takes the memory for it).
std::optional<std::string> SerializeHive(const Hive& hive, std::size_t limit);

// The text `original` changed into `changed` as a person who edits it would
// want: comments, blank lines, order, line ends and the spelling of every
// line whose value did not change stay as they are; changed values are
// rewritten in place, new ones follow their key's last line, new keys go at
// the end. Falls back to SerializeHive when `original` does not parse (or in
// any case where the result would not read back as `changed`). Nothing when
// the text would pass `limit`.
std::optional<std::string> RewriteHiveText(std::string_view original, const Hive& changed,
                                           std::size_t limit);

struct TextLayout;  // where each key line and value stands in a text (hive.cpp)

// A hive text kept with the hive parsed from it and where each key and value
// stands in it, so that a changed hive is written back (Rewrite) without
// parsing the old text again. Move-only: the layout refers to the hive's
// keys, which stay where they are when the object moves.
class HiveText {
 public:
  HiveText();  // the empty text: an empty hive
  HiveText(HiveText&&) noexcept;
  HiveText& operator=(HiveText&&) noexcept;
  ~HiveText();

  // Parses `text`. Raises HiveSyntaxError as ParseHive does, and for a text
  // of 4 GiB or more (whose places the layout does not keep).
  static HiveText Parse(std::string text);

  const std::string& text() const { return *text_; }
  const Hive& hive() const { return hive_; }

  // The text RewriteHiveText(text(), changed, limit) gives, with its hive
  // (equal to `changed`) and layout; nothing when it would pass `limit`.
  std::optional<HiveText> Rewrite(const Hive& changed, std::size_t limit) const;

  // The hive to change in place; Commit then writes the changes into the
  // text, so that a change costs in proportion to what changed rather than
  // to the size of the hive.
  Hive& mutable_hive() { return hive_; }

  // Makes the text hold the hive as changed through mutable_hive(), as
  // Rewrite would: lines of unchanged values stay as they are, a changed
  // value's lines are replaced, new values follow their key's last line.
  // Changes it cannot follow value by value (removals, new keys) go through
  // Rewrite. False when the text would pass `limit`; the text then no longer
  // matches the hive, and the object must be dropped.
  bool Commit(std::size_t limit);

 private:
  // Commit without Rewrite: true when done, false when the text would pass
  // `limit`, nothing when the changes cannot be followed value by value.
  std::optional<bool> EditInPlace(std::size_t limit);

  // Making sure nobody else's values are kept in text_ from byte `offset`
  // on: decodes this hive's values that are, and tells whether text_ is
  // shared with no other hive (a copy of this one), so that it may change.
  bool MayChangeTextFrom(std::size_t offset);

  // The text, which the hive's values may be kept in (see HiveKey); never
  // null. Changed only where no kept value stands.
  std::shared_ptr<std::string> text_;
  // The text before the last Commit that could not be edited in its own
  // memory, kept for that memory: the next such Commit writes into it
  // instead of taking (and first touching) as much again.
  std::string spare_;
  Hive hive_;
  std::unique_ptr<TextLayout> layout_;
};

}  // namespace tessaline
