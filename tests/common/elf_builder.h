// A builder of minimal ELF files with named sections, for tests of code that
// reads resources from executables.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessaline::test {

// A minimal relocatable ELF file: a null section, the section name table and
// one PROGBITS section per entry, then the section header table. After
// MakeProgram, a program instead: its first `loaded` sections are loaded
// (SHF_ALLOC) and one PT_LOAD segment covers the headers and them.
class ElfBuilder {
 public:
  ElfBuilder(bool wide, bool big) : wide_(wide), big_(big) {}

  void MakeProgram(std::size_t loaded) {
    program_ = true;
    loaded_ = loaded;
  }

  using Bytes = std::vector<std::uint8_t>;

  Bytes Build(const std::vector<std::pair<std::string, Bytes>>& sections) {
    Bytes names{0};
    auto add_name = [&](const std::string& n) {
      std::uint32_t at = static_cast<std::uint32_t>(names.size());
      names.insert(names.end(), n.begin(), n.end());
      names.push_back(0);
      return at;
    };
    std::uint32_t names_name = add_name(".shstrtab");
    std::vector<std::uint32_t> name_at;
    for (const auto& s : sections) name_at.push_back(add_name(s.first));

    const std::size_t header = wide_ ? 64 : 52, entry = wide_ ? 64 : 40;
    const std::size_t segment_entry = wide_ ? 56 : 32;
    Bytes out(header + (program_ ? segment_entry : 0), 0);
    std::vector<std::pair<std::size_t, std::size_t>> placed;  // offset, size
    std::size_t loaded_end = out.size();
    for (const auto& s : sections) {
      placed.push_back({out.size(), s.second.size()});
      out.insert(out.end(), s.second.begin(), s.second.end());
      if (placed.size() <= loaded_) loaded_end = out.size();
    }
    placed.insert(placed.begin(), {out.size(), names.size()});
    out.insert(out.end(), names.begin(), names.end());
    while (out.size() % 8) out.push_back(0);
    const std::size_t table = out.size();
    const std::size_t count = 2 + sections.size();
    out.resize(table + count * entry, 0);

    std::copy_n(
        "\x7f"
        "ELF",
        4, out.begin());
    out[4] = wide_ ? 2 : 1;
    out[5] = big_ ? 2 : 1;
    out[6] = 1;
    Put(out, 16, 2, program_ ? 2 : 1);  // a program or relocatable
    Put(out, 18, 2, 62);                // machine
    Put(out, 20, 4, 1);
    if (wide_) {
      Put(out, 0x28, 8, table);
      Put(out, 0x34, 2, header);
      Put(out, 0x3a, 2, entry);
      Put(out, 0x3c, 2, count);
      Put(out, 0x3e, 2, 1);
    } else {
      Put(out, 0x20, 4, table);
      Put(out, 0x28, 2, header);
      Put(out, 0x2e, 2, entry);
      Put(out, 0x30, 2, count);
      Put(out, 0x32, 2, 1);
    }
    if (program_) {  // one PT_LOAD from the file's start to the last loaded byte
      const std::size_t at = header;
      Put(out, wide_ ? 0x20 : 0x1c, wide_ ? 8 : 4, header);
      Put(out, wide_ ? 0x36 : 0x2a, 2, segment_entry);
      Put(out, wide_ ? 0x38 : 0x2c, 2, 1);
      Put(out, at, 4, 1);
      Put(out, at + (wide_ ? 32 : 16), wide_ ? 8 : 4, loaded_end);  // file size
      Put(out, at + (wide_ ? 40 : 20), wide_ ? 8 : 4, loaded_end);  // memory size
    }
    for (std::size_t i = 1; i < count; ++i) {
      std::size_t at = table + i * entry;
      Put(out, at, 4, i == 1 ? names_name : name_at[i - 2]);
      Put(out, at + 4, 4, i == 1 ? 3 : 1);  // string table / program bits
      if (i >= 2 && i - 2 < loaded_) Put(out, at + 8, wide_ ? 8 : 4, 2);  // SHF_ALLOC
      Put(out, at + (wide_ ? 24 : 16), wide_ ? 8 : 4, placed[i - 1].first);
      Put(out, at + (wide_ ? 32 : 20), wide_ ? 8 : 4, placed[i - 1].second);
    }
    section_table_ = table;
    entry_size_ = entry;
    return out;
  }

  void Put(Bytes& out, std::size_t at, int width, std::uint64_t v) const {
    for (int i = 0; i < width; ++i) {
      int shift = big_ ? 8 * (width - 1 - i) : 8 * i;
      out[at + i] = static_cast<std::uint8_t>(v >> shift);
    }
  }

  // Where field `offset` of section header `index` lies.
  std::size_t Field(std::size_t index, std::size_t offset) const {
    return section_table_ + index * entry_size_ + offset;
  }

 private:
  bool wide_;
  bool big_;
  bool program_ = false;
  std::size_t loaded_ = 0;
  std::size_t section_table_ = 0;
  std::size_t entry_size_ = 0;
};

// A 64-bit little-endian ELF file whose sections are `sections` (name,
// bytes), as a string of bytes.
inline std::string ElfWithSections(
    const std::vector<std::pair<std::string, std::string>>& sections) {
  std::vector<std::pair<std::string, ElfBuilder::Bytes>> converted;
  for (const auto& [name, bytes] : sections)
    converted.push_back({name, {bytes.begin(), bytes.end()}});
  const ElfBuilder::Bytes out = ElfBuilder(true, false).Build(converted);
  return std::string(out.begin(), out.end());
}

}  // namespace tessaline::test
