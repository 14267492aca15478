// Resources embedded in the executable: named blocks of bytes, each in an ELF
// section of its own named ".rsrc.<NAME>" that holds exactly the resource's
// bytes, so that tools such as objcopy can extract them from a copy of the
// executable.
//
// The sections are not loaded with the program (they have no SHF_ALLOC flag
// and lie after its loaded image), so that a finished program's resources can
// be replaced without linking it again (tools/tessaline_pack). The program
// reads them from its own file (/proc/self/exe) on the first lookup, once;
// a build puts them there with tessaline_embed_resources
// (cmake/EmbedResources.cmake) or tessaline-pack.
//
// Thread use: FindResource and HasResource from any thread (the first lookup
// reads the file under a once-flag, later ones only read the table);
// RegisterResource, for tests, only while no other thread looks resources up.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The longest resource name the readers look for, in bytes.
inline constexpr std::size_t kMaxResourceName = 64;

// The bytes of the resource `name` embedded in the running executable (name
// compared exactly; the first section of that name). They live as long as the
// process. Throws tessaline::Exception "Resource <name> not found" when there
// is none, and ReadResourceFromFile's errors when the program's own file
// cannot be read.
std::span<const std::byte> FindResource(std::string_view name);

// True when the running executable embeds a resource of that name.
bool HasResource(std::string_view name);

// Puts `bytes` in the place of the running executable's resource `name` (or
// adds it), for tests; a later registration of the same name replaces the
// earlier one. `bytes` must stay valid while they may be looked up.
void RegisterResource(std::string_view name, std::span<const std::byte> bytes);

// Reads the resource `name` from the ELF file at `path` (32- or 64-bit, either
// byte order): the contents of its section ".rsrc.<name>". Reads only within
// the file, whatever its headers claim. Throws tessaline::Exception: "Cannot
// open file "<path>". <reason>" when the file cannot be read, "File <path> is
// not a valid executable" when its headers are damaged, and "Resource <name>
// not found" when it has no such section. The first section of the name
// counts; its flags do not matter, so packs made when resources were loaded
// with the program are read too.
std::vector<std::byte> ReadResourceFromFile(const std::string& path, std::string_view name);

// The ELF section name that holds a resource: ".rsrc." followed by the name.
std::string ResourceSectionName(std::string_view name);

}  // namespace tessaline
