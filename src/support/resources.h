// Resources embedded in the executable: named blocks of bytes, each in an ELF
// section of its own named ".rsrc.<NAME>" that holds exactly its bytes (so
// objcopy can extract them). The sections are not loaded with the program, so
// a finished program's resources can be replaced without linking it again
// (tools/tessaline_pack); the program reads them from /proc/self/exe once, on
// the first lookup.
//
// Thread use: FindResource from any thread (the first lookup reads the file
// under a once-flag); RegisterResource, for tests, only while no other thread
// looks resources up.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The longest resource name the readers look for, in bytes.
inline constexpr std::size_t kMaxResourceName = 64;

// The bytes of the resource `name` (compared exactly) embedded in the running
// executable, alive as long as the process. Throws ReadResourceFromFile's
// errors (also when the program's own file cannot be read).
std::span<const std::byte> FindResource(std::string_view name);

// Puts `bytes` in the place of the running executable's resource `name` (or
// adds it), for tests; a later registration of the same name replaces the
// earlier one. `bytes` must stay valid while they may be looked up.
void RegisterResource(std::string_view name, std::span<const std::byte> bytes);

// Reads the resource `name` from the ELF file at `path` (32- or 64-bit, either
// byte order): the contents of its first section ".rsrc.<name>", whatever its
// flags. Reads only within the file, whatever its headers claim. Throws
// tessaline::Exception: "Cannot open file "<path>". <reason>" when the file
// cannot be read, "File <path> is not a valid executable" when its headers are
// damaged, "Resource <name> not found" when it has no such section.
std::vector<std::byte> ReadResourceFromFile(const std::string& path, std::string_view name);

// The ELF section name that holds a resource: ".rsrc." followed by the name.
std::string ResourceSectionName(std::string_view name);

}  // namespace tessaline
