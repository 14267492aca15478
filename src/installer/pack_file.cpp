#include "installer/pack_file.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "drawing/bitmap.h"
#include "installer/identity.h"
#include "os/file_replacement.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/process.h"
#include "support/exception.h"
#include "support/resources.h"

namespace tessaline {

PackFileState CheckPackFile(const std::string& path) {
  Result<struct stat> info = StatPath(path);
  if (!info.ok()) {
    const int code = info.error().code();
    return code == ENOENT || code == ENOTDIR ? PackFileState::kMissing : PackFileState::kUnreadable;
  }
  if (!S_ISREG(info.value().st_mode)) return PackFileState::kNotAPack;
  // Opening first tells a file we may not read from one that holds no sheet.
  if (Result<UniqueFd> fd = Open(path, O_RDONLY | O_NONBLOCK); !fd.ok()) {
    return PackFileState::kUnreadable;
  }
  try {
    const std::vector<std::byte> sheet = ReadResourceFromFile(path, "PACK");
    Bitmap::FromDib(sheet);
    return PackFileState::kOk;
  } catch (const Exception&) {
    return PackFileState::kNotAPack;
  }
}

std::string_view PackFileStateName(PackFileState state) {
  switch (state) {
    case PackFileState::kOk:
      return "ok";
    case PackFileState::kMissing:
      return "missing";
    case PackFileState::kNotAPack:
      return "not a pack";
    case PackFileState::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

namespace {

using Kind = PackFileVerdict::Kind;

bool Missing(int code) {
  return code == ENOENT || code == ENOTDIR;
}

// Whether the open file `fd` carries `sheet` as its card sheet. Read through
// the descriptor's own name, so that it is the file examined, whatever is put
// at the path meanwhile.
bool CarriesSheet(const UniqueFd& fd, std::span<const std::byte> sheet) {
  try {
    const std::vector<std::byte> carried =
        ReadResourceFromFile("/proc/self/fd/" + std::to_string(fd.get()), "PACK");
    return std::equal(carried.begin(), carried.end(), sheet.begin(), sheet.end());
  } catch (const Exception&) {
    return false;
  }
}

// The verdict on the name `name` of the open folder in `verdict`.
void ExamineIn(PackFileVerdict& verdict, const std::string& name, const std::string& file_name,
               std::span<const std::byte> sheet) {
  const auto set = [&](Kind kind, std::string reason) {
    verdict.kind = kind;
    verdict.reason = std::move(reason);
  };
  struct stat info;
  if (CurrentSystem().StatAt(verdict.folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (Missing(errno)) return set(Kind::kAbsent, {});
    return set(Kind::kUnreadable, SystemError("stat", name, errno).Reason());
  }
  if (S_ISLNK(info.st_mode)) return set(Kind::kOther, "it is a symbolic link");
  if (!S_ISREG(info.st_mode)) return set(Kind::kNotAPack, "it is not a regular file");
  if (name != file_name) return set(Kind::kOther, "it is not named " + file_name);
  if (Result<struct stat> self = StatPath(RunningImagePath()); !self.ok() ||
                                                              SameFile(self.value(), info)) {
    return set(Kind::kOther, "it is the running program");
  }
  Result<UniqueFd> fd = OpenAt(verdict.folder.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (!fd.ok()) return set(Kind::kUnreadable, fd.error().Reason());
  Result<struct stat> opened = StatOpen(fd.value().get(), name);
  if (!opened.ok() || !SameFile(opened.value(), info)) {
    return set(Kind::kOther, "it changed while it was examined");
  }
  if (!CarriesSheet(fd.value(), sheet)) {
    return set(Kind::kOther, "it does not carry this pack's card sheet");
  }
  verdict.file = std::move(fd.value());
  verdict.examined = info;
  set(Kind::kThisPack, {});
}

}  // namespace

PackFileVerdict ExaminePackFile(const std::string& path, std::span<const std::byte> sheet) {
  PackFileVerdict verdict{Kind::kAbsent, {}, {}, {}, {}};
  const std::string name = FileNamePart(path);
  if (name.empty()) {
    verdict.kind = Kind::kNotAPack;
    verdict.reason = "it names a folder";
    return verdict;
  }
  Result<UniqueFd> folder = OpenFolder(ContainingFolder(path), RunsAsRoot());
  if (!folder.ok()) {
    if (Missing(folder.code())) return verdict;
    verdict.kind = folder.code() == kErrorUntrusted ? Kind::kOther : Kind::kUnreadable;
    verdict.reason = "its folder cannot be used: " + folder.error().ToString();
    return verdict;
  }
  verdict.folder = std::move(folder.value());
  const std::string file_name = PackName + ".wpk";
  ExamineIn(verdict, name, file_name, sheet);
  FileReplacement::RemoveLeftovers(verdict.folder.get(), file_name);
  return verdict;
}

}  // namespace tessaline
