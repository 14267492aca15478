#include "installer/pack_commands.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "drawing/bitmap.h"
#include "installer/identity.h"
#include "installer/pack_record.h"
#include "os/file_replacement.h"
#include "os/files.h"
#include "os/folder.h"
#include "os/process.h"
#include "registry/hive_file.h"
#include "support/exception.h"
#include "support/resources.h"
#include "text/utf8.h"

namespace tessaline {
namespace {

// What lies at a recorded pack path, in two ways: CheckPackFile, for --list,
// tells any pack (a file carrying a card sheet, an ELF section ".rsrc.PACK"
// that decodes as a bitmap) from nothing, a file or folder without one, or a
// file that cannot be read; ExaminePackFile, for --verify and --uninstall,
// which agree on it, tells whether the file is this pack's own.

enum class PackFileState { kOk, kMissing, kNotAPack, kUnreadable };

// How --list names each state.
constexpr std::string_view kPackFileStateNames[] = {"ok", "missing", "not a pack", "unreadable"};

std::string_view PackFileStateName(PackFileState state) {
  return kPackFileStateNames[static_cast<int>(state)];
}

bool Missing(int code) {
  return code == ENOENT || code == ENOTDIR;
}

PackFileState CheckPackFile(const std::string& path) {
  Result<struct stat> info = StatPath(path);
  if (!info.ok()) {
    return Missing(info.error().code()) ? PackFileState::kMissing : PackFileState::kUnreadable;
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

// What ExaminePackFile found at a path.
struct PackFileVerdict {
  enum class Kind {
    kAbsent,      // nothing there (or no folder)
    kThisPack,    // this pack's file: `file` is open on it, `examined` its stat
    kNotAPack,    // a folder, FIFO, device: what --list calls "not a pack"
    kOther,       // a link, another name, the running program, another sheet
    kUnreadable,  // it cannot be looked at or read
  } kind;
  std::string reason;  // why it is not this pack's file
  UniqueFd folder;     // the folder, opened once (valid unless kAbsent)
  UniqueFd file;       // kThisPack: the file, open for reading
  struct stat examined {};
};

using Kind = PackFileVerdict::Kind;

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
  if (Result<struct stat> self = StatPath(RunningImagePath());
      !self.ok() || SameFile(self.value(), info)) {
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

// Whether `path` is this pack's file: a regular file, not a link, named
// PackName + ".wpk", not the running program, whose section ".rsrc.PACK"
// holds `sheet` byte for byte. The folder is opened once (os/folder.h),
// following no folder or link that another user controls when running as
// root; everything after is done through it, and leftovers of killed runs
// beside the file are removed.
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

struct ListedPack {
  PackRecord record;
  PackFileState state;
};

// A field as a terminal may show it: a hive's bytes could otherwise
// retitle or clear the terminal of whoever lists it.
std::string Field(const std::optional<std::string>& value) {
  return utf8::Printable(value.value_or(""));
}

void WriteText(const std::vector<ListedPack>& packs, std::ostream& out) {
  out << "number\ttitle\tcyrillic title\tpath\tstate\n";
  for (const ListedPack& pack : packs) {
    out << pack.record.number << '\t' << Field(pack.record.title) << '\t'
        << Field(pack.record.cyrillic_title) << '\t' << Field(pack.record.path) << '\t'
        << PackFileStateName(pack.state) << '\n';
  }
}

nlohmann::ordered_json OrNull(const std::optional<std::string>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

std::string Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

void WriteJson(const std::vector<ListedPack>& packs, std::ostream& out) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const ListedPack& pack : packs) {
    nlohmann::ordered_json entry = {{"number", std::stoll(pack.record.number)},
                                    {"title", OrNull(pack.record.title)},
                                    {"cyrillic_title", OrNull(pack.record.cyrillic_title)},
                                    {"path", OrNull(pack.record.path)},
                                    {"state", std::string(PackFileStateName(pack.state))}};
    // JSON holds only UTF-8: a path that is not is also given byte for byte.
    if (pack.record.path && !utf8::IsValid(*pack.record.path)) {
      entry["path_hex"] = Hex(*pack.record.path);
    }
    array.push_back(std::move(entry));
  }
  // Bytes that are not UTF-8 (a hand-edited hive) become U+FFFD rather than
  // an exception.
  out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The verdict on the file of a complete record with this pack's titles.
std::pair<bool, std::string> JudgeFile(const std::string& path, const VerifyRequest& request) {
  const PackFileVerdict verdict = ExaminePackFile(path, request.sheet);
  switch (verdict.kind) {
    case Kind::kAbsent:
      return {false, "file missing: " + path};
    case Kind::kNotAPack:
      return {false, "not a pack: " + path};
    case Kind::kUnreadable:
      return {false, "file unreadable: " + path + ": " + verdict.reason};
    case Kind::kOther:
      return {false, "file differs: " + path + ": " + verdict.reason};
    case Kind::kThisPack:
      break;
  }
  const std::string opened = "/proc/self/fd/" + std::to_string(verdict.file.get());
  Result<bool> same = SameContents(opened, request.program);
  if (!same.ok()) return {false, "file unreadable: " + path + ": " + same.error().Reason()};
  if (!same.value()) return {false, "file differs: " + path};
  return {true, "ok: " + path};
}

// The verdict on `record`, and whether it is "ok".
std::pair<bool, std::string> Judge(const PackRecord& record, const VerifyRequest& request) {
  const RecordNames names = RecordNamesOf(record.number);
  if (record.empty()) return {false, "not installed"};
  if (!record.path) return {false, "record incomplete: " + names.path + " missing"};
  if (!record.title) return {false, "record incomplete: " + names.title + " missing"};
  if (!record.cyrillic_title) {
    return {false, "record incomplete: " + names.cyrillic_title + " missing"};
  }
  if (*record.title != PackName) return {false, "record differs: " + names.title};
  if (*record.cyrillic_title != PackNameCyr) {
    return {false, "record differs: " + names.cyrillic_title};
  }
  return JudgeFile(*record.path, request);
}

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
      throw std::runtime_error(why + "; what was found there is kept as " + ContainingFolder(path) +
                               "/" + hidden);
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

int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err) {
  std::vector<ListedPack> packs;
  try {
    HiveFile hive = OpenHive(hive_path);
    for (PackRecord& record : ListPackRecords(hive.Read())) {
      // A "Pack"N that is not a string names no file.
      const PackFileState state =
          record.path ? CheckPackFile(*record.path) : PackFileState::kMissing;
      packs.push_back({std::move(record), state});
    }
  } catch (const std::exception& error) {
    err << error.what() << '\n';
    return 1;
  }
  if (json) {
    WriteJson(packs, out);
  } else {
    WriteText(packs, out);
  }
  return 0;
}

int RunVerify(const VerifyRequest& request, std::ostream& out, std::ostream& err) {
  PackRecord record;
  try {
    HiveFile hive = OpenHive(request.hive_path);
    record = FindPackRecord(hive.Read(), PackNo);
  } catch (const std::exception& error) {
    err << error.what() << '\n';
    return 1;
  }
  const auto [ok, line] = Judge(record, request);
  out << line << '\n';
  return ok ? 0 : 1;
}

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
