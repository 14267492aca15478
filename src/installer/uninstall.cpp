#include "installer/uninstall.h"

#include <sys/file.h>

#include <exception>
#include <ostream>
#include <stdexcept>

#include "installer/identity.h"
#include "installer/pack_file.h"
#include "installer/pack_record.h"
#include "os/file_replacement.h"
#include "os/process.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

using Kind = PackFileVerdict::Kind;

// Removes this pack's file through its folder: the file is moved to a hidden
// name of its own first (locked, so that no clean-up takes it meanwhile), and
// removed only when what was moved is the file examined; anything else put
// at the path since is put back and nothing is removed.
void RemovePackFile(const std::string& path, PackFileVerdict& verdict) {
  System& fs = CurrentSystem();
  const int folder = verdict.folder.get();
  const std::string name = FileNamePart(path);
  if (fs.Lock(verdict.file.get(), LOCK_EX | LOCK_NB) != 0) {
    throw std::runtime_error(path + " is in use by another program; nothing removed");
  }
  const std::string hidden = FileReplacement::NewPartialName(name);
  if (fs.RenameAt(folder, name.c_str(), folder, hidden.c_str(), RENAME_NOREPLACE) != 0) {
    throw std::runtime_error("Cannot remove the pack file: " +
                             SystemError("rename", path, errno).ToString() + "; nothing removed");
  }
  struct stat moved;
  const bool same = fs.StatAt(folder, hidden.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
                    SameFile(moved, verdict.examined);
  if (!same || fs.UnlinkAt(folder, hidden.c_str(), 0) != 0) {
    const std::string why =
        same ? "Cannot remove the pack file: " + SystemError("unlink", path, errno).ToString()
             : path + " changed while it was examined";
    if (fs.RenameAt(folder, hidden.c_str(), folder, name.c_str(), RENAME_NOREPLACE) != 0) {
      throw std::runtime_error(why + "; what was found there is kept as " +
                               ContainingFolder(path) + "/" + hidden);
    }
    throw std::runtime_error(why + "; nothing removed");
  }
  // Best effort: the name is gone either way.
  if (Result<UniqueFd> dir = OpenAt(folder, ".", O_RDONLY | O_DIRECTORY); dir.ok()) {
    (void)SyncFd(dir.value().get(), ContainingFolder(path));
  }
}

// The line that tells what the uninstall did.
std::string Done(const PackRecord& record, bool kept) {
  if (!record.path || record.path->empty()) return "uninstalled (the record named no file)";
  return (kept ? "record removed, file kept: " : "uninstalled: ") + *record.path;
}

}  // namespace

int RunUninstall(const UninstallRequest& request, std::ostream& out, std::ostream& err) {
  try {
    HiveFile hive = OpenHive(request.hive_path);
    if (FindPackRecord(hive.Read(), PackNo).empty()) {
      out << "not installed\n";
      return 0;
    }
    if (const std::string why = hive.WhyNotWritable(); !why.empty()) {
      throw std::runtime_error(why + "; nothing removed");
    }
    // From examining the file until the record is gone, no installer changes
    // the hive: the two go together.
    const HiveFile::WriteLock lock = hive.HoldWriteLock();
    const PackRecord record = FindPackRecord(hive.Read(), PackNo);
    if (record.empty()) {
      out << "not installed\n";
      return 0;
    }
    bool kept = false;
    if (record.path && !record.path->empty()) {
      PackFileVerdict verdict = ExaminePackFile(*record.path, request.sheet);
      if (verdict.kind == Kind::kThisPack) {
        RemovePackFile(*record.path, verdict);
      } else if (verdict.kind != Kind::kAbsent) {
        err << "Pack" << record.number << " names " << *record.path
            << ", which is not this pack's file: " << verdict.reason;
        if (!request.force) {
          err << "; nothing removed (--force removes the record and keeps the file)\n";
          return 1;
        }
        err << "; the file is kept, the record removed\n";
        kept = true;
      }
    }
    RemovePackRecord(hive, record);
    out << Done(record, kept) << '\n';
    return 0;
  } catch (const std::exception& error) {
    err << error.what() << '\n';
  }
  return 1;
}

}  // namespace tessaline
