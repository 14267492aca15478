// Path parts: "/" separates; nothing here looks at the file system.
//
// Thread use: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tessaline {

// Everything up to and including the last "/" of `path`; empty when it has
// none ("/a/b" -> "/a/", "/a/b/" -> "/a/b/", "b" -> "").
std::string DirectoryPart(std::string_view path);
// Everything after the last "/" ("/a/b" -> "b", "/a/" -> "").
std::string FileNamePart(std::string_view path);
// The folder that holds `path`, as it can be opened: its directory part
// without the trailing "/" ("/" for the root's children, "." for a bare name).
std::string ContainingFolder(std::string_view path);

}  // namespace tessaline
