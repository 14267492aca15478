// A system for tests that passes every call to the operating system and
// can make any chosen one fail: the Nth call of the run, the Nth call of one
// kind, every call of a kind, interruptions (EINTR) and short or empty writes.
// It records each call with the path it concerns, so that a test can run an
// operation once to learn its steps and then fail each step in turn.
//
// It can also stand in for the environment, the effective user and the
// clock: a test that waits for a deadline moves the clock instead of
// sleeping.
//
// Install it with a ScopedSystem (os/system.h) or a ScopedFaults below. Thread use: calls may come from several threads (a
// read ahead on a thread of its own); set faults and look at the calls while
// no other thread uses the file system.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "os/system.h"

namespace tessaline::test {

enum class FsOp {
  kOpen,
  kClose,
  kRead,
  kWrite,
  kCopyRange,
  kSync,
  kStat,
  kAccess,
  kMakeDir,
  kLink,
  kRename,
  kUnlink,
  kLock,
  kChangeMode,
  kChangeOwner,
  kReadLink,
  kListFolder,
  kGetAttribute,
  kSetAttribute,
  kInodeFlags,
};

inline const char* FsOpName(FsOp op) {
  static const char* const kNames[] = {"open",     "close",  "read",     "write",    "copy",
                                       "sync",     "stat",   "access",   "mkdir",    "link",
                                       "rename",   "unlink", "lock",     "chmod",    "chown",
                                       "readlink", "list",   "getxattr", "setxattr", "flags"};
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == static_cast<int>(FsOp::kInodeFlags) + 1);
  return kNames[static_cast<int>(op)];
}

class FaultSystem : public System {
 public:
  struct Call {
    FsOp op;
    std::string path;  // the file or folder the call concerns, as far as known
  };

  // Every call made so far, in order.
  const std::vector<Call>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // Makes call number `index` (counting every call from now, from 0) fail
  // with `code`.
  void FailCall(std::size_t index, int code) { fail_call_ = {calls_.size() + index, code}; }
  // Makes the `nth` call (from 0) of kind `op` from now fail with `code`.
  void FailNth(FsOp op, int nth, int code) { nth_[op] = {count_[op] + nth, code}; }
  // Makes every call of kind `op` fail with `code`.
  void FailAll(FsOp op, int code) { all_[op] = code; }
  // Makes the next `count` calls of kind `op` fail with EINTR first.
  void Interrupt(FsOp op, int count) { interrupts_[op] = count; }
  // Lets a write or a kernel copy move at most `bytes` bytes per call; 0 makes
  // them take nothing (returning 0).
  void LimitTransfers(std::size_t bytes) { transfer_limit_ = bytes; }
  // Makes every call for which `chosen` is true fail with `code`.
  void FailWhen(std::function<bool(const Call&)> chosen, int code) {
    chosen_ = std::move(chosen);
    chosen_code_ = code;
  }
  // Calls `hook` with each call before it is made (and before it is failed),
  // outside the recording lock: a test can change the files at exactly that
  // step (a race driven step by step), or stop the process there.
  void BeforeEachCall(std::function<void(const Call&)> hook) { before_ = std::move(hook); }
  // Makes the file system refuse unnamed files (O_TMPFILE), as many do.
  void RefuseUnnamedFiles() { refuse_unnamed_ = true; }
  // Gives the environment variable `name` the value `value` (nullopt: unset)
  // for the code under test, leaving the process's environment alone.
  void SetEnvironment(const std::string& name, std::optional<std::string> value) {
    environment_[name] = std::move(value);
  }
  // Makes the code under test see `user` as its effective user.
  void SetEffectiveUser(uid_t user) { effective_user_ = user; }
  // Makes the clock stand still but for the pauses asked of it, which pass
  // at once: a wait for a deadline runs out without taking real time.
  void UseVirtualClock() { virtual_clock_ = real_.Now(); }

