#include "os/file_system.h"

#include <dirent.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "os/memory.h"

namespace tessaline {

namespace {

PosixFileSystem& OperatingSystem() {
  static PosixFileSystem system;
  return system;
}

FileSystem* current_file_system = &OperatingSystem();

// Calls `call` until it ends for a reason other than EINTR.
template <typename Call>
auto Retrying(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

}  // namespace

// ---- The operating system --------------------------------------------------

int PosixFileSystem::OpenAt(int dir, const char* path, int flags, mode_t mode) {
  return ::openat(dir, path, flags, mode);
}
int PosixFileSystem::Close(int fd) {
  return ::close(fd);
}
ssize_t PosixFileSystem::Read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
ssize_t PosixFileSystem::ReadAt(int fd, void* buffer, std::size_t size, off_t offset) {
  return ::pread(fd, buffer, size, offset);
}
ssize_t PosixFileSystem::Write(int fd, const void* buffer, std::size_t size) {
  return ::write(fd, buffer, size);
}
ssize_t PosixFileSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) {
  return ::pwrite(fd, buffer, size, offset);
}
ssize_t PosixFileSystem::CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                                   std::size_t size) {
  return ::copy_file_range(in, in_offset, out, out_offset, size, 0);
}
int PosixFileSystem::Sync(int fd) {
  return ::fsync(fd);
}
int PosixFileSystem::StatAt(int dir, const char* path, struct stat* info, int flags) {
  return ::fstatat(dir, path, info, flags);
}
int PosixFileSystem::StatFd(int fd, struct stat* info) {
  return ::fstat(fd, info);
}
int PosixFileSystem::AccessAt(int dir, const char* path, int mode, int flags) {
  return ::faccessat(dir, path, mode, flags);
}
int PosixFileSystem::MakeDirAt(int dir, const char* path, mode_t mode) {
  return ::mkdirat(dir, path, mode);
}
int PosixFileSystem::LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                            int flags) {
  return ::linkat(old_dir, old_path, new_dir, new_path, flags);
}
int PosixFileSystem::RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
                              unsigned flags) {
  return ::renameat2(old_dir, old_path, new_dir, new_path, flags);
}
int PosixFileSystem::UnlinkAt(int dir, const char* path, int flags) {
  return ::unlinkat(dir, path, flags);
}
int PosixFileSystem::Lock(int fd, int operation) {
  return ::flock(fd, operation);
}
int PosixFileSystem::ChangeMode(int fd, mode_t mode) {
  return ::fchmod(fd, mode);
}
int PosixFileSystem::ChangeOwner(int fd, uid_t owner, gid_t group) {
  return ::fchown(fd, owner, group);
}
ssize_t PosixFileSystem::ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) {
  return ::readlinkat(dir, path, buffer, size);
}
int PosixFileSystem::ListFolder(int dir, std::vector<std::string>& names) {
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

ssize_t PosixFileSystem::GetAttribute(const char* path, const char* name, void* buffer,
                                      std::size_t size) {
  return ::getxattr(path, name, buffer, size);
}
int PosixFileSystem::SetAttribute(int fd, const char* name, const void* value, std::size_t size) {
  return ::fsetxattr(fd, name, value, size, 0);
}
int PosixFileSystem::GetInodeFlags(int fd, int* flags) {
  return ::ioctl(fd, FS_IOC_GETFLAGS, flags);
}

FileSystem& CurrentFileSystem() {
  return *current_file_system;
}

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(current_file_system) {
  current_file_system = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() {
  current_file_system = previous_;
}

// ---- Descriptors -------------------------------------------------------------

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void UniqueFd::Reset() {
  if (fd_ >= 0) CurrentFileSystem().Close(fd_);
  fd_ = -1;
}

int UniqueFd::Close() {
  const int result = fd_ >= 0 ? CurrentFileSystem().Close(fd_) : 0;
  fd_ = -1;
  return result;
}

// ---- Opening, reading, writing ---------------------------------------------

Result<UniqueFd> OpenAt(int dir, const std::string& path, int flags, mode_t mode,
                        const char* operation) {
  FileSystem& fs = CurrentFileSystem();
  const int fd = Retrying([&] { return fs.OpenAt(dir, path.c_str(), flags | O_CLOEXEC, mode); });
  if (fd < 0) return SystemError(operation, path, errno);
  return UniqueFd(fd);
}

Status WriteAll(int fd, std::string_view bytes, const std::string& path) {
  FileSystem& fs = CurrentFileSystem();
  while (!bytes.empty()) {
    const ssize_t n = Retrying([&] { return fs.Write(fd, bytes.data(), bytes.size()); });
    if (n < 0) return SystemError("write", path, errno);
    if (n == 0) return SystemError("write", path, EIO);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return Status::Ok();
}

Status AppendToFile(const std::string& path, std::string_view text) {
  Result<UniqueFd> fd = Open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (!fd.ok()) return fd.status();
  return WriteAll(fd.value().get(), text, path);
}

Status ReadExactlyAt(int fd, char* buffer, std::size_t size, off_t offset,
                     const std::string& path) {
  FileSystem& fs = CurrentFileSystem();
  while (size > 0) {
    const ssize_t n = Retrying([&] { return fs.ReadAt(fd, buffer, size, offset); });
    if (n < 0) return SystemError("read", path, errno);
    if (n == 0) return SystemError("read", path, EIO);  // the file ended early
    buffer += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return Status::Ok();
}

Status WriteExactlyAt(int fd, const char* buffer, std::size_t size, off_t offset,
                      const std::string& path) {
  FileSystem& fs = CurrentFileSystem();
  while (size > 0) {
    const ssize_t n = Retrying([&] { return fs.WriteAt(fd, buffer, size, offset); });
    if (n < 0) return SystemError("write", path, errno);
    if (n == 0) return SystemError("write", path, EIO);
    buffer += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return Status::Ok();
}

Status SyncFd(int fd, const std::string& path) {
  FileSystem& fs = CurrentFileSystem();
  if (Retrying([&] { return fs.Sync(fd); }) != 0) return SystemError("sync", path, errno);
  return Status::Ok();
}

Status SyncFolder(const std::string& folder) {
  Result<UniqueFd> fd = Open(folder, O_RDONLY | O_DIRECTORY);
  if (!fd.ok()) return fd.status();
  return SyncFd(fd.value().get(), folder);
}

Result<UniqueFd> OpenRegularFile(const std::string& path, struct stat& info, int flags) {
  // O_NONBLOCK: a FIFO put in the file's place must not hang the reader.
  Result<UniqueFd> fd = Open(path, O_RDONLY | O_NONBLOCK | flags);
  if (!fd.ok()) return fd.error();
  Result<struct stat> stat = StatOpen(fd.value().get(), path);
  if (!stat.ok()) return stat.error();
  if (!S_ISREG(stat.value().st_mode)) return SystemError("read", path, kErrorNotRegularFile);
  info = stat.value();
  return fd;
}

Result<std::string> ReadRegularFile(const std::string& path, std::size_t limit, bool follow_links) {
  struct stat info;
  Result<UniqueFd> fd = OpenRegularFile(path, info, follow_links ? 0 : O_NOFOLLOW);
  if (!fd.ok()) return fd.error();
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    return SystemError("read", path, kErrorTooLarge);
  }
  FileSystem& fs = CurrentFileSystem();
  // One byte more than the file holds, so that the read which finds its end
  // has room and the text is never grown (which would copy it) or doubled.
  // A text read is often edited and written back: room for a little growth
  // is kept too, so that the edit need not move it. (The room of a large
  // text costs no memory until it is used: such blocks are mapped page by
  // page as they are touched.)
  const auto size = static_cast<std::size_t>(info.st_size);
  std::string text;
  text.reserve(size + 1 + size / 32);
  PrepareToWrite(text.data(), size + 1);
  text.resize(size + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) {
      if (done > limit) return SystemError("read", path, kErrorTooLarge);
      // The file grew since it was measured.
      text.resize(done + 4096);
    }
    const ssize_t n =
        Retrying([&] { return fs.Read(fd.value().get(), &text[done], text.size() - done); });
    if (n < 0) return SystemError("read", path, errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done > limit) return SystemError("read", path, kErrorTooLarge);
  text.resize(done);
  return text;
}

Result<bool> FileHolds(const std::string& path, std::string_view bytes) {
  struct stat info;
  Result<UniqueFd> fd = OpenRegularFile(path, info);
  if (!fd.ok()) return fd.error();
  if (static_cast<std::uint64_t>(info.st_size) != bytes.size()) return false;
  FileSystem& fs = CurrentFileSystem();
  std::vector<char> piece(std::size_t{64} << 10);
  std::size_t done = 0;
  for (;;) {
    const ssize_t n =
        Retrying([&] { return fs.Read(fd.value().get(), piece.data(), piece.size()); });
    if (n < 0) return SystemError("read", path, errno);
    if (n == 0) return done == bytes.size();
    const auto got = static_cast<std::size_t>(n);
    if (got > bytes.size() - done || std::memcmp(piece.data(), bytes.data() + done, got) != 0) {
      return false;  // longer than it was (it grew) or different
    }
    done += got;
  }
}

Result<bool> SameContents(const std::string& a, const std::string& b) {
  struct stat info_a, info_b;
  Result<UniqueFd> fd_a = OpenRegularFile(a, info_a);
  if (!fd_a.ok()) return fd_a.error();
  Result<UniqueFd> fd_b = OpenRegularFile(b, info_b);
  if (!fd_b.ok()) return fd_b.error();
  if (info_a.st_size != info_b.st_size) return false;
  constexpr std::size_t kChunk = 64 * 1024;
  std::string chunk_a(kChunk, '\0'), chunk_b(kChunk, '\0');
  for (off_t at = 0; at < info_a.st_size;) {
    const auto size =
        static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(kChunk), info_a.st_size - at));
    if (Status s = ReadExactlyAt(fd_a.value().get(), chunk_a.data(), size, at, a); !s.ok()) {
      return s.error();
    }
    if (Status s = ReadExactlyAt(fd_b.value().get(), chunk_b.data(), size, at, b); !s.ok()) {
      return s.error();
    }
    if (std::string_view(chunk_a.data(), size) != std::string_view(chunk_b.data(), size)) {
      return false;
    }
    at += static_cast<off_t>(size);
  }
  return true;
}

// ---- Facts about paths -----------------------------------------------------

Result<struct stat> StatPath(const std::string& path, bool follow_links) {
  struct stat info;
  const int flags = follow_links ? 0 : AT_SYMLINK_NOFOLLOW;
  if (CurrentFileSystem().StatAt(AT_FDCWD, path.c_str(), &info, flags) != 0) {
    return SystemError("stat", path, errno);
  }
  return info;
}

Result<struct stat> StatOpen(int fd, const std::string& path) {
  struct stat info;
  if (CurrentFileSystem().StatFd(fd, &info) != 0) return SystemError("stat", path, errno);
  return info;
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  Result<struct stat> info = StatPath(path);
  return info.ok() && S_ISDIR(info.value().st_mode);
}

bool CanWriteFolder(const std::string& folder) {
  return CurrentFileSystem().AccessAt(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool CanWriteFile(const std::string& path) {
  return CurrentFileSystem().AccessAt(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Result<std::string> ReadLink(const std::string& path) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n =
        CurrentFileSystem().ReadLinkAt(AT_FDCWD, path.c_str(), target.data(), target.size());
    if (n < 0) return SystemError("readlink", path, errno);
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

Result<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return SystemError("realpath", path, errno);
  return std::string(resolved);
}

// ---- Path parts ----------------------------------------------------------------

std::string DirectoryPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNamePart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ContainingFolder(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

// ---- Removing ----------------------------------------------------------------

Status RemoveFile(const std::string& path) {
  if (CurrentFileSystem().UnlinkAt(AT_FDCWD, path.c_str(), 0) != 0) {
    return SystemError("remove", path, errno);
  }
  return Status::Ok();
}

// ---- Folders -----------------------------------------------------------------

Status CreateFolders(const std::string& folder, mode_t mode) {
  // Climb to the nearest level that exists, then make the missing ones on the
  // way back down. No recursion: a path may have thousands of levels.
  std::vector<std::string> missing;
  std::string level = folder;
  while (level.size() > 1 && level.back() == '/') level.pop_back();
  for (;;) {
    Result<struct stat> info = StatPath(level);
    if (info.ok()) {
      if (!S_ISDIR(info.value().st_mode)) return SystemError("mkdir", level, ENOTDIR);
      break;
    }
    if (info.code() != ENOENT) return info.status();
    missing.push_back(level);
    const std::string parent = ContainingFolder(level);
    if (parent == level || parent == ".") break;
    level = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (CurrentFileSystem().MakeDirAt(AT_FDCWD, it->c_str(), mode) != 0 && errno != EEXIST) {
      return SystemError("mkdir", *it, errno);
    }
  }
  return Status::Ok();
}

}  // namespace tessaline
