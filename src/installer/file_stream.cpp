#include "installer/file_stream.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <random>
#include <utility>

#include "installer/folders.h"

namespace tessaline {

namespace {

// Length of the random part of an unfinished copy's name.
constexpr std::size_t kRandomLength = 6;

// Largest request handed to the kernel's in-place copy at once.
constexpr std::size_t kFastCopyChunk = std::size_t{1} << 30;

// Owns one open file descriptor; closes it when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Holds back SIGXFSZ on this thread while it lives, so that a write beyond
// the file-size limit fails with EFBIG instead of ending the process; a
// signal that our own writes raised is discarded on the way out.
class FileSizeSignalHold {
 public:
  FileSizeSignalHold() {
    sigemptyset(&signal_);
    sigaddset(&signal_, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &signal_, &previous_);
    sigset_t pending;
    sigemptyset(&pending);
    was_pending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
  }
  FileSizeSignalHold(const FileSizeSignalHold&) = delete;
  FileSizeSignalHold& operator=(const FileSizeSignalHold&) = delete;
  ~FileSizeSignalHold() {
    if (!was_pending_) {
      const timespec no_wait{0, 0};
      while (sigtimedwait(&signal_, nullptr, &no_wait) == SIGXFSZ) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t signal_;
  sigset_t previous_;
  bool was_pending_ = false;
};

int OpenAt(int dir, const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::openat(dir, path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string RandomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  std::string suffix(kRandomLength, ' ');
  for (char& c : suffix) c = kChars[pick(generator)];
  return suffix;
}

// Takes the lock that marks an unfinished copy as being worked on.
bool LockExclusive(int fd) {
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Removes the unfinished copies in `dir` whose names start with `prefix` and
// that no running copy holds locked: they were left by a process that died.
void RemoveStalePartialCopies(int dir, const std::string& prefix) {
  const int listing_fd = OpenAt(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing_fd < 0) return;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    ::close(listing_fd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix) != 0)
      continue;
    UniqueFd fd(OpenAt(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened, named;
    if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    if (!LockExclusive(fd.get())) continue;  // a copy in progress
    if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
      ::unlinkat(dir, name.c_str(), 0);
  }
  ::closedir(listing);
}

// The new file that becomes the target once it is complete. It is created
// unnamed where the file system allows (nothing to clean up if the process
// dies), else under a name starting with the partial-copy prefix. Either way
// it is locked, so that another run does not take it for a stale copy. The
// destructor removes a named file that was not put in place.
class PartialCopy {
 public:
  PartialCopy(int dir, std::string prefix) : dir_(dir), prefix_(std::move(prefix)) {}
  PartialCopy(const PartialCopy&) = delete;
  PartialCopy& operator=(const PartialCopy&) = delete;
  ~PartialCopy() {
    fd_.Reset();
    if (!name_.empty()) ::unlinkat(dir_, name_.c_str(), 0);
  }

  int fd() const { return fd_.get(); }

  // False when no new file can be made in the folder.
  bool Create() {
    fd_ = UniqueFd(OpenAt(dir_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0755));
    if (fd_.valid()) {
      LockExclusive(fd_.get());  // unreachable by others until named
      return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = prefix_ + RandomSuffix();
      UniqueFd fd(
          OpenAt(dir_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0755));
      if (!fd.valid()) {
        if (errno == EEXIST) continue;
        return false;
      }
      // Between creation and locking a cleaner may have taken the file for a
      // stale one; make sure the name still leads to our file.
      struct stat opened, named;
      if (!LockExclusive(fd.get()) || ::fstat(fd.get(), &opened) != 0 ||
          ::fstatat(dir_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
          !SameFile(opened, named))
        continue;
      fd_ = std::move(fd);
      name_ = std::move(name);
      return true;
    }
    return false;
  }

  // Gives an unnamed file a partial-copy name, then renames it to `target`.
  // Returns 0 or the errno of the step that failed.
  int PutInPlace(const std::string& target) {
    if (name_.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
      for (int attempt = 0; attempt < 100 && name_.empty(); ++attempt) {
        std::string name = prefix_ + RandomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), dir_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(fd_.get(), "", dir_, name.c_str(), AT_EMPTY_PATH) == 0) {
          name_ = std::move(name);
        } else if (errno != EEXIST) {
          return errno;
        }
      }
      if (name_.empty()) return EEXIST;
    }
    if (::renameat(dir_, name_.c_str(), dir_, target.c_str()) != 0) return errno;
    name_.clear();
    return 0;
  }

 private:
  int dir_;
  std::string prefix_;
  UniqueFd fd_;
  std::string name_;
};

// Moves exactly `size` bytes at `offset` through `transfer` (pread or pwrite),
// resuming after interruptions and short transfers; false on an error or when
// the file ends early.
template <typename Buffer, typename Transfer>
bool TransferPiece(Transfer transfer, int fd, Buffer* buffer, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t n = transfer(fd, buffer, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return true;
}

bool ReadPiece(int fd, char* buffer, std::size_t size, off_t offset) {
  return TransferPiece(::pread, fd, buffer, size, offset);
}

bool WritePiece(int fd, const char* buffer, std::size_t size, off_t offset) {
  return TransferPiece(::pwrite, fd, buffer, size, offset);
}

// Copies `size` bytes from the start of `in` to the start of `out`. The kernel
// copies in place while it can; when it cannot or fails, the rest goes through
// plain reads and writes of kCopyPieceSize bytes, which tell a failing source
// from a failing target.
void CopyContents(int in, int out, off_t size) {
  off_t done = 0;
  bool in_kernel = true;
  std::unique_ptr<char[]> buffer;
  while (done < size) {
    if (in_kernel) {
      off_t in_offset = done;
      off_t out_offset = done;
      const std::size_t want =
          static_cast<std::size_t>(std::min<off_t>(size - done, kFastCopyChunk));
      const ssize_t n = ::copy_file_range(in, &in_offset, out, &out_offset, want, 0);
      if (n > 0) {
        done += n;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      in_kernel = false;
      continue;
    }
    const std::size_t piece =
        static_cast<std::size_t>(std::min<off_t>(size - done, kCopyPieceSize));
    if (!buffer) buffer = std::make_unique<char[]>(piece);
    if (!ReadPiece(in, buffer.get(), piece, done)) throw EReadError("Stream read error");
    if (!WritePiece(out, buffer.get(), piece, done)) throw EWriteError("Stream write error");
    done += static_cast<off_t>(piece);
  }
}

int SyncRetrying(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

std::string PartialCopyPrefix(const std::string& target_file_name) {
  return "." + target_file_name + ".part-";
}

void CopyFileReplacing(const std::string& source, const std::string& target) {
  const auto cannot_create = [&target] { return EFCreateError("Cannot create file " + target); };

  UniqueFd in(OpenAt(AT_FDCWD, source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat source_info;
  if (!in.valid() || ::fstat(in.get(), &source_info) != 0 || !S_ISREG(source_info.st_mode))
    throw EFOpenError("Cannot open file " + source);

  // Only a regular file at the target may be replaced, and never the source
  // itself: that would destroy what is being copied.
  const auto check_target = [&] {
    struct stat target_info;
    if (::stat(target.c_str(), &target_info) == 0 &&
        (!S_ISREG(target_info.st_mode) || SameFile(target_info, source_info)))
      throw cannot_create();
  };
  check_target();

  const std::string folder = DirectoryPart(target);
  const std::string file_name = target.substr(folder.size());
  if (file_name.empty()) throw cannot_create();
  UniqueFd dir(
      OpenAt(AT_FDCWD, folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.valid()) throw cannot_create();

  const std::string prefix = PartialCopyPrefix(file_name);
  RemoveStalePartialCopies(dir.get(), prefix);
  PartialCopy copy(dir.get(), prefix);
  if (!copy.Create()) throw cannot_create();

  {
    FileSizeSignalHold hold;
    CopyContents(in.get(), copy.fd(), source_info.st_size);
    if (SyncRetrying(copy.fd()) != 0) throw EWriteError("Stream write error");
  }

  // The name may have changed meanwhile; check again right before replacing.
  check_target();
  if (const int error = copy.PutInPlace(file_name); error != 0) {
    if (error == ENOSPC || error == EDQUOT || error == EIO) throw EWriteError("Stream write error");
    throw cannot_create();
  }
  // Make the new directory entry durable too; a file system that cannot sync
  // a directory still has the file in place.
  SyncRetrying(dir.get());
}

}  // namespace tessaline
