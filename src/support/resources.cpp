#include "support/resources.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "os/files.h"
#include "os/process.h"
#include "support/exception.h"

namespace tessaline {

namespace {

[[noreturn]] void ThrowNotFound(std::string_view name) {
  throw Exception("Resource " + std::string(name) + " not found");
}

// Bounded reads from an ELF file of a known size; every read outside the file
// is reported as damage instead of being attempted.
class ElfFile {
 public:
  explicit ElfFile(const std::string& path) : path_(path) {
    struct stat info;
    Result<UniqueFd> fd = OpenRegularFile(path, info);
    if (fd.code() == kErrorNotRegularFile) Damaged();
    if (!fd.ok()) throw Exception("Cannot open file \"" + path + "\". " + fd.error().Reason());
    fd_ = std::move(fd.value());
    size_ = static_cast<std::uint64_t>(info.st_size);
  }

  [[noreturn]] void Damaged() const {
    throw Exception("File " + path_ + " is not a valid executable");
  }

  std::uint64_t size() const { return size_; }

  // Damage unless `count` bytes at `offset` all lie in the file.
  void CheckWithin(std::uint64_t offset, std::uint64_t count) const {
    if (offset > size_ || count > size_ - offset) Damaged();
  }

  // Reads `count` bytes at `offset`; damage if they are not all in the file.
  void Read(std::uint64_t offset, void* out, std::uint64_t count) {
    CheckWithin(offset, count);
    const auto at = static_cast<off_t>(offset);
    if (!ReadExactlyAt(fd_.get(), static_cast<char*>(out), count, at, path_).ok()) Damaged();
  }

  // An unsigned little- or big-endian integer of `width` bytes from `bytes`.
  std::uint64_t Field(const unsigned char* bytes, int width) const {
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) {
      int shift = big_endian_ ? 8 * (width - 1 - i) : 8 * i;
      v |= std::uint64_t{bytes[i]} << shift;
    }
    return v;
  }
  void set_big_endian(bool big) { big_endian_ = big; }

 private:
  std::string path_;
  UniqueFd fd_;
  std::uint64_t size_ = 0;
  bool big_endian_ = false;
};

struct Section {
  std::uint64_t name = 0;  // offset in the section name table
  std::uint64_t type = 0;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t link = 0;
};

constexpr std::uint64_t kSectionNoBits = 8;

// Where an ELF file keeps its section headers, from its file header.
struct SectionTable {
  bool wide = false;  // 64-bit
  std::uint64_t offset = 0;
  std::uint64_t entry_size = 0;
  std::uint64_t count = 0;
  std::uint64_t names_index = 0;
  std::uint64_t fitting = 0;  // how many headers the file can hold from `offset`

