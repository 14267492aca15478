// The program's file work, on the seam of os/system.h. The functions retry
// calls that EINTR interrupted and report failures as SystemError values;
// none of them raises.
//
// Thread use: any thread; no shared state.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "os/system.h"
#include "os/system_error.h"
#include "text/path.h"

namespace tessaline {

// The longest path the system opens, in bytes (PATH_MAX less its NUL).
inline constexpr std::size_t kMaxPathLength = 4095;

// Owns one open file descriptor and closes it when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes without looking at the result (an error path).
  void Reset();
  // Closes and reports close's own result: a delayed write error.
  int Close();

 private:
  int fd_ = -1;
};

// ---- Opening, reading, writing ------------------------------------------

// openat(dir, path, flags | O_CLOEXEC, mode), retried on EINTR. `operation`
// names the step in the error ("open", "create", ...).
Result<UniqueFd> OpenAt(int dir, const std::string& path, int flags, mode_t mode = 0,
                        const char* operation = "open");
inline Result<UniqueFd> Open(const std::string& path, int flags, mode_t mode = 0,
                             const char* operation = "open") {
  return OpenAt(AT_FDCWD, path, flags, mode, operation);
}

// Writes all of `bytes` to `fd`, resuming after interruptions and short
// writes. A write that takes no byte at all is an error (EIO), never a loop.
Status WriteAll(int fd, std::string_view bytes, const std::string& path);
// Appends `text` to the file `path`, creating it (mode 0644 less the umask).
Status AppendToFile(const std::string& path, std::string_view text);

// Reads exactly `size` bytes at `offset`; EIO when the file ends first.
Status ReadExactlyAt(int fd, char* buffer, std::size_t size, off_t offset, const std::string& path);
// Writes exactly `size` bytes at `offset`, with WriteAll's rule for no progress.
Status WriteExactlyAt(int fd, const char* buffer, std::size_t size, off_t offset,
                      const std::string& path);

// fsync, retried on EINTR.
Status SyncFd(int fd, const std::string& path);

// The regular file at `path`, opened for reading without ever blocking on a
// FIFO or device put in its place, and what fstat tells of it in `info`.
// Errors: the errno of the failed step, kErrorNotRegularFile (operation "read").
Result<UniqueFd> OpenRegularFile(const std::string& path, struct stat& info);

// The whole of the regular file at `path`, opened as OpenRegularFile does.
// Errors: those of OpenRegularFile, the read's errno, kErrorTooLarge when the
// file holds more than `limit` bytes (also when it grows past it while read).
Result<std::string> ReadRegularFile(const std::string& path, std::size_t limit);

// Whether the files at `a` and `b` hold the same bytes. Both must be regular
// files (kErrorNotRegularFile otherwise); links are followed.
Result<bool> SameContents(const std::string& a, const std::string& b);

// ---- Facts about paths -----------------------------------------------------

// stat / lstat of `path`.
Result<struct stat> StatPath(const std::string& path, bool follow_links = true);
// fstat of an open descriptor.
Result<struct stat> StatOpen(int fd, const std::string& path);

// True when `path` names an existing directory (links followed).
bool DirectoryExists(const std::string& path);

// Whether the caller may create, replace and remove names in `folder`
// (write and search rights, checked with the effective ids).
bool CanWriteFolder(const std::string& folder);
// Whether the caller may write the file `path` (effective ids).
bool CanWriteFile(const std::string& path);

bool SameFile(const struct stat& a, const struct stat& b);

// The target of the symbolic link `name` in the open folder `dir` (AT_FDCWD:
// the current one); `shown` names it in the error.
Result<std::string> ReadLinkAt(int dir, const std::string& name, const std::string& shown);

// The absolute path of `path` with every link and "." and ".." resolved.
Result<std::string> RealPath(const std::string& path);

// ---- Removing and making -------------------------------------------------

// unlink(path): removes the name `path` (never a folder; a link itself, not
// what it leads to).
Status RemoveFile(const std::string& path);

// Creates `folder` and every missing folder above it, from the top down, with
// `mode` (less the umask). An existing directory is success; anything else in
// the way is ENOTDIR. Stops at the first level that cannot be made.
Status CreateFolders(const std::string& folder, mode_t mode);

}  // namespace tessaline
