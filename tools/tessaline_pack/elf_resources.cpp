#include "tessaline_pack/elf_resources.h"

#include <gelf.h>
#include <libelf.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>

#include "support/resources.h"

namespace tessaline {

namespace {

constexpr std::uint64_t kMaxAlignment = std::uint64_t{1} << 16;

[[noreturn]] void Refuse(const std::string& reason) {
  throw BaseProgramError(reason);
}

[[noreturn]] void RefuseDamaged(const std::string& what) {
  Refuse("its headers are damaged (" + what + ")");
}

void StartLibelf() {
  static std::once_flag started;
  std::call_once(started, [] {
    if (elf_version(EV_CURRENT) == EV_NONE) Refuse("libelf does not know this ELF version");
  });
}

// Whether `size` bytes at `offset` lie inside a file of `file_size` bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t file_size) {
  return offset <= file_size && size <= file_size - offset;
}

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  return alignment <= 1 ? value : (value + alignment - 1) / alignment * alignment;
}

// Owns the libelf descriptor of an image in memory.
struct ElfHandle {
  Elf* elf;
  ~ElfHandle() { elf_end(elf); }
};

// Converts headers from memory form (`src`, `src_size` bytes) into the file's
// class and byte order at `dst` (`dst_size` bytes).
void ToFileForm(int elf_class, unsigned encoding, Elf_Type type, const void* src,
                std::size_t src_size, char* dst, std::size_t dst_size) {
  Elf_Data from{};
  from.d_buf = const_cast<void*>(src);
  from.d_type = type;
  from.d_size = src_size;
  from.d_version = EV_CURRENT;
  Elf_Data to{};
  to.d_buf = dst;
  to.d_type = type;
  to.d_size = dst_size;
  to.d_version = EV_CURRENT;
  const Elf_Data* done = elf_class == ELFCLASS64 ? elf64_xlatetof(&to, &from, encoding)
                                                 : elf32_xlatetof(&to, &from, encoding);
  if (done == nullptr) Refuse(std::string("libelf cannot write its headers: ") + elf_errmsg(-1));
}

Elf32_Shdr Narrow(const GElf_Shdr& h) {
  return {h.sh_name,
          h.sh_type,
          static_cast<Elf32_Word>(h.sh_flags),
          static_cast<Elf32_Addr>(h.sh_addr),
          static_cast<Elf32_Off>(h.sh_offset),
          static_cast<Elf32_Word>(h.sh_size),
          h.sh_link,
          h.sh_info,
          static_cast<Elf32_Word>(h.sh_addralign),
          static_cast<Elf32_Word>(h.sh_entsize)};
}

Elf32_Ehdr Narrow(const GElf_Ehdr& h) {
  Elf32_Ehdr out{};
  std::memcpy(out.e_ident, h.e_ident, EI_NIDENT);
  out.e_type = h.e_type;
  out.e_machine = h.e_machine;
  out.e_version = h.e_version;
  out.e_entry = static_cast<Elf32_Addr>(h.e_entry);
  out.e_phoff = static_cast<Elf32_Off>(h.e_phoff);
  out.e_shoff = static_cast<Elf32_Off>(h.e_shoff);
  out.e_flags = h.e_flags;
  out.e_ehsize = h.e_ehsize;
  out.e_phentsize = h.e_phentsize;
  out.e_phnum = h.e_phnum;
  out.e_shentsize = h.e_shentsize;
  out.e_shnum = h.e_shnum;
  out.e_shstrndx = h.e_shstrndx;
  return out;
}

bool IsResourceName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxResourceName &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '_';
         });
}

}  // namespace

struct ResourceWriter::Parsed {
  struct Section {
    GElf_Shdr header;
    std::string name;
  };

  std::string base;
  int elf_class = ELFCLASSNONE;
  unsigned encoding = ELFDATANONE;
  GElf_Ehdr ehdr{};
  std::vector<Section> sections;  // by number, the null section first
  std::size_t names_index = 0;
  std::uint64_t file_header_size = 0;
  std::uint64_t loaded_end = 0;

  bool Loaded(const Section& s) const { return (s.header.sh_flags & SHF_ALLOC) != 0; }
  bool HasBytes(const Section& s) const { return s.header.sh_type != SHT_NOBITS; }
  std::string_view Bytes(const Section& s) const {
    return std::string_view(base).substr(s.header.sh_offset, s.header.sh_size);
  }

  void ReadHeaders(Elf* elf);
  void ReadSegments(Elf* elf);
  void ReadSections(Elf* elf);
  void CheckSection(std::size_t index, const Section& s);
  std::string Write(const std::vector<Section>& headers,
                    const std::vector<std::string_view>& contents) const;
};

