#include "registry/hive_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tessaline {

namespace {

// A hive larger than this is refused rather than read into memory.
constexpr off_t kMaxHiveSize = off_t{64} << 20;

std::string ErrnoText(int error) {
  return std::strerror(error);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw ERegistryException(what + " '" + path + "': " + ErrnoText(error));
}

std::string DirName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Whether files can be created, replaced and removed in `folder`.
bool CanWriteFolder(const std::string& folder) {
  return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Reset(); }
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes and reports close's own result (a delayed write error).
  int Close() {
    int rc = close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

// A flock on "<hive>.lock", held for the object's life. A shared lock that
// cannot be had because the lock file cannot be opened (read-only folder, no
// folder yet) is skipped: nobody can be writing through this lock then either.
class HiveLock {
 public:
  HiveLock(const std::string& hive, bool exclusive) {
    const std::string lock_path = hive + ".lock";
    for (;;) {
      int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) fd = open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        if (exclusive) Fail("Cannot open the registry lock file", lock_path, errno);
        return;
      }
      fd_.Reset(fd);
      int rc;
      do {
        rc = flock(fd, exclusive ? LOCK_EX : LOCK_SH);
      } while (rc != 0 && errno == EINTR);
      if (rc != 0) Fail("Cannot lock the registry lock file", lock_path, errno);
      // The lock only counts when it is on the file that is there now; one
      // removed or replaced in the meantime is tried again.
      struct stat held, now;
      if (fstat(fd, &held) == 0 && stat(lock_path.c_str(), &now) == 0 &&
          held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
        return;
      }
    }
  }

 private:
  FileDescriptor fd_;
};

// Reads the whole regular file at `path` into `text`; false when it does not
// exist. Raises for every other failure.
bool ReadWhole(const std::string& path, std::string& text) {
  // O_NONBLOCK: a FIFO put in the hive's place must not hang the reader.
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno == ENOENT) return false;
    Fail("Cannot open the registry file", path, errno);
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) Fail("Cannot read the registry file", path, errno);
  if (!S_ISREG(st.st_mode)) {
    throw ERegistryException("The registry file '" + path + "' is not a regular file");
  }
  if (st.st_size > kMaxHiveSize) {
    throw ERegistryException("The registry file '" + path + "' is too large");
  }
  text.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) text.resize(done + 4096);  // the file grew
    ssize_t n = read(fd.get(), text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot read the registry file", path, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
    if (done > static_cast<std::size_t>(kMaxHiveSize)) {
      throw ERegistryException("The registry file '" + path + "' is too large");
    }
  }
  text.resize(done);
  return true;
}

// mkdir -p with mode 0755.
void MakeFolders(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) Fail("Cannot create the registry folder", folder, ENOTDIR);
    return;
  }
  const std::string parent = DirName(folder);
  if (parent != folder) MakeFolders(parent);
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    Fail("Cannot create the registry folder", folder, errno);
  }
}

}  // namespace

std::string DefaultHivePath() {
  const char* explicit_path = std::getenv("WENLORA_REGISTRY");
  if (explicit_path != nullptr && *explicit_path != '\0') return explicit_path;
  std::string data_home;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    data_home = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      const passwd* pw = getpwuid(getuid());
      home = pw != nullptr ? pw->pw_dir : nullptr;
    }
    if (home == nullptr || *home == '\0') return {};
    data_home = std::string(home) + "/.local/share";
  }
  return data_home + "/wenlora/system.reg";
}

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {}

std::string HiveFile::Target() const {
  struct stat st;
  if (!path_.empty() && lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path_.c_str(), resolved) != nullptr) return resolved;
  }
  return path_;
}

bool HiveFile::Writable() const {
  if (path_.empty()) return false;
  const std::string target = Target();
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    return S_ISREG(st.st_mode) && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 &&
           CanWriteFolder(DirName(target));
  }
  if (errno != ENOENT) return false;
  std::string folder = DirName(target);
  while (stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    std::string parent = DirName(folder);
    if (parent == folder) return false;
    folder = std::move(parent);
  }
  return S_ISDIR(st.st_mode) && CanWriteFolder(folder);
}

void HiveFile::LoadLocked(const std::string& target) {
  std::string text;
  ReadWhole(target, text);
  if (cache_valid_ && text == cached_text_) return;
  cache_valid_ = false;
  try {
    cached_hive_ = ParseHive(text);
  } catch (const HiveSyntaxError& e) {
    throw ERegistryException("The registry file '" + target + "' is damaged at line " +
                             std::to_string(e.line()) + ": " + e.reason());
  }
  cached_text_ = std::move(text);
  cache_valid_ = true;
}

const Hive& HiveFile::Read() {
  if (path_.empty()) throw ERegistryException("No registry file: HOME is not set");
  const std::string target = Target();
  struct stat st;
  if (stat(DirName(target).c_str(), &st) != 0) {
    // No folder, so no hive and no lock file to share.
    cached_hive_ = Hive();
    cached_text_.clear();
    cache_valid_ = true;
    return cached_hive_;
  }
  HiveLock lock(target, false);
  LoadLocked(target);
  return cached_hive_;
}

void HiveFile::Modify(const std::function<bool(Hive&)>& change) {
  if (path_.empty()) throw ERegistryException("No registry file: HOME is not set");
  const std::string target = Target();
  MakeFolders(DirName(target));
  HiveLock lock(target, true);
  LoadLocked(target);
  bool changed;
  std::string text;
  try {
    changed = change(cached_hive_);
    if (changed) {
      text = SerializeHive(cached_hive_);
      Replace(target, text);
    }
  } catch (...) {
    // The cached hive may hold changes that never reached the file.
    cache_valid_ = false;
    throw;
  }
  if (changed) cached_text_ = std::move(text);
}

void HiveFile::Replace(const std::string& target, const std::string& text) {
  const std::string temp = target + ".tmp";
  struct stat old;
  const bool have_old = stat(target.c_str(), &old) == 0;
  // Any temporary file left here is a crashed writer's: we hold the lock.
  if (unlink(temp.c_str()) != 0 && errno != ENOENT) {
    Fail("Cannot write the registry file", temp, errno);
  }
  FileDescriptor fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (fd.get() < 0) Fail("Cannot write the registry file", temp, errno);
  auto fail = [&](int error) {
    fd.Reset();
    unlink(temp.c_str());
    Fail("Cannot write the registry file", target, error);
  };
  if (fchmod(fd.get(), have_old ? (old.st_mode & 07777) : 0644) != 0) fail(errno);
  if (have_old && geteuid() == 0 && (old.st_uid != 0 || old.st_gid != getegid())) {
    // Keep the owner of a hive that root rewrites; failing that is harmless.
    (void)!fchown(fd.get(), old.st_uid, old.st_gid);
  }
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd.get()) != 0) fail(errno);
  if (fd.Close() != 0) fail(errno);
  if (rename(temp.c_str(), target.c_str()) != 0) fail(errno);
}

void HiveFile::Flush() {
  ++flush_count_;
  if (path_.empty()) return;
  FileDescriptor fd(open(DirName(Target()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) (void)fsync(fd.get());
}

}  // namespace tessaline
