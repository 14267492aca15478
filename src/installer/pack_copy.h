// File failures of the installation, and the copy policy of the pack file:
// what may be replaced, and how each failed step is reported.
//
// Thread use: any thread; no shared state. While copying, the calling
// thread's SIGXFSZ is held back so that a file-size limit shows up as a write
// error instead of ending the process.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "os/file_replacement.h"
#include "support/exception.h"

namespace tessaline {

// "Cannot open file %s": the source cannot be opened for reading.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// "Cannot create file %s": the target cannot be created or replaced.
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// "Cannot create file <target>", and on a second line `why` (WithCause).
EFCreateError CannotCreateFile(const std::string& target, const std::string& why);

// "Stream read error": the source gave fewer bytes than asked for.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// "Stream write error": the target took fewer bytes than given.
class EWriteError : public Exception {
 public:
  using Exception::Exception;
};

// Size of one piece of the plain read/write copy.
inline constexpr std::size_t kCopyPieceSize = 61440;

// Copies every byte of the file `source` to `target` in two steps, so that
// the bytes are copied before it is settled whether the copy is to stand:
// Write makes the whole copy as a new file in target's folder that has no
// name yet (or, where the file system allows no unnamed files, a hidden one
// named FileReplacement::PartialPrefix) and syncs it; PutInPlace then makes
// it `target`. The new file gets mode 0755 (less the umask): the pack is a
// copy of an executable. A copy not put in place is removed when the object
// goes; until then the file it replaced is kept too
// (FileReplacement::PutInPlaceKeepingOld), so that Undo can put it back.
// Unfinished copies of killed runs that no running copy holds are removed.
//
// Errors (nothing is changed at `target` and no unfinished copy remains),
// each text followed by a line saying why (WithCause, support/exception.h):
//   EFOpenError("Cannot open file <source>") when `source` cannot be opened
//     or is not a regular file (on construction);
//   EFCreateError("Cannot create file <target>") when the new file cannot be
//     created in target's folder, when `target` is a directory or another
//     non-regular file, or when `target` is `source` itself (same device and
//     inode, also through a link);
//   EReadError("Stream read error") when reading `source` fails or it ends
//     early;
//   EWriteError("Stream write error") when writing, syncing or renaming the
//     new file fails (full disk, file-size limit).
// One thread.
class PendingCopy {
 public:
  PendingCopy(std::string source, std::string target);
  PendingCopy(const PendingCopy&) = delete;
  PendingCopy& operator=(const PendingCopy&) = delete;

  // Needs target's folder to exist.
  void Write();
  // After Write.
  void PutInPlace();
  // After PutInPlace: `target` as it was before (the file it held back, or
  // no file). Raises nothing: a failure comes back as its status.
  Status Undo() { return replacement_.Undo(); }

 private:
  std::string source_, target_;
  UniqueFd in_;
  struct stat source_info_;
  FileReplacement replacement_;
};

}  // namespace tessaline