  std::uint64_t min_entry() const { return wide ? 64 : 40; }
};

// Reads the file header; offset 0 means the file has no section table.
SectionTable ReadFileHeader(ElfFile& file) {
  unsigned char ident[64] = {};
  file.Read(0, ident, 16);
  if (std::memcmp(ident, "\177ELF", 4) != 0) file.Damaged();
  if (ident[4] != 1 && ident[4] != 2) file.Damaged();
  if (ident[5] != 1 && ident[5] != 2) file.Damaged();
  SectionTable table;
  table.wide = ident[4] == 2;
  file.set_big_endian(ident[5] == 2);
  file.Read(0, ident, table.wide ? 64 : 52);
  const bool w = table.wide;
  table.offset = w ? file.Field(ident + 0x28, 8) : file.Field(ident + 0x20, 4);
  table.entry_size = file.Field(ident + (w ? 0x3a : 0x2e), 2);
  table.count = file.Field(ident + (w ? 0x3c : 0x30), 2);
  table.names_index = file.Field(ident + (w ? 0x3e : 0x32), 2);
  if (table.offset == 0) return table;
  if (table.entry_size < table.min_entry()) file.Damaged();
  table.fitting = (file.size() - std::min(file.size(), table.offset)) / table.entry_size;
  return table;
}

Section ReadSection(ElfFile& file, const SectionTable& table, std::uint64_t index) {
  if (index >= table.fitting) file.Damaged();
  unsigned char raw[64];
  file.Read(table.offset + index * table.entry_size, raw, table.min_entry());
  const bool w = table.wide;
  Section s;
  s.name = file.Field(raw, 4);
  s.type = file.Field(raw + 4, 4);
  s.offset = w ? file.Field(raw + 24, 8) : file.Field(raw + 16, 4);
  s.size = w ? file.Field(raw + 32, 8) : file.Field(raw + 20, 4);
  s.link = w ? file.Field(raw + 40, 4) : file.Field(raw + 24, 4);
  return s;
}

// Files with many sections keep the true count and name table index in the
// first section header; checks that both lie within the file.
void ResolveLargeCounts(ElfFile& file, SectionTable& table) {
  if (table.count == 0 || table.names_index == 0xffff) {
    const Section first = ReadSection(file, table, 0);
    if (table.count == 0) table.count = first.size;
    if (table.names_index == 0xffff) table.names_index = first.link;
  }
  if (table.count > table.fitting) file.Damaged();
  if (table.names_index >= table.count) file.Damaged();
}

// Calls `found` with each section of `file` whose name is ".rsrc." and a
// resource name of at most kMaxResourceName bytes, in the order of the
// section table, until `found` returns true.
template <typename Found>
void ForEachResourceSection(ElfFile& file, Found found) {
  SectionTable table = ReadFileHeader(file);
  if (table.offset == 0) return;  // no section table at all
  ResolveLargeCounts(file, table);
  const Section names = ReadSection(file, table, table.names_index);
  file.CheckWithin(names.offset, names.size);
  const std::string prefix = ResourceSectionName("");
  std::string candidate;
  for (std::uint64_t i = 0; i < table.count; ++i) {
    const Section s = ReadSection(file, table, i);
    if (s.name >= names.size) continue;  // a name outside the name table matches nothing
    const std::uint64_t room =
        std::min<std::uint64_t>(names.size - s.name, prefix.size() + kMaxResourceName + 1);
    candidate.assign(static_cast<std::size_t>(room), '\0');
    file.Read(names.offset + s.name, candidate.data(), room);
    const std::size_t end = candidate.find('\0');
    if (end == std::string::npos || end <= prefix.size() || !candidate.starts_with(prefix)) {
      continue;
    }
    if (found(std::string_view(candidate).substr(prefix.size(), end - prefix.size()), s)) return;
  }
}

std::vector<std::byte> SectionBytes(ElfFile& file, const Section& s) {
  if (s.type == kSectionNoBits) return {};
  file.CheckWithin(s.offset, s.size);
  std::vector<std::byte> bytes(static_cast<std::size_t>(s.size));
  if (!bytes.empty()) file.Read(s.offset, bytes.data(), s.size);
  return bytes;
}

using ResourceTable = std::map<std::string, std::span<const std::byte>, std::less<>>;

// The running program's resources: read from its own file on the first
// lookup (a read that fails is tried again on the next), kept for the rest of
// the process.
ResourceTable& Table() {
  static std::once_flag loaded;
  static std::map<std::string, std::vector<std::byte>, std::less<>> bytes;
  static ResourceTable table;
  std::call_once(loaded, [] {
    ElfFile file(RunningImagePath());
    ForEachResourceSection(file, [&](std::string_view name, const Section& s) {
      // The first section of a name counts, as for ReadResourceFromFile.
      if (!bytes.contains(name)) bytes.emplace(std::string(name), SectionBytes(file, s));
      return false;
    });
    for (const auto& [name, data] : bytes) table.emplace(name, data);
  });
  return table;
}

}  // namespace

std::string ResourceSectionName(std::string_view name) {
  return ".rsrc." + std::string(name);
}

void RegisterResource(std::string_view name, std::span<const std::byte> bytes) {
  Table().insert_or_assign(std::string(name), bytes);
}

std::span<const std::byte> FindResource(std::string_view name) {
  auto it = Table().find(name);
  if (it == Table().end()) ThrowNotFound(name);
  return it->second;
}

std::vector<std::byte> ReadResourceFromFile(const std::string& path, std::string_view name) {
  ElfFile file(path);
  std::vector<std::byte> bytes;
  bool found = false;
  ForEachResourceSection(file, [&](std::string_view candidate, const Section& s) {
    if (candidate != name) return false;
    bytes = SectionBytes(file, s);
    found = true;
    return true;
  });
  if (!found) ThrowNotFound(name);
  return bytes;
}

}  // namespace tessaline
