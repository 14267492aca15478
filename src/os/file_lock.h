// Advisory locks (flock) on a lock file, held for a scope.
//
// The lock file is opened without following a link and without blocking, and
// only a regular file is used. A lock file that was removed or replaced while
// we waited is opened again, so the lock held is always on the file there.
//
// Thread use: one FileLock per scope; flock locks belong to the open file, so
// two FileLock objects of one process on one file exclude each other too.
#pragma once

#include <chrono>
#include <string>

#include "os/files.h"

namespace tessaline {

enum class LockKind { kShared, kExclusive };

// What stands at `path` that can never serve as a lock file: a symbolic link
// (kErrorSymbolicLink: links are never followed) or anything but a regular
// file (kErrorNotRegularFile), as an "open" error. Ok for a regular file and
// for nothing at all (it is then created).
Status LockFileInTheWay(const std::string& path);

class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&&) = default;
  FileLock& operator=(FileLock&&) = default;

  // Takes the lock on `path`, creating the file (mode 0644 less the umask)
  // when it is missing and may be created; a file that can only be read is
  // enough. A lock another process holds is waited for at most `wait`.
  // Errors: the failed step's errno, those of LockFileInTheWay, EWOULDBLOCK
  // when the wait ran out.
  static Result<FileLock> Acquire(const std::string& path, LockKind kind,
                                  std::chrono::milliseconds wait);

  bool held() const { return fd_.valid(); }

 private:
  explicit FileLock(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace tessaline
