#include "installer/uninstall.h"

#include <cerrno>
#include <exception>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "installer/identity.h"
#include "installer/pack_record.h"
#include "support/exception.h"
#include "os/files.h"
#include "support/resources.h"
#include "registry/hive_file.h"
#include "registry/registry_exception.h"

namespace tessaline {
namespace {

// What the record's path names: nothing, this pack's file (as `examined`), or
// something else (with the reason it is not this pack's file).
struct PackFileVerdict {
  enum class Kind { kAbsent, kThisPack, kForeign } kind;
  std::string reason;
  struct stat examined {};
};

using Kind = PackFileVerdict::Kind;

PackFileVerdict Foreign(std::string reason) {
  return {Kind::kForeign, std::move(reason), {}};
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

PackFileVerdict ExaminePackFile(const std::string& path, const UninstallRequest& request) {
  Result<struct stat> link = StatPath(path, /*follow_links=*/false);
  if (!link.ok()) {
    const int code = link.error().code();
    if (code == ENOENT || code == ENOTDIR) return {Kind::kAbsent, {}, {}};
    return Foreign("it cannot be examined: " + link.error().ToString());
  }
  if (S_ISLNK(link.value().st_mode)) return Foreign("it is a symbolic link");
  if (!S_ISREG(link.value().st_mode)) return Foreign("it is not a regular file");
  if (FileNamePart(path) != PackName + ".wpk")
    return Foreign("it is not named " + PackName + ".wpk");
  if (Result<struct stat> self = StatPath(request.program);
      !self.ok() || SameFile(self.value(), link.value())) {
    return Foreign("it is the running program");
  }
  Result<UniqueFd> fd = Open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (!fd.ok()) return Foreign("it cannot be read: " + fd.error().ToString());
  Result<struct stat> opened = StatOpen(fd.value().get(), path);
  if (!opened.ok() || !SameFile(opened.value(), link.value())) {
    return Foreign("it changed while it was examined");
  }
  if (!CarriesSheet(fd.value(), request.sheet))
    return Foreign("it does not carry this pack's card sheet");
  return {Kind::kThisPack, {}, link.value()};
}

// Removes this pack's file, unless something else took its place since it
// was examined.
void RemovePackFile(const std::string& path, const struct stat& examined) {
  Result<struct stat> now = StatPath(path, /*follow_links=*/false);
  if (!now.ok() || !SameFile(now.value(), examined)) {
    throw std::runtime_error(path + " changed while it was examined; nothing removed");
  }
  if (Status status = RemoveFile(path); !status.ok()) {
    throw std::runtime_error("Cannot remove the pack file: " + status.error().ToString() +
                             "; nothing removed");
  }
  (void)SyncFolder(ContainingFolder(path));  // best effort: the name is gone either way
}

}  // namespace

int RunUninstall(const UninstallRequest& request, std::ostream& out, std::ostream& err) {
  try {
    if (request.hive_path.empty()) {
      throw std::runtime_error(
          "No registry file: neither WENLORA_REGISTRY nor a home folder is set");
    }
    HiveFile hive(request.hive_path);
    const PackRecord record = FindPackRecord(hive.Read(), PackNo);
    if (record.empty()) {
      out << "not installed\n";
      out.flush();
      return 0;
    }
    if (!hive.Writable()) throw std::runtime_error(hive.WhyNotWritable() + "; nothing removed");
    // From examining the file until the record is gone, no installer changes
    // the hive: the two go together.
    const HiveFile::WriteLock lock = hive.HoldWriteLock();
    if (record.path) {
      const PackFileVerdict verdict = ExaminePackFile(*record.path, request);
      if (verdict.kind == Kind::kForeign) {
        err << "Pack" << record.number << " names " << *record.path
            << ", which is not this pack's file: " << verdict.reason;
        if (!request.force) {
          err << "; nothing removed (--force removes the record and keeps the file)\n";
          return 1;
        }
        err << "; the file is kept, the record removed\n";
      } else if (verdict.kind == Kind::kThisPack) {
        RemovePackFile(*record.path, verdict.examined);
      }
    }
    RemovePackRecord(hive, record);
    out << (record.path ? "uninstalled: " + *record.path : std::string("uninstalled")) << '\n';
    out.flush();
    return 0;
  } catch (const std::exception& error) {
    err << error.what() << '\n';
  }
  return 1;
}

}  // namespace tessaline
