// What lies at a recorded pack path, in two ways:
// - CheckPackFile, for --list: any pack (a file carrying a card sheet, an ELF
//   section ".rsrc.PACK" that decodes as a bitmap), nothing, a file or folder
//   without one, or a file that cannot be read;
// - ExaminePackFile, for --verify and --uninstall, which agree on it: whether
//   the file is this pack's own, looked at through its folder opened once.
//
// Thread use: any thread; reads files.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "os/files.h"

namespace tessaline {

enum class PackFileState { kOk, kMissing, kNotAPack, kUnreadable };

PackFileState CheckPackFile(const std::string& path);

// "ok", "missing", "not a pack", "unreadable".
std::string_view PackFileStateName(PackFileState state);

// What ExaminePackFile found at a path.
struct PackFileVerdict {
  enum class Kind {
    kAbsent,      // nothing there (or no folder)
    kThisPack,    // this pack's file: `file` is open on it, `examined` its stat
    kNotAPack,    // a folder, FIFO, device: what --list calls "not a pack"
    kOther,       // a link, another name, the running program, another sheet
    kUnreadable,  // it cannot be looked at or read
  } kind;
  std::string reason;  // why it is not this pack's file
  UniqueFd folder;     // the folder, opened once (valid unless kAbsent)
  UniqueFd file;       // kThisPack: the file, open for reading
  struct stat examined {};
};

// Whether `path` is this pack's file: a regular file, not a link, named
// PackName + ".wpk", not the running program, whose section ".rsrc.PACK"
// holds `sheet` byte for byte. The folder is opened once (os/folder.h),
// following no folder or link that another user controls when running as
// root; everything after is done through it, and leftovers of killed runs
// beside the file are removed.
PackFileVerdict ExaminePackFile(const std::string& path, std::span<const std::byte> sheet);

}  // namespace tessaline
