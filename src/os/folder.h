// A folder opened by walking its path one name at a time, so that the work
// done in it afterwards (through the descriptor, with the *At calls) is done
// in the folder that was checked, whatever is renamed or relinked on the
// path meanwhile.
//
// Thread use: any thread; no shared state.
#pragma once

#include <string>

#include "os/files.h"

namespace tessaline {

// Opens the folder `path` (O_PATH) by walking it from "/" (or from the
// current folder for a relative path), following symbolic links on the way
// (at most 40). With `trusted_only`, every folder on the way and the folder
// itself must belong to the effective user or to root and be writable by no
// one else (unless sticky), and every link must belong to the user or root: a
// folder or link another user controls could otherwise lead the caller
// anywhere. Errors: the failed step's errno (ENOENT, ENOTDIR,
// ELOOP, ...) with the path it concerns, kErrorUntrusted (operation "open").
Result<UniqueFd> OpenFolder(const std::string& path, bool trusted_only);

}  // namespace tessaline
