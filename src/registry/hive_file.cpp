#include "registry/hive_file.h"

#include <system_error>

#include "os/file_lock.h"
#include "os/file_replacement.h"
#include "os/files.h"
#include "os/process.h"

namespace tessaline {

namespace {

// A hive larger than this is refused rather than read into memory.
constexpr std::size_t kMaxHiveSize = std::size_t{64} << 20;

// Why there is no hive at all: DefaultHivePath found no home folder.
constexpr char kNoHiveFile[] = "No registry file: HOME is not set";

[[noreturn]] void Fail(const std::string& what, const SystemError& error) {
  throw ERegistryException(what + " '" + error.path() + "': " + error.Reason());
}

// The texts for a hive that could not be read whole.
[[noreturn]] void FailRead(const SystemError& error) {
  switch (error.code()) {
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

// The lock file beside the hive file `hive`.
std::string LockPathOf(const std::string& hive) {
  return hive + ".lock";
}

// A flock on "<hive>.lock". A shared lock that cannot be had because the lock
// file cannot be opened (read-only folder, no folder yet) is skipped: nobody
// can be writing through this lock then either.
FileLock LockHive(const std::string& hive, LockKind kind, std::chrono::milliseconds wait) {
  const std::string lock_path = LockPathOf(hive);
  Result<FileLock> lock = FileLock::Acquire(lock_path, kind, wait);
  if (lock.ok()) return std::move(lock.value());
  const SystemError& error = lock.error();
  if (error.operation() == "open") {
    if (kind == LockKind::kShared && error.code() != kErrorNotRegularFile) return FileLock();
    Fail("Cannot open the registry lock file", error);
  }
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
  if (text.code() == ENOENT) return {};
  FailRead(text.error());
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

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {}

std::string HiveFile::Target() const {
  if (path_.empty()) return path_;
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
  return WhyNotWritable().empty();
}

std::string HiveFile::WhyNotWritable() const {
  if (path_.empty()) return kNoHiveFile;
  std::string target;
  try {
    target = Target();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  const auto cannot = [](const std::string& path, int code) {
    return "Cannot write the registry file '" + path + "': " + SystemError("", path, code).Reason();
  };
  // A lock file in the way would stop every change.
  if (Status lock = LockFileInTheWay(LockPathOf(target)); !lock.ok()) {
    return "Cannot open the registry lock file '" + lock.error().path() +
           "': " + lock.error().Reason();
  }
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

void HiveFile::Forget() {
  cache_valid_ = false;
  cached_stamp_.reset();
}

void HiveFile::LoadLocked(const std::string& target) {
  // The stamp is taken before the bytes are read: a change in between leaves
  // the kept stamp older than the file, so the next look reads it again.
  std::optional<FileStamp> stamp;
  if (Result<struct stat> info = StatPath(target); info.ok() && S_ISREG(info.value().st_mode)) {
    stamp = StampOf(info.value());
    if (cache_valid_ && cached_stamp_ == stamp) return;
    if (!Settled(*stamp, settle_time_)) stamp.reset();
  }
  if (cache_valid_) {
    // The file's bytes are compared with the kept text without reading the
    // file into memory; a missing file holds the empty text.
    Result<bool> same = FileHolds(target, cached_.text());
    if ((same.ok() && same.value()) ||
        (!same.ok() && same.code() == ENOENT && cached_.text().empty())) {
      cached_stamp_ = stamp;
      return;
    }
  }
  std::string text = ReadHiveText(target);
  Forget();
  try {
    cached_ = HiveText::Parse(std::move(text));
  } catch (const HiveSyntaxError& e) {
    throw ERegistryException("The registry file '" + target + "' is damaged at line " +
                             std::to_string(e.line()) + ": " + e.reason());
  }
  cached_stamp_ = stamp;
  cache_valid_ = true;
}

void HiveFile::Preload() {
  if (preload_.valid() || cache_valid_ || path_.empty()) return;
  std::string target;
  try {
    target = Target();
  } catch (const ERegistryException&) {
    return;  // the call that needs the hive reports it
  }
  // The thread works on copies only. It does not wait for another program's
  // lock: the call that needs the hive waits as it always does.
  auto read_ahead = [target, settle = settle_time_]() -> std::optional<Preloaded> {
    try {
      if (!StatPath(ContainingFolder(target)).ok()) return std::nullopt;
      const FileLock lock = LockHive(target, LockKind::kShared, std::chrono::milliseconds(0));
      Result<struct stat> info = StatPath(target);
      if (!info.ok() || !S_ISREG(info.value().st_mode)) return std::nullopt;
      std::optional<FileStamp> stamp = StampOf(info.value());
      if (!Settled(*stamp, settle)) stamp.reset();
      return Preloaded{HiveText::Parse(ReadHiveText(target)), stamp};
    } catch (...) {
      return std::nullopt;
    }
  };
  try {
    preload_ = std::async(std::launch::async, std::move(read_ahead));
  } catch (const std::system_error&) {
    // No thread to be had: the hive is read when it is needed.
  }
}

void HiveFile::TakePreload() {
  if (!preload_.valid()) return;
  std::optional<Preloaded> preloaded = preload_.get();
  if (!preloaded || cache_valid_) return;
  // Kept as if this object had read it: LoadLocked takes it only while the
  // file keeps its settled stamp or holds its bytes.
  cached_ = std::move(preloaded->text);
  cached_stamp_ = preloaded->stamp;
  cache_valid_ = true;
}

const Hive& HiveFile::Read() {
  if (path_.empty()) throw ERegistryException(kNoHiveFile);
  TakePreload();
  const std::string target = Target();
  if (Result<struct stat> folder = StatPath(ContainingFolder(target)); !folder.ok()) {
    // A folder that cannot be looked at is no answer; only one that is not
    // there means no hive (and no lock file to share).
    if (folder.code() != ENOENT && folder.code() != ENOTDIR) {
      Fail("Cannot read the registry file", SystemError("stat", target, folder.code()));
    }
    Forget();
    cached_ = HiveText();
    cache_valid_ = true;
    return cached_.hive();
  }
  // Under a WriteLock of this object nobody else writes; a shared lock of
  // its own would only wait for the one it holds.
  const FileLock lock =
      holds_ > 0 ? FileLock() : LockHive(target, LockKind::kShared, lock_wait_);
  LoadLocked(target);
  return cached_.hive();
}

HiveFile::WriteLock HiveFile::HoldWriteLock() {
  if (holds_ == 0) {
    if (path_.empty()) throw ERegistryException(kNoHiveFile);
    const std::string target = Target();
    if (Status made = CreateFolders(ContainingFolder(target), 0755); !made.ok()) {
      Fail("Cannot create the registry folder", made.error());
    }
    held_ = LockHive(target, LockKind::kExclusive, lock_wait_);
  }
  ++holds_;
  return WriteLock(this);
}

HiveFile::WriteLock::~WriteLock() {
  if (file_ != nullptr && --file_->holds_ == 0) file_->held_.reset();
}

void HiveFile::Modify(const std::function<bool(Hive&)>& change) {
  if (path_.empty()) throw ERegistryException(kNoHiveFile);
  TakePreload();
  const WriteLock lock = HoldWriteLock();
  const std::string target = Target();
  LoadLocked(target);
  try {
    // The kept hive is changed in place and its text edited to match, so a
    // change costs what it changes, not the size of the hive.
    if (!change(cached_.mutable_hive())) {
      // Nothing to write; a hive changed all the same no longer matches the file.
      if (cached_.mutable_hive().HasChanges()) Forget();
      return;
    }
    if (!cached_.Commit(kMaxHiveSize)) {
      throw ERegistryException("The registry file '" + target +
                               "' would grow too large; the change was not written");
    }
    Replace(target, cached_.text());
    // The new file's stamp has not settled, so the next look reads the file
    // and finds these bytes.
    cached_stamp_.reset();
  } catch (...) {
    // The kept hive may hold changes that never reached the file.
    Forget();
    throw;
  }
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

void HiveFile::Flush() {
  // Every rewrite has synced the file and its folder before Modify returned
  // (FileReplacement), so nothing is left to make durable here; a start that
  // only reads the hive syncs nothing.
  ++flush_count_;
}

}  // namespace tessaline
