// A case-insensitive index from names to their positions in a list kept by
// the caller (the subkeys or the values of a hive key).
//
// The index stores only positions and hashes; the names stay in the caller's
// list and are reached through a `name_at(position)` function given to each
// call, so that an index costs no copy of any name. Names match as SameText
// (text/compare.h) matches them.
//
// Thread use: a plain value; no internal locking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "text/compare.h"

namespace tessaline {

// A hash of `name` that agrees with SameText: names that are the same
// ignoring case hash alike.
std::uint64_t FoldedHash(std::string_view name);

class NameIndex {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The position of the name that matches `name`, or kNone.
  template <class NameAt>
  std::size_t Find(std::string_view name, NameAt name_at) const {
    if (slots_.empty()) return kNone;
    const std::uint32_t hash = Short(FoldedHash(name));
    for (std::size_t i = hash & mask(); slots_[i].position != 0; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (slot.hash == hash && SameText(name_at(slot.position - 1), name)) {
        return slot.position - 1;
      }
    }
    return kNone;
  }

  // The position of the name that matches `name`; when there is none,
  // `position` is entered for it (the caller then puts the name there) and
  // `inserted` set.
  template <class NameAt>
  std::size_t FindOrAdd(std::string_view name, std::size_t position, NameAt name_at,
                        bool& inserted) {
    return FindOrAdd(name, FoldedHash(name), position, name_at, inserted);
  }

  // The same, with FoldedHash(name) already known.
  template <class NameAt>
  std::size_t FindOrAdd(std::string_view name, std::uint64_t full_hash, std::size_t position,
                        NameAt name_at, bool& inserted) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    const std::uint32_t hash = Short(full_hash);
    std::size_t i = hash & mask();
    for (; slots_[i].position != 0; i = (i + 1) & mask()) {
      const Slot& slot = slots_[i];
      if (slot.hash == hash && SameText(name_at(slot.position - 1), name)) {
        inserted = false;
        return slot.position - 1;
      }
    }
    slots_[i] = Slot{hash, static_cast<std::uint32_t>(position + 1)};
    ++count_;
    inserted = true;
    return position;
  }

  // Starts loading the slot where a name of hash `full_hash` (FoldedHash) is
  // looked for first, for a caller with other work to do before it adds the
  // name: a large index is mostly out of the cache.
  void Prefetch(std::uint64_t full_hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Short(full_hash) & mask()], 1);
  }

  // Makes room for `count` names in all, so that adding up to that many
  // does not grow the table again.
  void Reserve(std::size_t count);

  // Forgets every name and enters the `count` names at positions 0 to
  // count - 1 (all different ignoring case), as after a removal.
  template <class NameAt>
  void Rebuild(std::size_t count, NameAt name_at) {
    slots_.clear();
    count_ = 0;
    bool inserted;
    for (std::size_t i = 0; i < count; ++i) FindOrAdd(name_at(i), i, name_at, inserted);
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;      // the name's hash (high half); also picks the slot
    std::uint32_t position = 0;  // position + 1; 0 marks an empty slot
  };

  static std::uint32_t Short(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }
  std::size_t mask() const { return slots_.size() - 1; }
  // Doubles the table (at least 8 slots) and re-enters every slot.
  void Grow() { Resize(slots_.empty() ? 8 : slots_.size() * 2); }
  // Makes the table `size` slots (a power of two, more than it holds) and
  // re-enters every slot.
  void Resize(std::size_t size);

  std::vector<Slot> slots_;  // a power of two in size, or empty
  std::size_t count_ = 0;
};

}  // namespace tessaline
