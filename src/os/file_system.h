// The program's one way to the operating system's files, folders and locks.
//
// FileSystem is the seam: every file operation of the program goes through
// the object that CurrentFileSystem() returns, so that a test can put one in
// its place that fails any chosen step (see tests/common/fault_file_system.h).
// Its calls keep the system calls' own contract: -1 (or nullptr) and errno on
// failure. The free functions below it build the program's file work on top:
// an owned descriptor, whole-file reads with a limit, folder creation, path
// parts. They retry calls that EINTR interrupted and report failures as
// SystemError values; none of them raises.
//
// Thread use: the FileSystem object is shared; PosixFileSystem holds no state.
// Replace it (ScopedFileSystem) only while no other thread uses files.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "os/system_error.h"

namespace tessaline {

// The longest path the system opens, in bytes (PATH_MAX less its NUL).
inline constexpr std::size_t kMaxPathLength = 4095;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual int OpenAt(int dir, const char* path, int flags, mode_t mode) = 0;
  virtual int Close(int fd) = 0;
  virtual ssize_t Read(int fd, void* buffer, std::size_t size) = 0;
  virtual ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) = 0;
  virtual ssize_t Write(int fd, const void* buffer, std::size_t size) = 0;
  virtual ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) = 0;
  // copy_file_range: the kernel copies without the bytes passing through us.
  virtual ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                            std::size_t size) = 0;
  virtual int Sync(int fd) = 0;
  virtual int StatAt(int dir, const char* path, struct stat* info, int flags) = 0;
  virtual int StatFd(int fd, struct stat* info) = 0;
  virtual int AccessAt(int dir, const char* path, int mode, int flags) = 0;
  virtual int MakeDirAt(int dir, const char* path, mode_t mode) = 0;
  virtual int LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                     int flags) = 0;
  // renameat2: `flags` 0 or RENAME_EXCHANGE (swap the two names).
  virtual int RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                       unsigned flags) = 0;
  virtual int UnlinkAt(int dir, const char* path, int flags) = 0;
  virtual int Lock(int fd, int operation) = 0;  // flock
  virtual int ChangeMode(int fd, mode_t mode) = 0;
  virtual int ChangeOwner(int fd, uid_t owner, gid_t group) = 0;
  virtual ssize_t ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) = 0;
  // The names in the open folder `dir` (without "." and ".."); 0 or -1.
  virtual int ListFolder(int dir, std::vector<std::string>& names) = 0;
  // Extended attributes (getxattr of a path, fsetxattr of an open file).
  virtual ssize_t GetAttribute(const char* path, const char* name, void* buffer,
                               std::size_t size) = 0;
  virtual int SetAttribute(int fd, const char* name, const void* value, std::size_t size) = 0;
  // The inode flags of an open file or folder (FS_IOC_GETFLAGS).
  virtual int GetInodeFlags(int fd, int* flags) = 0;
};

// The operating system itself.
class PosixFileSystem : public FileSystem {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) override;
  int Close(int fd) override;
  ssize_t Read(int fd, void* buffer, std::size_t size) override;
  ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) override;
  ssize_t Write(int fd, const void* buffer, std::size_t size) override;
  ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) override;
  ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                    std::size_t size) override;
  int Sync(int fd) override;
  int StatAt(int dir, const char* path, struct stat* info, int flags) override;
  int StatFd(int fd, struct stat* info) override;
  int AccessAt(int dir, const char* path, int mode, int flags) override;
  int MakeDirAt(int dir, const char* path, mode_t mode) override;
  int LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
             int flags) override;
  int RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
               unsigned flags) override;
  int UnlinkAt(int dir, const char* path, int flags) override;
  int Lock(int fd, int operation) override;
  int ChangeMode(int fd, mode_t mode) override;
  int ChangeOwner(int fd, uid_t owner, gid_t group) override;
  ssize_t ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) override;
  int ListFolder(int dir, std::vector<std::string>& names) override;
  ssize_t GetAttribute(const char* path, const char* name, void* buffer, std::size_t size) override;
  int SetAttribute(int fd, const char* name, const void* value, std::size_t size) override;
  int GetInodeFlags(int fd, int* flags) override;
};

// The file system every call below uses: the operating system, unless a
// ScopedFileSystem has put another in its place.
FileSystem& CurrentFileSystem();

// Puts `replacement` in place of the current file system while it lives.
// The replacement is not owned and must outlive the scope.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
  ~ScopedFileSystem();

 private:
  FileSystem* previous_;
};

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

// Reads exactly `size` bytes at `offset`; EIO when the file ends first.
Status ReadExactlyAt(int fd, char* buffer, std::size_t size, off_t offset, const std::string& path);
// Appends `text` to the file `path`, creating it (mode 0644 less the umask).
Status AppendToFile(const std::string& path, std::string_view text);

// Writes exactly `size` bytes at `offset`, with WriteAll's rule for no progress.
Status WriteExactlyAt(int fd, const char* buffer, std::size_t size, off_t offset,
                      const std::string& path);

// fsync, retried on EINTR.
Status SyncFd(int fd, const std::string& path);
// Opens the folder `folder` and syncs it, so that the names made in it last.
Status SyncFolder(const std::string& folder);

// The regular file at `path`, opened for reading (with `flags` added, such as
// O_NOFOLLOW) without ever blocking on a FIFO or device put in its place, and
// what fstat tells of it in `info`. Errors: the errno of the failed step,
// kErrorNotRegularFile (operation "read").
Result<UniqueFd> OpenRegularFile(const std::string& path, struct stat& info, int flags = 0);

// The whole of the regular file at `path`, read without ever blocking on a
// FIFO or device put in its place. Errors: the errno of the failed step
// (ENOENT for a missing file), kErrorNotRegularFile, kErrorTooLarge when the
// file holds more than `limit` bytes (also when it grows past it while read).
// With `follow_links` false, a link at `path` is refused (ELOOP).
Result<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                    bool follow_links = true);

// Whether the regular file at `path` holds exactly `bytes`, compared piece by
// piece through a small buffer, so that checking a large file costs no copy
// of it. Errors as ReadRegularFile's (without the limit).
Result<bool> FileHolds(const std::string& path, std::string_view bytes);

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

// The target of the symbolic link `path`.
Result<std::string> ReadLink(const std::string& path);

// The absolute path of `path` with every link and "." and ".." resolved.
Result<std::string> RealPath(const std::string& path);

// ---- Path parts ("/" separates) ------------------------------------------

// Everything up to and including the last "/" of `path`; empty when it has
// none ("/a/b" -> "/a/", "/a/b/" -> "/a/b/", "b" -> "").
std::string DirectoryPart(std::string_view path);
// Everything after the last "/" ("/a/b" -> "b", "/a/" -> "").
std::string FileNamePart(std::string_view path);
// The folder that holds `path`, as it can be opened: its directory part
// without the trailing "/" ("/" for the root's children, "." for a bare name).
std::string ContainingFolder(std::string_view path);

// ---- Removing ----------------------------------------------------------------

// unlink(path): removes the name `path` (never a folder; a link itself, not
// what it leads to).
Status RemoveFile(const std::string& path);

// ---- Folders ---------------------------------------------------------------

// Creates `folder` and every missing folder above it, from the top down, with
// `mode` (less the umask). An existing directory is success; anything else in
// the way is ENOTDIR. Stops at the first level that cannot be made.
Status CreateFolders(const std::string& folder, mode_t mode);

}  // namespace tessaline
