// The program's one way to the operating system.
//
// System is the seam: every file, folder, lock, environment and clock call of
// the program goes through CurrentSystem(), so that a test can put in its
// place one that fails any chosen step (tests/common/fault_system.h). Its
// calls keep the system calls' contract: -1 (or nullptr) and errno on failure.
//
// Thread use: the System object is shared; replace it (ScopedSystem) only
// while no other thread uses it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace tessaline {

class System {
 public:
  virtual ~System() = default;

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
  // realpath(3) into `resolved` (PATH_MAX bytes).
  virtual char* RealPath(const char* path, char* resolved) = 0;

  // The environment variable `name` (getenv); nullptr when unset.
  virtual const char* Environment(const char* name) = 0;
  // The effective user's id (geteuid).
  virtual uid_t EffectiveUser() = 0;
  // The monotonic clock, and a pause on it (for waits with a deadline).
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void SleepFor(std::chrono::nanoseconds pause) = 0;
};

// The operating system itself (stateless).
System& OperatingSystem();

// The system every call of the program goes through: the operating system,
// unless a ScopedSystem has put another in its place.
System& CurrentSystem();

// Puts `replacement` in place of the current system while it lives.
// The replacement is not owned and must outlive the scope.
class ScopedSystem {
 public:
  explicit ScopedSystem(System& replacement);
  ScopedSystem(const ScopedSystem&) = delete;
  ScopedSystem& operator=(const ScopedSystem&) = delete;
  ~ScopedSystem();

 private:
  System* previous_;
};

}  // namespace tessaline
