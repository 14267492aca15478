// Replacing the resources of a finished program: the ELF sections
// ".rsrc.<NAME>" (support/resources.h), parsed and converted with libelf.
//
// A new image is the base program's loaded image byte for byte (everything
// up to the end of the last of its headers, segments and loaded sections:
// the code and data the system maps never move), then every section that is
// not loaded, in the base's order, each at the next offset its alignment
// allows, with the resources' new bytes in their sections, then the sections
// added for resources the base does not carry, then the section header
// table. Section numbers stay as they were, so symbol tables and
// relocations that name sections by number still hold. The result depends
// only on the base and the resources: the same inputs give the same bytes.
//
// Only what sections hold survives: bytes after the loaded image that no
// section covers (an old section header table, appended data) are dropped.
//
// Thread use: an object on one thread at a time; objects are independent.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// A base that cannot take resources: not an ELF program, damaged, or with
// its resources in its loaded image. what() is the reason, written to
// follow "the base program <path> cannot be used: ".
class BaseProgramError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct NamedResource {
  std::string name;  // without ".rsrc."
  std::string_view bytes;
};

class ResourceWriter {
 public:
  // Parses `base`, an ELF executable or position-independent executable of
  // either class and byte order. Throws BaseProgramError.
  explicit ResourceWriter(std::string base);
  ~ResourceWriter();
  ResourceWriter(const ResourceWriter&) = delete;
  ResourceWriter& operator=(const ResourceWriter&) = delete;

  // The names of the resources the base carries, in section order.
  std::vector<std::string> ResourceNames() const;

  // The size of the loaded image, which every image written keeps as it is.
  std::size_t LoadedImageSize() const;

  // The base with each of `resources` as the contents of its section
  // ".rsrc.<name>" (replaced when the base has it, else added). Names are
  // at most kMaxResourceName bytes of letters, digits and "_", each given
  // once (std::invalid_argument otherwise). Throws BaseProgramError when
  // the image would need more sections than the format's plain numbering
  // holds.
  std::string With(const std::vector<NamedResource>& resources) const;

 private:
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
};

}  // namespace tessaline
