#include "os/file_replacement.h"

#include <linux/fs.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <random>
#include <utility>

#include "os/process.h"

namespace tessaline {

namespace {

// Length of the random part of an unfinished file's name.
constexpr std::size_t kRandomLength = 6;

std::string RandomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
  std::string suffix(kRandomLength, ' ');
  for (char& c : suffix) c = kChars[pick(generator)];
  return suffix;
}

// Takes the lock that marks an unfinished file as being worked on.
bool LockExclusive(int fd) {
  System& fs = CurrentSystem();
  for (;;) {
    if (fs.Lock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Whether `name` in the folder `dir` leads to the open file `fd`: 1 when it
// does, 0 when it leads elsewhere, -1 when either cannot be looked at.
int NameLeadsTo(int dir, const std::string& name, int fd) {
  System& fs = CurrentSystem();
  struct stat opened, named;
  if (fs.StatFd(fd, &opened) != 0 ||
      fs.StatAt(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    return -1;
  }
  return SameFile(opened, named) ? 1 : 0;
}

}  // namespace

FileReplacement::FileReplacement(std::string target) : target_(std::move(target)) {
  file_name_ = FileNamePart(target_);
  sigemptyset(&file_size_signal_);
  sigaddset(&file_size_signal_, SIGXFSZ);
  pthread_sigmask(SIG_BLOCK, &file_size_signal_, &previous_mask_);
  sigset_t pending;
  sigemptyset(&pending);
  file_size_signal_was_pending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
}

FileReplacement::~FileReplacement() {
  file_.Reset();
  if (!partial_name_.empty()) {
    CurrentSystem().UnlinkAt(folder_.get(), partial_name_.c_str(), 0);
  }
  // A signal that our own writes raised is discarded; one that was pending
  // before is left for its owner.
  if (!file_size_signal_was_pending_) {
    const timespec no_wait{0, 0};
    while (sigtimedwait(&file_size_signal_, nullptr, &no_wait) == SIGXFSZ) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
}

std::string FileReplacement::PartialPrefix(const std::string& file_name) {
  return "." + file_name + ".part-";
}

Status FileReplacement::Create(mode_t mode) {
  if (file_name_.empty()) return SystemError("create", target_, EISDIR);
  const std::string folder = ContainingFolder(target_);
  Result<UniqueFd> dir = Open(folder, O_RDONLY | O_DIRECTORY);
  if (!dir.ok()) return dir.status();
  folder_ = std::move(dir.value());
  // In a folder that only takes new names the new file could neither be
  // renamed over the target nor removed again.
  int flags = 0;
  if (CurrentSystem().GetInodeFlags(folder_.get(), &flags) == 0 && (flags & FS_APPEND_FL) != 0) {
    return SystemError("create", target_, EPERM);
  }
  RemoveLeftovers(folder_.get(), file_name_);

  Result<UniqueFd> unnamed = OpenAt(folder_.get(), ".", O_TMPFILE | O_WRONLY, mode, "create");
  if (unnamed.ok()) {
    file_ = std::move(unnamed.value());
    LockExclusive(file_.get());  // unreachable by others until it is named
    return Status::Ok();
  }
  if (!CreateNamed(mode)) return SystemError("create", target_, errno);
  return Status::Ok();
}

bool FileReplacement::CreateNamed(mode_t mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = NewPartialName(file_name_);
    Result<UniqueFd> fd =
        OpenAt(folder_.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode, "create");
    if (!fd.ok()) {
      if (fd.code() == EEXIST) continue;
      errno = fd.code();
      return false;
    }
    // Between creation and locking a cleaner may have taken the file for a
    // stale one; make sure the name still leads to our file. A file we made
    // but cannot use is removed again, unless the name now leads elsewhere.
    if (!LockExclusive(fd.value().get()) ||
        NameLeadsTo(folder_.get(), name, fd.value().get()) != 1) {
      if (NameLeadsTo(folder_.get(), name, fd.value().get()) != 0) {
        CurrentSystem().UnlinkAt(folder_.get(), name.c_str(), 0);
      }
      continue;
    }
    file_ = std::move(fd.value());
    partial_name_ = std::move(name);
    return true;
  }
  errno = EEXIST;
  return false;
}

std::string FileReplacement::NewPartialName(const std::string& file_name) {
  return PartialPrefix(file_name) + RandomSuffix();
}

void FileReplacement::RemoveLeftovers(int folder, const std::string& file_name) {
  System& fs = CurrentSystem();
  const std::string prefix = PartialPrefix(file_name);
  std::vector<std::string> names;
  if (fs.ListFolder(folder, names) != 0) return;
  for (const std::string& name : names) {
    if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix) != 0)
      continue;
    Result<UniqueFd> fd = OpenAt(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!fd.ok()) continue;
    struct stat opened;
    if (fs.StatFd(fd.value().get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    if (!LockExclusive(fd.value().get())) continue;  // a replacement in progress
    if (NameLeadsTo(folder, name, fd.value().get()) == 1) fs.UnlinkAt(folder, name.c_str(), 0);
  }
}

Status FileReplacement::KeepAttributesOf(const struct stat& old) {
  System& fs = CurrentSystem();
  const bool root = RunsAsRoot();
  struct stat made;
  if (fs.StatFd(file_.get(), &made) != 0) return SystemError("stat", target_, errno);
  const bool new_owner = root && old.st_uid != made.st_uid;
  if (new_owner || old.st_gid != made.st_gid) {
    if (fs.ChangeOwner(file_.get(), new_owner ? old.st_uid : static_cast<uid_t>(-1), old.st_gid) !=
        0) {
      return SystemError("chown", target_, errno);
    }
  }
  if (Status mode = SetMode(old.st_mode & 07777); !mode.ok()) return mode;
  return KeepAccessList();
}

Status FileReplacement::KeepAccessList() {
  static constexpr char kAccessList[] = "system.posix_acl_access";
  System& fs = CurrentSystem();
  std::string list(256, '\0');
  ssize_t size;
  for (;;) {
    size = fs.GetAttribute(target_.c_str(), kAccessList, list.data(), list.size());
    if (size >= 0 || errno != ERANGE) break;
    list.resize(list.size() * 4);
  }
  if (size < 0) {
    // No list, or a file system without them: the mode says everything.
    if (errno == ENODATA || errno == EOPNOTSUPP || errno == ENOENT) return Status::Ok();
    return SystemError("getxattr", target_, errno);
  }
  if (fs.SetAttribute(file_.get(), kAccessList, list.data(), static_cast<std::size_t>(size)) != 0) {
    return SystemError("setxattr", target_, errno);
  }
  return Status::Ok();
}

Status FileReplacement::SetMode(mode_t mode) {
  if (CurrentSystem().ChangeMode(file_.get(), mode) != 0) {
    return SystemError("chmod", target_, errno);
  }
  return Status::Ok();
}

Status FileReplacement::Sync() {
  return SyncFd(file_.get(), target_);
}

Status FileReplacement::NameUnnamedFile() {
  System& fs = CurrentSystem();
  const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = NewPartialName(file_name_);
    if (fs.LinkAt(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        fs.LinkAt(file_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH) == 0) {
      partial_name_ = std::move(name);
      return Status::Ok();
    }
    if (errno != EEXIST) return SystemError("link", target_, errno);
  }
  return SystemError("link", target_, EEXIST);
}

Status FileReplacement::PutInPlace() {
  return Place(/*keep_old=*/false);
}

Status FileReplacement::PutInPlaceKeepingOld() {
  return Place(/*keep_old=*/true);
}

Status FileReplacement::SyncTargetFolder() {
  // Makes the changed directory entries durable too.
  if (Status synced = SyncFd(folder_.get(), ContainingFolder(target_));
      !synced.ok() && synced.code() != EINVAL) {
    return SystemError("sync folder", synced.error().path(), synced.code());
  }
  return Status::Ok();
}

Status FileReplacement::Place(bool keep_old) {
  System& fs = CurrentSystem();
  struct stat old_info;
  const bool old_exists =
      fs.StatAt(folder_.get(), file_name_.c_str(), &old_info, AT_SYMLINK_NOFOLLOW) == 0;
  if (!old_exists && errno != ENOENT) return SystemError("stat", target_, errno);
  // An old regular file is locked first, so that another run does not take
  // it, under its hidden name, for a leftover (only regular files are).
  UniqueFd old;
  if (old_exists && S_ISREG(old_info.st_mode)) {
    Result<UniqueFd> opened =
        OpenAt(folder_.get(), file_name_, O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0, "open");
    if (opened.ok() && LockExclusive(opened.value().get())) old = std::move(opened.value());
  }
  if (partial_name_.empty()) {
    if (Status named = NameUnnamedFile(); !named.ok()) return named;
  }
  // Swapped, not renamed over, so the old file can still be put back until
  // the folder is synced.
  const unsigned how = old_exists ? RENAME_EXCHANGE : 0;
  if (fs.RenameAt(folder_.get(), partial_name_.c_str(), folder_.get(), file_name_.c_str(), how) !=
      0) {
    if (errno != EINVAL && errno != ENOSYS) return SystemError("rename", target_, errno);
    // A file system that cannot swap names: the old file goes at once.
    if (fs.RenameAt(folder_.get(), partial_name_.c_str(), folder_.get(), file_name_.c_str(), 0) !=
        0) {
      return SystemError("rename", target_, errno);
    }
    partial_name_.clear();
    return SyncTargetFolder();
  }
  replaced_ = std::move(old);
  undo_ = old_exists ? UndoBy::kSwappingBack : UndoBy::kRemoving;
  if (!old_exists) partial_name_.clear();
  if (Status synced = SyncTargetFolder(); !synced.ok()) {
    // Not known to be durable: the target gets back what it held.
    (void)Undo();
    return synced;
  }
  if (!keep_old) {
    // Done: what the hidden name holds now (the old file) goes.
    undo_ = UndoBy::kNothing;
    replaced_.Reset();
    if (!partial_name_.empty() && fs.UnlinkAt(folder_.get(), partial_name_.c_str(), 0) == 0) {
      partial_name_.clear();
    }
  }
  return Status::Ok();
}

Status FileReplacement::Undo() {
  const UndoBy undo = std::exchange(undo_, UndoBy::kNothing);
  if (undo == UndoBy::kNothing || NameLeadsTo(folder_.get(), file_name_, file_.get()) != 1) {
    return Status::Ok();
  }
  System& fs = CurrentSystem();
  if (undo == UndoBy::kSwappingBack) {
    if (fs.RenameAt(folder_.get(), partial_name_.c_str(), folder_.get(), file_name_.c_str(),
                    RENAME_EXCHANGE) != 0) {
      return SystemError("rename", target_, errno);
    }
    replaced_.Reset();
    // The hidden name leads to the new file now; the destructor removes it.
  } else if (fs.UnlinkAt(folder_.get(), file_name_.c_str(), 0) != 0) {
    return SystemError("unlink", target_, errno);
  }
  return SyncTargetFolder();
}

}  // namespace tessaline
