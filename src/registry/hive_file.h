// The hive file on disk: where it is, reading it, changing it under an
// exclusive lock, replacing it atomically.
//
// Every change is written to a new file beside the hive (with the old file's
// mode, group and access list, 0644 for a new hive), synced and renamed over
// the hive, and the folder synced: a crash leaves the old hive or the new one,
// and a reader always sees one whole hive, so readers take no lock.
//
// Writers take an exclusive flock on "<hive>.lock", waiting at most the lock
// wait, and re-read the hive under it, so concurrent writers lose nothing.
// The lock file is never opened through a link and must be a regular file.
// A hive that is a symbolic link is followed (its lock and new file sit
// beside the file it leads to) only when the link and that file belong to
// the caller or to root.
//
// A hive larger than 64 MiB is refused when read, and a change that would
// make it larger is refused with the file left as it was. A damaged hive is
// never rewritten: Read and Modify report the file and the line.
//
// Thread use: one HiveFile per thread; separate objects on one path are safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "os/file_lock.h"
#include "registry/hive.h"

namespace tessaline {

// The local-machine hive file: $WENLORA_REGISTRY when set and not empty, else
// $XDG_DATA_HOME/wenlora/system.reg, XDG_DATA_HOME defaulting to
// $HOME/.local/share. Reads the environment at each call. Empty when neither
// the environment nor the password database gives a home folder.
std::string DefaultHivePath();

class HiveFile {
 public:
  explicit HiveFile(std::string path) : path_(std::move(path)) {}
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  const std::string& path() const { return path_; }

  // Whether this process has write access to the hive: the file and its
  // folder are writable, or for a missing hive the nearest existing folder on
  // its way. The lock file plays no part.
  bool Writable() const;
  // Why the hive cannot be changed now (no write access, or something that
  // cannot serve as a lock file in its place), naming the file, folder or
  // lock file and the system's reason; empty when it can.
  std::string WhyNotWritable() const;

  // The hive as it is on disk now (a missing file is an empty hive). Raises
  // ERegistryException, naming the file (and the line for a damaged one),
  // when it cannot be read or parsed.
  Hive Read() const;
  // Raises as Read does, building no hive: whether the hive can be read.
  void Check() const;

  // Under the exclusive lock: reads the hive, lets `change` modify it and,
  // when `change` returns true, replaces the file with the result rewritten
  // line by line (RewriteHiveText). Creates the hive's folder when missing.
  // Raises ERegistryException when the hive cannot be read or parsed, would
  // grow past the size limit or cannot be replaced; the file then keeps its
  // old content. An exception from `change` passes through (nothing written).
  void Modify(const std::function<bool(Hive&)>& change);

  // The hive's exclusive lock, held while the object lives: every Modify of
  // this HiveFile meanwhile runs under it, and no other program's change
  // comes between them. Move-only; holds nest, the outermost one unlocks.
  class WriteLock {
   public:
    WriteLock(WriteLock&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    WriteLock& operator=(WriteLock&&) = delete;
    ~WriteLock() {
      if (file_ != nullptr && --file_->holds_ == 0) file_->held_.reset();
    }

   private:
    friend class HiveFile;
    explicit WriteLock(HiveFile* file) : file_(file) {}
    HiveFile* file_;
  };
  // Takes the lock as Modify does (creating the hive's folder when missing),
  // raising ERegistryException as Modify does when it cannot be had.
  [[nodiscard]] WriteLock HoldWriteLock();

  // Makes finished changes durable. Each change already is when Modify
  // returns, so this only counts the calls (flush_count).
  void Flush() { ++flush_count_; }
  std::uint64_t flush_count() const { return flush_count_; }

  // How long a writer waits for another program's lock before it fails with
  // a message naming the lock file; five seconds unless changed.
  void set_lock_wait(std::chrono::milliseconds wait) { lock_wait_ = wait; }

 private:
  // The file the hive is: path() or, for a trusted link, the file it leads to.
  // Raises ERegistryException when there is no hive file or another user
  // controls the link.
  std::string Target() const;
  // Why this process may not write the hive file `target` (Writable).
  static std::string WhyNoWriteAccess(const std::string& target);
  void Replace(const std::string& target, const std::string& text);

  std::string path_;
  std::uint64_t flush_count_ = 0;
  std::chrono::milliseconds lock_wait_{5000};
  std::optional<FileLock> held_;  // while a WriteLock holds it
  int holds_ = 0;                 // how many do
};

}  // namespace tessaline
