#include "os/system.h"

#include <dirent.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace tessaline {

namespace {

class PosixSystem final : public System {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) override {
    return ::openat(dir, path, flags, mode);
  }
  int Close(int fd) override { return ::close(fd); }
  ssize_t Read(int fd, void* buffer, std::size_t size) override { return ::read(fd, buffer, size); }
  ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) override {
    return ::pread(fd, buffer, size, offset);
  }
  ssize_t Write(int fd, const void* buffer, std::size_t size) override {
    return ::write(fd, buffer, size);
  }
  ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) override {
    return ::pwrite(fd, buffer, size, offset);
  }
  ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                    std::size_t size) override {
    return ::copy_file_range(in, in_offset, out, out_offset, size, 0);
  }
  int Sync(int fd) override { return ::fsync(fd); }
  int StatAt(int dir, const char* path, struct stat* info, int flags) override {
    return ::fstatat(dir, path, info, flags);
  }
  int StatFd(int fd, struct stat* info) override { return ::fstat(fd, info); }
  int AccessAt(int dir, const char* path, int mode, int flags) override {
    return ::faccessat(dir, path, mode, flags);
  }
  int MakeDirAt(int dir, const char* path, mode_t mode) override {
    return ::mkdirat(dir, path, mode);
  }
  int LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
             int flags) override {
    return ::linkat(old_dir, old_path, new_dir, new_path, flags);
  }
  int RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
               unsigned flags) override {
    return ::renameat2(old_dir, old_path, new_dir, new_path, flags);
  }
  int UnlinkAt(int dir, const char* path, int flags) override {
    return ::unlinkat(dir, path, flags);
  }
  int Lock(int fd, int operation) override { return ::flock(fd, operation); }
  int ChangeMode(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
  int ChangeOwner(int fd, uid_t owner, gid_t group) override { return ::fchown(fd, owner, group); }
  ssize_t ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) override {
    return ::readlinkat(dir, path, buffer, size);
  }
  int ListFolder(int dir, std::vector<std::string>& names) override;
  ssize_t GetAttribute(const char* path, const char* name, void* buffer,
                       std::size_t size) override {
    return ::getxattr(path, name, buffer, size);
  }
  int SetAttribute(int fd, const char* name, const void* value, std::size_t size) override {
    return ::fsetxattr(fd, name, value, size, 0);
  }
  int GetInodeFlags(int fd, int* flags) override { return ::ioctl(fd, FS_IOC_GETFLAGS, flags); }
  char* RealPath(const char* path, char* resolved) override { return ::realpath(path, resolved); }
  const char* Environment(const char* name) override { return std::getenv(name); }
  uid_t EffectiveUser() override { return ::geteuid(); }
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void SleepFor(std::chrono::nanoseconds pause) override { std::this_thread::sleep_for(pause); }
};

int PosixSystem::ListFolder(int dir, std::vector<std::string>& names) {
  // fdopendir takes the descriptor it is given; give it a copy of our own.
  const int listing_fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing_fd < 0) return -1;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    const int error = errno;
    ::close(listing_fd);
    errno = error;
    return -1;
  }
  names.clear();
  errno = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(listing);
  errno = error;
  return error == 0 ? 0 : -1;
}

System* current_system = &OperatingSystem();

}  // namespace

System& OperatingSystem() {
  static PosixSystem system;
  return system;
}

System& CurrentSystem() {
  return *current_system;
}

ScopedSystem::ScopedSystem(System& replacement) : previous_(current_system) {
  current_system = &replacement;
}

ScopedSystem::~ScopedSystem() {
  current_system = previous_;
}

}  // namespace tessaline
