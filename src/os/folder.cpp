#include "os/folder.h"

#include <deque>

namespace tessaline {
namespace {

constexpr int kMaxLinks = 40;

// Whether a folder described by `info` may be trusted by the effective user
// `user`: it belongs to that user or to root, and no other user may write it,
// unless it is sticky (then nobody else may rename or remove what is in it).
bool TrustedFolder(const struct stat& info, uid_t user) {
  if (info.st_uid != user && info.st_uid != 0) return false;
  return (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0;
}

// The names of `path`, in order, without empty ones and ".".
void PushNames(std::deque<std::string>& names, const std::string& path) {
  std::deque<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    if (!name.empty() && name != ".") parts.push_back(name);
    start = end + 1;
  }
  names.insert(names.begin(), parts.begin(), parts.end());
}

class Walk {
 public:
  explicit Walk(bool trusted_only)
      : trusted_only_(trusted_only), user_(CurrentSystem().EffectiveUser()) {}

  // Makes `at` the folder `name` of the current one ("/" from anywhere).
  Status Enter(int dir, const std::string& name, const std::string& shown) {
    Result<UniqueFd> fd = OpenAt(dir, name, O_PATH | O_DIRECTORY | O_NOFOLLOW);
    if (!fd.ok()) return SystemError("open", shown, fd.code());
    Result<struct stat> info = StatOpen(fd.value().get(), shown);
    if (!info.ok()) return info.status();
    if (trusted_only_ && !TrustedFolder(info.value(), user_)) {
      return SystemError("open", shown, kErrorUntrusted);
    }
    at_ = std::move(fd.value());
    return Status::Ok();
  }

  Result<UniqueFd> Run(const std::string& path) {
    const char* start = path.starts_with('/') ? "/" : ".";
    std::string walked = path.starts_with('/') ? "" : ".";
    if (Status entered = Enter(AT_FDCWD, start, start); !entered.ok()) return entered.error();
    std::deque<std::string> names;
    PushNames(names, path);
    int links = 0;
    while (!names.empty()) {
      const std::string name = names.front();
      names.pop_front();
      const std::string shown = walked + "/" + name;
      struct stat info;
      if (CurrentSystem().StatAt(at_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return SystemError("open", shown, errno);
      }
      if (!S_ISLNK(info.st_mode)) {
        if (Status entered = Enter(at_.get(), name, shown); !entered.ok()) return entered.error();
        walked = name == ".." ? walked + "/.." : shown;
        continue;
      }
      if (trusted_only_ && info.st_uid != user_ && info.st_uid != 0) {
        return SystemError("open", shown, kErrorUntrusted);
      }
      if (++links > kMaxLinks) return SystemError("open", shown, ELOOP);
      Result<std::string> target = ReadLinkAt(at_.get(), name, shown);
      if (!target.ok()) return target.error();
      PushNames(names, target.value());
      if (target.value().starts_with('/')) {
        if (Status root = Enter(AT_FDCWD, "/", "/"); !root.ok()) return root.error();
        walked.clear();
      }
    }
    return std::move(at_);
  }

 private:
  bool trusted_only_;
  uid_t user_;
  UniqueFd at_;
};

}  // namespace

Result<UniqueFd> OpenFolder(const std::string& path, bool trusted_only) {
  return Walk(trusted_only).Run(path);
}

}  // namespace tessaline
