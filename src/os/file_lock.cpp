#include "os/file_lock.h"

#include <sys/file.h>

#include <algorithm>

namespace tessaline {

Status LockFileInTheWay(const std::string& path) {
  Result<struct stat> info = StatPath(path, /*follow_links=*/false);
  if (!info.ok() || S_ISREG(info.value().st_mode)) return Status::Ok();
  return SystemError("open", path,
                     S_ISLNK(info.value().st_mode) ? kErrorSymbolicLink : kErrorNotRegularFile);
}

namespace {

// Opens the lock file without following a link or blocking on a FIFO; one
// that cannot be opened for writing is opened for reading, which flock needs
// no more than.
Result<UniqueFd> OpenLockFile(const std::string& path) {
  const int common = O_NOFOLLOW | O_NONBLOCK;
  Result<UniqueFd> fd = Open(path, O_RDWR | O_CREAT | common, 0644);
  if (!fd.ok() && fd.code() != ELOOP) fd = Open(path, O_RDONLY | common);
  if (!fd.ok() && fd.code() == ELOOP) {
    // Say so when the lock file itself is the link, not a folder on its way.
    if (Status in_the_way = LockFileInTheWay(path); !in_the_way.ok()) return in_the_way.error();
  }
  if (!fd.ok()) return fd;
  Result<struct stat> info = StatOpen(fd.value().get(), path);
  if (!info.ok()) return info.error();
  if (!S_ISREG(info.value().st_mode)) return SystemError("open", path, kErrorNotRegularFile);
  return fd;
}

// flock without blocking, tried again with growing pauses until `deadline`.
// The pauses stay short: a process that takes the lock again and again (a
// run of writes) leaves it free only for moments, which a waiter must hit.
Status LockWithin(int fd, int operation, const std::string& path,
                  std::chrono::steady_clock::time_point deadline) {
  System& fs = CurrentSystem();
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (fs.Lock(fd, operation | LOCK_NB) == 0) return Status::Ok();
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return SystemError("lock", path, errno);
    const auto now = fs.Now();
    if (now >= deadline) return SystemError("lock", path, EWOULDBLOCK);
    fs.SleepFor(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(10));
  }
}

}  // namespace

Result<FileLock> FileLock::Acquire(const std::string& path, LockKind kind,
                                   std::chrono::milliseconds wait) {
  const int operation = kind == LockKind::kExclusive ? LOCK_EX : LOCK_SH;
  const auto deadline = CurrentSystem().Now() + wait;
  for (;;) {
    Result<UniqueFd> fd = OpenLockFile(path);
    if (!fd.ok()) return fd.error();
    if (Status locked = LockWithin(fd.value().get(), operation, path, deadline); !locked.ok()) {
      return locked.error();
    }
    // The lock only counts when it is on the file that is there now; one
    // removed or replaced in the meantime is tried again.
    Result<struct stat> held = StatOpen(fd.value().get(), path);
    Result<struct stat> now = StatPath(path, /*follow_links=*/false);
    if (held.ok() && now.ok() && SameFile(held.value(), now.value())) {
      return FileLock(std::move(fd.value()));
    }
  }
}

}  // namespace tessaline