void ResourceWriter::Parsed::ReadHeaders(Elf* elf) {
  if (elf == nullptr || elf_kind(elf) != ELF_K_ELF) Refuse("it is not an ELF file");
  if (gelf_getehdr(elf, &ehdr) == nullptr) RefuseDamaged(elf_errmsg(-1));
  elf_class = gelf_getclass(elf);
  encoding = ehdr.e_ident[EI_DATA];
  if (ehdr.e_type != ET_EXEC && ehdr.e_type != ET_DYN) {
    Refuse("it is not a program (an ELF file of type " + std::to_string(ehdr.e_type) + ")");
  }
  file_header_size = gelf_fsize(elf, ELF_T_EHDR, 1, EV_CURRENT);
  if (file_header_size == 0 || base.size() < file_header_size) {
    RefuseDamaged("the file header is cut off");
  }
  loaded_end = file_header_size;
}

void ResourceWriter::Parsed::ReadSegments(Elf* elf) {
  std::size_t count = 0;
  if (elf_getphdrnum(elf, &count) != 0) RefuseDamaged(elf_errmsg(-1));
  if (count == 0) Refuse("it is not a program (it has no program headers)");
  const std::uint64_t table = gelf_fsize(elf, ELF_T_PHDR, count, EV_CURRENT);
  if (!Inside(ehdr.e_phoff, table, base.size())) RefuseDamaged("program headers outside the file");
  // The file header is written anew; nothing else may lie in it.
  if (ehdr.e_phoff < file_header_size) RefuseDamaged("program headers inside the file header");
  loaded_end = std::max(loaded_end, ehdr.e_phoff + table);
  for (std::size_t i = 0; i < count; ++i) {
    GElf_Phdr segment;
    if (gelf_getphdr(elf, static_cast<int>(i), &segment) == nullptr) {
      RefuseDamaged(elf_errmsg(-1));
    }
    if (!Inside(segment.p_offset, segment.p_filesz, base.size())) {
      RefuseDamaged("segment " + std::to_string(i) + " lies outside the file");
    }
    loaded_end = std::max(loaded_end, segment.p_offset + segment.p_filesz);
  }
}

void ResourceWriter::Parsed::CheckSection(std::size_t index, const Section& s) {
  const std::string number = "section " + std::to_string(index);
  if (HasBytes(s) && !Inside(s.header.sh_offset, s.header.sh_size, base.size())) {
    RefuseDamaged(number + " lies outside the file");
  }
  const std::uint64_t alignment = s.header.sh_addralign;
  if (alignment > kMaxAlignment || (alignment & (alignment - 1)) != 0) {
    RefuseDamaged(number + " has an alignment of " + std::to_string(alignment));
  }
  if (Loaded(s) && HasBytes(s) && s.header.sh_size > 0) {
    if (s.header.sh_offset < file_header_size) RefuseDamaged(number + " lies in the file header");
    loaded_end = std::max(loaded_end, s.header.sh_offset + s.header.sh_size);
  }
  if (Loaded(s) && s.name.starts_with(ResourceSectionName(""))) {
    Refuse("its resource section " + s.name +
           " is loaded with the program (a pack made before resources could be replaced)");
  }
}

void ResourceWriter::Parsed::ReadSections(Elf* elf) {
  std::size_t count = 0;
  if (elf_getshdrnum(elf, &count) != 0 || elf_getshdrstrndx(elf, &names_index) != 0) {
    RefuseDamaged(elf_errmsg(-1));
  }
  if (count == 0) Refuse("it has no section table");
  if (ehdr.e_shnum != count || ehdr.e_shstrndx != names_index) {
    Refuse("it has more sections than tessaline-pack writes");
  }
  if (ehdr.e_shentsize != gelf_fsize(elf, ELF_T_SHDR, 1, EV_CURRENT)) {
    RefuseDamaged("section headers of " + std::to_string(ehdr.e_shentsize) + " bytes");
  }
  std::set<std::string> seen;
  for (std::size_t i = 0; i < count; ++i) {
    Section s;
    if (gelf_getshdr(elf_getscn(elf, i), &s.header) == nullptr) RefuseDamaged(elf_errmsg(-1));
    const char* name = i == 0 ? "" : elf_strptr(elf, names_index, s.header.sh_name);
    if (name == nullptr) RefuseDamaged("the name of section " + std::to_string(i));
    s.name = name;
    CheckSection(i, s);
    if (s.name.starts_with(ResourceSectionName("")) && !seen.insert(s.name).second) {
      Refuse("it has two sections named " + s.name);
    }
    sections.push_back(std::move(s));
  }
  if (names_index == 0 || names_index >= count ||
      sections[names_index].header.sh_type != SHT_STRTAB || Loaded(sections[names_index])) {
    RefuseDamaged("its section names are not in a string table of their own");
  }
}

ResourceWriter::ResourceWriter(std::string base) : parsed_(std::make_unique<Parsed>()) {
  StartLibelf();
  parsed_->base = std::move(base);
  // libelf reads from a copy of its own, so that nothing it does to its
  // buffer can reach the bytes the image is made of.
  std::string scratch = parsed_->base;
  const ElfHandle handle{elf_memory(scratch.data(), scratch.size())};
  parsed_->ReadHeaders(handle.elf);
  parsed_->ReadSegments(handle.elf);
  parsed_->ReadSections(handle.elf);
}

