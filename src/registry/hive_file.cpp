#include "registry/hive_file.h"

#include "os/file_lock.h"
#include "os/file_replacement.h"
#include "os/files.h"
#include "os/process.h"
#include "registry/hive_parse.h"
#include "registry/hive_write.h"

namespace tessaline {

namespace {

// A hive larger than this is refused rather than read into memory.
constexpr std::size_t kMaxHiveSize = std::size_t{64} << 20;

// Why there is no hive at all: DefaultHivePath found no home folder.
constexpr char kNoHiveFile[] = "No registry file: HOME is not set";

[[noreturn]] void Fail(const std::string& what, const SystemError& error) {
  throw ERegistryException(what + " '" + error.path() + "': " + error.Reason());
}

// The exclusive flock on "<hive>.lock", waited for at most `wait`.
FileLock LockHive(const std::string& hive, std::chrono::milliseconds wait) {
  const std::string lock_path = hive + ".lock";
  Result<FileLock> lock = FileLock::Acquire(lock_path, LockKind::kExclusive, wait);
  if (lock.ok()) return std::move(lock.value());
  const SystemError& error = lock.error();
  if (error.operation() == "open") Fail("Cannot open the registry lock file", error);
  if (error.code() == EWOULDBLOCK) {
    throw ERegistryException("The registry lock file '" + lock_path +
                             "' is held by another program");
  }
  Fail("Cannot lock the registry lock file", error);
}

// The hive file's bytes; empty for a missing file. Raises for the rest.
std::string ReadHiveText(const std::string& path) {
  Result<std::string> text = ReadRegularFile(path, kMaxHiveSize);
  if (text.ok()) return std::move(text.value());
  const SystemError& error = text.error();
  switch (error.code()) {
    case ENOENT:
      return {};
    case kErrorNotRegularFile:
      throw ERegistryException("The registry file '" + error.path() + "' is not a regular file");
    case kErrorTooLarge:
      throw ERegistryException("The registry file '" + error.path() + "' is too large");
    default:
      Fail(error.operation() == "open" ? "Cannot open the registry file"
                                       : "Cannot read the registry file",
           error);
  }
}

// What `parse` makes of the text of the file `path`, a damaged text raised
// as an error that names the file and the line.
template <class Parse>
auto ParseHiveFile(const std::string& path, Parse parse) {
  try {
    return parse();
  } catch (const HiveSyntaxError& e) {
    throw ERegistryException("The registry file '" + path + "' is damaged at line " +
                             std::to_string(e.line()) + ": " + e.reason());
  }
}

}  // namespace

std::string DefaultHivePath() {
  const std::string explicit_path = EnvironmentValue("WENLORA_REGISTRY");
  if (!explicit_path.empty()) return explicit_path;
  std::string data_home = EnvironmentValue("XDG_DATA_HOME");
  if (data_home.empty() || data_home[0] != '/') {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    data_home = home + "/.local/share";
  }
  return data_home + "/wenlora/system.reg";
}

std::string HiveFile::Target() const {
  if (path_.empty()) throw ERegistryException(kNoHiveFile);
  Result<struct stat> link = StatPath(path_, /*follow_links=*/false);
  if (!link.ok() || !S_ISLNK(link.value().st_mode)) return path_;
  Result<std::string> resolved = RealPath(path_);
  if (!resolved.ok()) return path_;  // a dangling link: replaced by the hive itself
  Result<struct stat> target = StatPath(resolved.value(), /*follow_links=*/false);
  const unsigned me = EffectiveUserId();
  const auto trusted = [me](const struct stat& info) {
    return info.st_uid == me || info.st_uid == 0;
  };
  if (!trusted(link.value()) || !target.ok() || !trusted(target.value())) {
    throw ERegistryException("The registry file '" + path_ +
                             "' is a link that another user controls");
  }
  return resolved.value();
}

bool HiveFile::Writable() const {
  try {
    return WhyNoWriteAccess(Target()).empty();
  } catch (const ERegistryException&) {
    return false;
  }
}

std::string HiveFile::WhyNotWritable() const {
  std::string target;
  try {
    target = Target();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  // A lock file in the way would stop every change.
  if (Status lock = LockFileInTheWay(target + ".lock"); !lock.ok()) {
    return "Cannot open the registry lock file '" + lock.error().path() +
           "': " + lock.error().Reason();
  }
  return WhyNoWriteAccess(target);
}

std::string HiveFile::WhyNoWriteAccess(const std::string& target) {
  const auto cannot = [](const std::string& path, int code) {
    return "Cannot write the registry file '" + path + "': " + SystemError("", path, code).Reason();
  };
  Result<struct stat> info = StatPath(target);
  if (info.ok()) {
    if (!S_ISREG(info.value().st_mode)) return cannot(target, kErrorNotRegularFile);
    if (!CanWriteFile(target)) return cannot(target, errno);
    if (!CanWriteFolder(ContainingFolder(target))) return cannot(ContainingFolder(target), errno);
    return {};
  }
  if (info.code() != ENOENT) return cannot(target, info.code());
  // A missing hive: the nearest existing folder on its way must be writable.
  std::string folder = ContainingFolder(target);
  for (;;) {
    Result<struct stat> level = StatPath(folder);
    if (level.ok()) {
      if (!S_ISDIR(level.value().st_mode)) return cannot(folder, ENOTDIR);
      return CanWriteFolder(folder) ? std::string() : cannot(folder, errno);
    }
    if (level.code() != ENOENT) return cannot(folder, level.code());
    std::string parent = ContainingFolder(folder);
    if (parent == folder) return cannot(folder, ENOENT);
    folder = std::move(parent);
  }
}

Hive HiveFile::Read() const {
  const std::string target = Target();
  const std::string text = ReadHiveText(target);
  return ParseHiveFile(target, [&] { return ParseHive(text); });
}

void HiveFile::Check() const {
  const std::string target = Target();
  const std::string text = ReadHiveText(target);
  ParseHiveFile(target, [&] { CheckHive(text); });
}

HiveFile::WriteLock HiveFile::HoldWriteLock() {
  if (holds_ == 0) {
    const std::string target = Target();
    if (Status made = CreateFolders(ContainingFolder(target), 0755); !made.ok()) {
      Fail("Cannot create the registry folder", made.error());
    }
    held_ = LockHive(target, lock_wait_);
  }
  ++holds_;
  return WriteLock(this);
}

void HiveFile::Modify(const std::function<bool(Hive&)>& change) {
  const WriteLock lock = HoldWriteLock();
  const std::string target = Target();
  const std::string text = ReadHiveText(target);
  HiveLayout layout;
  Hive before = ParseHiveFile(target, [&] { return ParseHive(text, layout); });
  Hive hive = before.Copy();
  if (!change(hive)) return;
  const std::optional<std::string> rewritten =
      RewriteHiveText(text, std::move(before), std::move(layout), hive, kMaxHiveSize);
  if (!rewritten) {
    throw ERegistryException("The registry file '" + target +
                             "' would grow too large; the change was not written");
  }
  Replace(target, *rewritten);
}

void HiveFile::Replace(const std::string& target, const std::string& text) {
  Result<struct stat> old = StatPath(target);
  FileReplacement replacement(target);
  Status status = replacement.Create(0600);
  if (status.ok()) {
    status = old.ok() ? replacement.KeepAttributesOf(old.value()) : replacement.SetMode(0644);
  }
  if (status.ok()) status = WriteAll(replacement.fd(), text, target);
  if (status.ok()) status = replacement.Sync();
  if (status.ok()) status = replacement.PutInPlace();
  if (!status.ok()) Fail("Cannot write the registry file", status.error());
}

}  // namespace tessaline
