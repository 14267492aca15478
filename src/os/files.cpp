#include "os/files.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tessaline {

namespace {

// Calls `call` until it ends for a reason other than EINTR.
template <typename Call>
auto Retrying(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

// Calls `step(done, left, offset)`, a read or write of up to `left` bytes,
// until all `size` bytes have moved; a call that moves none is an error (EIO).
template <typename Step>
Status Exactly(Step step, std::size_t size, off_t offset, const char* operation,
               const std::string& path) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n =
        Retrying([&] { return step(done, size - done, offset + static_cast<off_t>(done)); });
    if (n < 0) return SystemError(operation, path, errno);
    if (n == 0) return SystemError(operation, path, EIO);
    done += static_cast<std::size_t>(n);
  }
  return Status::Ok();
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void UniqueFd::Reset() {
  if (fd_ >= 0) CurrentSystem().Close(fd_);
  fd_ = -1;
}

int UniqueFd::Close() {
  const int result = fd_ >= 0 ? CurrentSystem().Close(fd_) : 0;
  fd_ = -1;
  return result;
}

Result<UniqueFd> OpenAt(int dir, const std::string& path, int flags, mode_t mode,
                        const char* operation) {
  System& fs = CurrentSystem();
  const int fd = Retrying([&] { return fs.OpenAt(dir, path.c_str(), flags | O_CLOEXEC, mode); });
  if (fd < 0) return SystemError(operation, path, errno);
  return UniqueFd(fd);
}

Status WriteAll(int fd, std::string_view bytes, const std::string& path) {
  auto step = [&](std::size_t done, std::size_t left, off_t) {
    return CurrentSystem().Write(fd, bytes.data() + done, left);
  };
  return Exactly(step, bytes.size(), 0, "write", path);
}

Status AppendToFile(const std::string& path, std::string_view text) {
  Result<UniqueFd> fd = Open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (!fd.ok()) return fd.status();
  return WriteAll(fd.value().get(), text, path);
}

Status ReadExactlyAt(int fd, char* buffer, std::size_t size, off_t offset,
                     const std::string& path) {
  auto step = [&](std::size_t done, std::size_t left, off_t at) {
    return CurrentSystem().ReadAt(fd, buffer + done, left, at);
  };
  return Exactly(step, size, offset, "read", path);
}

Status WriteExactlyAt(int fd, const char* buffer, std::size_t size, off_t offset,
                      const std::string& path) {
  auto step = [&](std::size_t done, std::size_t left, off_t at) {
    return CurrentSystem().WriteAt(fd, buffer + done, left, at);
  };
  return Exactly(step, size, offset, "write", path);
}

Status SyncFd(int fd, const std::string& path) {
  System& fs = CurrentSystem();
  if (Retrying([&] { return fs.Sync(fd); }) != 0) return SystemError("sync", path, errno);
  return Status::Ok();
}

Result<UniqueFd> OpenRegularFile(const std::string& path, struct stat& info) {
  // O_NONBLOCK: a FIFO put in the file's place must not hang the reader.
  Result<UniqueFd> fd = Open(path, O_RDONLY | O_NONBLOCK);
  if (!fd.ok()) return fd.error();
  Result<struct stat> stat = StatOpen(fd.value().get(), path);
  if (!stat.ok()) return stat.error();
  if (!S_ISREG(stat.value().st_mode)) return SystemError("read", path, kErrorNotRegularFile);
  info = stat.value();
  return fd;
}

Result<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
  struct stat info;
  Result<UniqueFd> fd = OpenRegularFile(path, info);
  if (!fd.ok()) return fd.error();
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    return SystemError("read", path, kErrorTooLarge);
  }
  System& fs = CurrentSystem();
  // One byte more than the file holds, so that the read which finds its end
  // has room.
  std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
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

Result<struct stat> StatPath(const std::string& path, bool follow_links) {
  struct stat info;
  const int flags = follow_links ? 0 : AT_SYMLINK_NOFOLLOW;
  if (CurrentSystem().StatAt(AT_FDCWD, path.c_str(), &info, flags) != 0) {
    return SystemError("stat", path, errno);
  }
  return info;
}

Result<struct stat> StatOpen(int fd, const std::string& path) {
  struct stat info;
  if (CurrentSystem().StatFd(fd, &info) != 0) return SystemError("stat", path, errno);
  return info;
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  Result<struct stat> info = StatPath(path);
  return info.ok() && S_ISDIR(info.value().st_mode);
}

bool CanWriteFolder(const std::string& folder) {
  return CurrentSystem().AccessAt(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool CanWriteFile(const std::string& path) {
  return CurrentSystem().AccessAt(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Result<std::string> ReadLinkAt(int dir, const std::string& name, const std::string& shown) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = CurrentSystem().ReadLinkAt(dir, name.c_str(), target.data(), target.size());
    if (n < 0) return SystemError("readlink", shown, errno);
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

Result<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (CurrentSystem().RealPath(path.c_str(), resolved) == nullptr) {
    return SystemError("realpath", path, errno);
  }
  return std::string(resolved);
}

Status RemoveFile(const std::string& path) {
  if (CurrentSystem().UnlinkAt(AT_FDCWD, path.c_str(), 0) != 0) {
    return SystemError("remove", path, errno);
  }
  return Status::Ok();
}

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
    if (CurrentSystem().MakeDirAt(AT_FDCWD, it->c_str(), mode) != 0 && errno != EEXIST) {
      return SystemError("mkdir", *it, errno);
    }
  }
  return Status::Ok();
}

}  // namespace tessaline