  int OpenAt(int dir, const char* path, int flags, mode_t mode) override {
    if (Fails(FsOp::kOpen, Join(dir, path))) return -1;
    if (refuse_unnamed_ && (flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    const int fd = real_.OpenAt(dir, path, flags, mode);
    if (fd >= 0) {
      std::string opened = Join(dir, path);
      const std::lock_guard<std::mutex> hold(mutex_);
      paths_[fd] = std::move(opened);
    }
    return fd;
  }
  int Close(int fd) override {
    const std::string path = PathOf(fd);
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      paths_.erase(fd);
    }
    const int result = real_.Close(fd);  // closed even when reported as failed
    if (Fails(FsOp::kClose, path)) return -1;
    return result;
  }
  ssize_t Read(int fd, void* buffer, std::size_t size) override {
    if (Fails(FsOp::kRead, PathOf(fd))) return -1;
    return real_.Read(fd, buffer, size);
  }
  ssize_t ReadAt(int fd, void* buffer, std::size_t size, off_t offset) override {
    if (Fails(FsOp::kRead, PathOf(fd))) return -1;
    return real_.ReadAt(fd, buffer, size, offset);
  }
  ssize_t Write(int fd, const void* buffer, std::size_t size) override {
    if (Fails(FsOp::kWrite, PathOf(fd))) return -1;
    if (transfer_limit_ && *transfer_limit_ == 0) return 0;
    return real_.Write(fd, buffer, Limited(size));
  }
  ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) override {
    if (Fails(FsOp::kWrite, PathOf(fd))) return -1;
    if (transfer_limit_ && *transfer_limit_ == 0) return 0;
    return real_.WriteAt(fd, buffer, Limited(size), offset);
  }
  ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                    std::size_t size) override {
    if (Fails(FsOp::kCopyRange, PathOf(out))) return -1;
    if (transfer_limit_ && *transfer_limit_ == 0) return 0;
    return real_.CopyRange(in, in_offset, out, out_offset, Limited(size));
  }
  int Sync(int fd) override {
    if (Fails(FsOp::kSync, PathOf(fd))) return -1;
    return real_.Sync(fd);
  }
  int StatAt(int dir, const char* path, struct stat* info, int flags) override {
    if (Fails(FsOp::kStat, Join(dir, path))) return -1;
    return real_.StatAt(dir, path, info, flags);
  }
  int StatFd(int fd, struct stat* info) override {
    if (Fails(FsOp::kStat, PathOf(fd))) return -1;
    return real_.StatFd(fd, info);
  }
  int AccessAt(int dir, const char* path, int mode, int flags) override {
    if (Fails(FsOp::kAccess, Join(dir, path))) return -1;
    return real_.AccessAt(dir, path, mode, flags);
  }
  int MakeDirAt(int dir, const char* path, mode_t mode) override {
    if (Fails(FsOp::kMakeDir, Join(dir, path))) return -1;
    return real_.MakeDirAt(dir, path, mode);
  }
  int LinkAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
             int flags) override {
    if (Fails(FsOp::kLink, Join(new_dir, new_path))) return -1;
    return real_.LinkAt(old_dir, old_path, new_dir, new_path, flags);
  }
  int RenameAt(int old_dir, const char* old_path, int new_dir, const char* new_path,
               unsigned flags) override {
    if (Fails(FsOp::kRename, Join(new_dir, new_path))) return -1;
    return real_.RenameAt(old_dir, old_path, new_dir, new_path, flags);
  }
  int UnlinkAt(int dir, const char* path, int flags) override {
    if (Fails(FsOp::kUnlink, Join(dir, path))) return -1;
    return real_.UnlinkAt(dir, path, flags);
  }
  int Lock(int fd, int operation) override {
    if (Fails(FsOp::kLock, PathOf(fd))) return -1;
    return real_.Lock(fd, operation);
  }
  int ChangeMode(int fd, mode_t mode) override {
    if (Fails(FsOp::kChangeMode, PathOf(fd))) return -1;
    return real_.ChangeMode(fd, mode);
  }
  int ChangeOwner(int fd, uid_t owner, gid_t group) override {
    if (Fails(FsOp::kChangeOwner, PathOf(fd))) return -1;
    return real_.ChangeOwner(fd, owner, group);
  }
  ssize_t ReadLinkAt(int dir, const char* path, char* buffer, std::size_t size) override {
    if (Fails(FsOp::kReadLink, Join(dir, path))) return -1;
    return real_.ReadLinkAt(dir, path, buffer, size);
  }
  int ListFolder(int dir, std::vector<std::string>& names) override {
    if (Fails(FsOp::kListFolder, PathOf(dir))) return -1;
    return real_.ListFolder(dir, names);
  }
  ssize_t GetAttribute(const char* path, const char* name, void* buffer,
                       std::size_t size) override {
    if (Fails(FsOp::kGetAttribute, path)) return -1;
    return real_.GetAttribute(path, name, buffer, size);
  }
  int SetAttribute(int fd, const char* name, const void* value, std::size_t size) override {
    if (Fails(FsOp::kSetAttribute, PathOf(fd))) return -1;
    return real_.SetAttribute(fd, name, value, size);
  }
  int GetInodeFlags(int fd, int* flags) override {
    if (Fails(FsOp::kInodeFlags, PathOf(fd))) return -1;
    return real_.GetInodeFlags(fd, flags);
  }
  char* RealPath(const char* path, char* resolved) override {
    if (Fails(FsOp::kStat, path)) return nullptr;
    return real_.RealPath(path, resolved);
  }
  const char* Environment(const char* name) override {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (auto it = environment_.find(name); it != environment_.end()) {
      return it->second ? it->second->c_str() : nullptr;
    }
    return real_.Environment(name);
  }
  uid_t EffectiveUser() override { return effective_user_ ? *effective_user_ : real_.EffectiveUser(); }
  std::chrono::steady_clock::time_point Now() override {
    const std::lock_guard<std::mutex> hold(mutex_);
    return virtual_clock_ ? *virtual_clock_ : real_.Now();
  }
  void SleepFor(std::chrono::nanoseconds pause) override {
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      if (virtual_clock_) {
        *virtual_clock_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(pause);
        return;
      }
    }
    real_.SleepFor(pause);
  }

 private:
  struct Planned {
    std::size_t at;
    int code;
  };

  // Records the call and tells whether it is to fail (errno then set).
  bool Fails(FsOp op, std::string path) {
    if (before_) before_(Call{op, path});
    const std::lock_guard<std::mutex> hold(mutex_);
    const std::size_t index = calls_.size();
    const std::size_t nth = count_[op]++;
    calls_.push_back({op, std::move(path)});
    int code = 0;
    if (auto it = interrupts_.find(op); it != interrupts_.end() && it->second > 0) {
      --it->second;
      code = EINTR;
    } else if (fail_call_ && fail_call_->at == index) {
      code = fail_call_->code;
    } else if (auto n = nth_.find(op); n != nth_.end() && n->second.at == nth) {
      code = n->second.code;
    } else if (auto a = all_.find(op); a != all_.end()) {
      code = a->second;
    } else if (chosen_ && chosen_(calls_.back())) {
      code = chosen_code_;
    }
    if (code == 0) return false;
    errno = code;
    return true;
  }

  std::size_t Limited(std::size_t size) const {
    return transfer_limit_ ? std::min(size, *transfer_limit_) : size;
  }

  std::string PathOf(int fd) const {
    const std::lock_guard<std::mutex> hold(mutex_);
    auto it = paths_.find(fd);
    return it != paths_.end() ? it->second : "fd " + std::to_string(fd);
  }

  std::string Join(int dir, const char* path) const {
    if (dir == AT_FDCWD || path[0] == '/') return path;
    if (path[0] == '\0') return PathOf(dir);
    return PathOf(dir) + "/" + path;
  }

  System& real_ = OperatingSystem();
  mutable std::mutex mutex_;  // guards what calls record and look up
  std::vector<Call> calls_;
  std::map<FsOp, std::size_t> count_;
  std::optional<Planned> fail_call_;
  std::map<FsOp, Planned> nth_;
  std::map<FsOp, int> all_;
  std::map<FsOp, int> interrupts_;
  std::optional<std::size_t> transfer_limit_;
  std::map<int, std::string> paths_;
  bool refuse_unnamed_ = false;
  std::map<std::string, std::optional<std::string>> environment_;
  std::optional<uid_t> effective_user_;
  std::optional<std::chrono::steady_clock::time_point> virtual_clock_;
  std::function<bool(const Call&)> chosen_;
  int chosen_code_ = 0;
  std::function<void(const Call&)> before_;
};

// A FaultSystem in place of the current system while it lives.
class ScopedFaults : public FaultSystem {
 public:
  ScopedFaults() : scope_(*this) {}

 private:
  ScopedSystem scope_;
};

}  // namespace tessaline::test
