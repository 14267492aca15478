// Resources embedded in the executable: named blocks of bytes, each in an ELF
// section of its own named ".rsrc.<NAME>" that holds exactly the resource's
// bytes, so that tools such as objcopy can extract them from a copy of the
// executable.
//
// A target embeds resources with the CMake function tessaline_embed_resources
// (cmake/EmbedResources.cmake), which adds a generated source to the target
// that registers each resource at static initialisation. Registration happens
// before main() runs; afterwards the table is only read, so FindResource may
// be called from any thread.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The bytes of the resource `name` embedded in the running executable (name
// compared exactly). They live as long as the process. Throws
// tessaline::Exception "Resource <name> not found" when there is none.
std::span<const std::byte> FindResource(std::string_view name);

// True when the running executable embeds a resource of that name.
bool HasResource(std::string_view name);

// Adds a resource to the running executable's table (used by the generated
// registration code; a later registration of the same name replaces the
// earlier one). `bytes` must stay valid for the rest of the process.
void RegisterResource(std::string_view name, std::span<const std::byte> bytes);

// Reads the resource `name` from the ELF file at `path` (32- or 64-bit, either
// byte order): the contents of its section ".rsrc.<name>". Reads only within
// the file, whatever its headers claim. Throws tessaline::Exception: "Cannot
// open file "<path>". <reason>" when the file cannot be read, "File <path> is
// not a valid executable" when its headers are damaged, and "Resource <name>
// not found" when it has no such section.
std::vector<std::byte> ReadResourceFromFile(const std::string& path, std::string_view name);

// The ELF section name that holds a resource: ".rsrc." followed by the name.
std::string ResourceSectionName(std::string_view name);

}  // namespace tessaline
