#include "registry/name_index.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "os/memory.h"

namespace tessaline {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

// Up to eight bytes from `at`, zero-padded: a whole word at once when there
// are eight, the tail byte by byte (a copy of unknown length costs a call).
std::uint64_t LoadWord(const char* at, std::size_t size) {
  std::uint64_t word = 0;
  if (size >= 8) {
    std::memcpy(&word, at, 8);
    return word;
  }
  for (std::size_t i = 0; i < size; ++i) {
    word |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
  }
  return word;
}

// The eight ASCII bytes of `word` with A-Z made lower case.
std::uint64_t LowerAscii(std::uint64_t word) {
  const std::uint64_t from_a = word + (0x80 - 'A') * kOnes;      // top bit: >= 'A'
  const std::uint64_t past_z = word + (0x80 - 'Z' - 1) * kOnes;  // top bit: > 'Z'
  return word | (((from_a & ~past_z) & kHighBits) >> 2);
}

// Hashes eight bytes at a time; the tail is padded with zeros and the length
// mixed in, so that texts of different lengths differ.
class WordHash {
 public:
  void Add(std::uint64_t word) {
    h_ = (h_ ^ word) * kMultiplier;
    h_ ^= h_ >> 29;
  }
  std::uint64_t Finish(std::size_t size) const {
    std::uint64_t h = (h_ ^ size) * kMultiplier;
    return h ^ (h >> 32);
  }

 private:
  std::uint64_t h_ = 0;
};

std::uint64_t HashFolded(const std::string& folded) {
  WordHash hash;
  for (std::size_t i = 0; i < folded.size(); i += 8) {
    hash.Add(LoadWord(folded.data() + i, std::min<std::size_t>(8, folded.size() - i)));
  }
  return hash.Finish(folded.size());
}

}  // namespace

std::uint64_t FoldedHash(std::string_view name) {
  // ASCII names (nearly all) are folded here eight bytes at a time; a name
  // with any other byte goes through FoldCase, whose ASCII folding is the
  // same, and is hashed the same way.
  WordHash hash;
  for (std::size_t i = 0; i < name.size(); i += 8) {
    const std::uint64_t word = LoadWord(name.data() + i, std::min<std::size_t>(8, name.size() - i));
    if ((word & kHighBits) != 0) return HashFolded(FoldCase(name));
    hash.Add(LowerAscii(word));
  }
  return hash.Finish(name.size());
}

void NameIndex::Reserve(std::size_t count) {
  std::size_t size = slots_.empty() ? 8 : slots_.size();
  while ((count + 1) * 4 > size * 3) size *= 2;
  if (size != slots_.size()) Resize(size);
}

void NameIndex::Resize(std::size_t size) {
  std::vector<Slot> old = std::move(slots_);
  slots_ = {};
  slots_.reserve(size);
  PrepareToWrite(slots_.data(), size * sizeof(Slot));
  slots_.resize(size);
  // Each slot's stored hash picks its place, so no name is hashed again.
  for (const Slot& slot : old) {
    if (slot.position == 0) continue;
    std::size_t i = slot.hash & mask();
    while (slots_[i].position != 0) i = (i + 1) & mask();
    slots_[i] = slot;
  }
}

}  // namespace tessaline
