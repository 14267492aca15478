// What lies at a recorded pack path: a file carrying a card sheet (an ELF
// section ".rsrc.PACK" that decodes as a bitmap), nothing, a file or folder
// without one, or a file that cannot be read.
//
// Thread use: any thread; reads files.
#pragma once

#include <string>
#include <string_view>

namespace tessaline {

enum class PackFileState { kOk, kMissing, kNotAPack, kUnreadable };

PackFileState CheckPackFile(const std::string& path);

// "ok", "missing", "not a pack", "unreadable".
std::string_view PackFileStateName(PackFileState state);

}  // namespace tessaline