ResourceWriter::~ResourceWriter() = default;

std::vector<std::string> ResourceWriter::ResourceNames() const {
  std::vector<std::string> names;
  const std::string prefix = ResourceSectionName("");
  for (const Parsed::Section& s : parsed_->sections) {
    if (s.name.starts_with(prefix)) names.push_back(s.name.substr(prefix.size()));
  }
  return names;
}

std::size_t ResourceWriter::LoadedImageSize() const {
  return static_cast<std::size_t>(parsed_->loaded_end);
}

std::string ResourceWriter::With(const std::vector<NamedResource>& resources) const {
  std::vector<Parsed::Section> headers = parsed_->sections;
  std::vector<std::string_view> contents(headers.size());
  for (std::size_t i = 1; i < headers.size(); ++i) {
    if (!parsed_->Loaded(headers[i]) && parsed_->HasBytes(headers[i])) {
      contents[i] = parsed_->Bytes(headers[i]);
    }
  }
  std::string names(parsed_->Bytes(headers[parsed_->names_index]));
  std::set<std::string> given;
  for (const NamedResource& resource : resources) {
    if (!IsResourceName(resource.name) || !given.insert(resource.name).second) {
      throw std::invalid_argument("resource name '" + resource.name + "' is not usable");
    }
    const std::string section = ResourceSectionName(resource.name);
    const auto found = std::find_if(headers.begin(), headers.end(),
                                    [&](const Parsed::Section& s) { return s.name == section; });
    if (found != headers.end()) {
      found->header.sh_type = SHT_PROGBITS;
      contents[static_cast<std::size_t>(found - headers.begin())] = resource.bytes;
      continue;
    }
    GElf_Shdr added{};
    added.sh_name = static_cast<GElf_Word>(names.size());
    added.sh_type = SHT_PROGBITS;
    added.sh_addralign = 1;
    names.append(section).push_back('\0');
    headers.push_back({added, section});
    contents.push_back(resource.bytes);
  }
  if (headers.size() >= SHN_LORESERVE) Refuse("it would have more sections than ELF numbers");
  contents[parsed_->names_index] = names;
  return parsed_->Write(headers, contents);
}

// Lays the sections that are not loaded out after the loaded image and
// writes the image (see the header).
std::string ResourceWriter::Parsed::Write(const std::vector<Section>& headers,
                                          const std::vector<std::string_view>& contents) const {
  std::vector<GElf_Shdr> table;
  std::uint64_t end = loaded_end;
  for (std::size_t i = 0; i < headers.size(); ++i) {
    GElf_Shdr h = headers[i].header;
    if (i > 0 && !Loaded(headers[i])) {
      end = AlignUp(end, h.sh_addralign);
      h.sh_offset = end;
      if (HasBytes(headers[i])) h.sh_size = contents[i].size();
      if (HasBytes(headers[i])) end += contents[i].size();
    }
    table.push_back(h);
  }
  const bool wide = elf_class == ELFCLASS64;
  const std::uint64_t table_at = AlignUp(end, wide ? 8 : 4);
  const std::uint64_t size = table_at + table.size() * ehdr.e_shentsize;
  if (!wide && size > UINT32_MAX) Refuse("the pack would be too large for a 32-bit program");
  std::string image(static_cast<std::size_t>(size), '\0');
  std::memcpy(image.data(), base.data(), loaded_end);
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (!contents[i].empty()) {
      std::memcpy(image.data() + table[i].sh_offset, contents[i].data(), contents[i].size());
    }
  }
  GElf_Ehdr header = ehdr;
  header.e_shoff = table_at;
  header.e_shnum = static_cast<GElf_Half>(table.size());
  char* const table_bytes = image.data() + table_at;
  const std::size_t table_size = table.size() * ehdr.e_shentsize;
  if (wide) {
    ToFileForm(elf_class, encoding, ELF_T_SHDR, table.data(), table.size() * sizeof(Elf64_Shdr),
               table_bytes, table_size);
    ToFileForm(elf_class, encoding, ELF_T_EHDR, &header, sizeof header, image.data(),
               sizeof(Elf64_Ehdr));
  } else {
    std::vector<Elf32_Shdr> narrow;
    for (const GElf_Shdr& h : table) narrow.push_back(Narrow(h));
    const Elf32_Ehdr narrow_header = Narrow(header);
    ToFileForm(elf_class, encoding, ELF_T_SHDR, narrow.data(), narrow.size() * sizeof(Elf32_Shdr),
               table_bytes, table_size);
    ToFileForm(elf_class, encoding, ELF_T_EHDR, &narrow_header, sizeof narrow_header, image.data(),
               sizeof(Elf32_Ehdr));
  }
  return image;
}

}  // namespace tessaline
