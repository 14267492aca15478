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

PosixSystem& OperatingSystem() {
  static PosixSystem system;
  return system;
}

System* current_system = &OperatingSystem();

}  // namespace

// ---- The operating system --------------------------------------------------

int PosixSystem::OpenAt(int dir, const char* path, int flags, mode_t mode) {
  return ::openat(dir, path, flags, mode);
}
int PosixSystem::Close(int fd) {
  return ::close(fd);
}
ssize_t PosixSystem::Read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
ssize_t PosixSystem::ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
  return ::pread(fd, buffer, size, offset);
}
ssize_t PosixSystem::Write(int fd, const void* buffer, std::size_t size) {
  return ::write(fd, buffer, size);
}
ssize_t PosixSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) {
  return ::pwrite(fd, buffer, size, offset);
}
ssize_t PosixSystem::CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                                   std::size_t size) {
  return ::copy_file_range(in, in_offset, out, out_offset, size, 0);
}
int PosixSystem::Sync(int fd) {
  return ::fsync(fd);
}
int PosixSystem::StatAt(int dir, const char* path, struct stat* info, int flags) {
  return ::fstatat(dir, path, info, flags);
}
int PosixSystem::StatFd(int fd, struct stat* info) {
  return ::fstat(fd, info);
}
int PosixSystem::AccessAt(int dir, const char* path, int mode, int flags) {
  return ::faccessat(dir, path, mode, flags);
}
int PosixSystem::MakeDirAt(int dir, const char* path, mode_t mode) {
  return ::mkdirat(dir, path, mode);
}
int PosixSystem::LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                            int flags) {
  return ::linkat(old_dir, old_path, new_dir, new_path, flags);
}
int PosixSystem::RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                              unsigned flags) {
  return ::renameat2(old_dir, old_path, new_dir, new_path, flags);
}
int PosixSystem::UnlinkAt(int dir, const char* path, int flags) {
  return ::unlinkat(dir, path, flags);
}
int PosixSystem::Lock(int fd, int operation) {
  return ::flock(fd, operation);
}
int PosixSystem::ChangeMode(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int PosixSystem::ChangeOwner(int fd, uid_t owner, gid_t group) {
  return ::fchown(fd, owner, group);
}
ssize_t PosixSystem::ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) {
  return ::readlinkat(dir, path, buffer, size);
}
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

ssize_t PosixSystem::GetAttribute(const char* path, const char* name, void* buffer,
                                      std::size_t size) {
  return ::getxattr(path, name, buffer, size);
}
int PosixSystem::SetAttribute(int fd, const char* name, const void* value, std::size_t size) {
  return ::fsetxattr(fd, name, value, size, 0);
}
int PosixSystem::GetInodeFlags(int fd, int* flags) {
  return ::ioctl(fd, FS_IOC_GETFLAGS, flags);
}

char* PosixSystem::RealPath(const char* path, char* resolved) {
  return ::realpath(path, resolved);
}
const char* PosixSystem::Environment(const char* name) {
  return std::getenv(name);
}
uid_t PosixSystem::EffectiveUser() {
  return ::geteuid();
}
std::chrono::steady_clock::time_point PosixSystem::Now() {
  return std::chrono::steady_clock::now();
}
void PosixSystem::SleepFor(std::chrono::nanoseconds pause) {
  std::this_thread::sleep_for(pause);
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
