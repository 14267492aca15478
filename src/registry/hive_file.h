// The hive file on disk: where it is, reading it, changing it under an
// exclusive lock, replacing it atomically.
//
// Every change is written to a new file beside the hive (created
// exclusively, with the old file's mode, group and access list, 0644 for a
// new hive), synced and renamed over the hive, and the folder synced; so a
// crash at any moment leaves the old hive or the new one, and a reader always
// sees one whole hive. Readers therefore take no lock: Read works whatever
// another program holds and whatever stands at the lock file's place.
//
// Writers take an exclusive flock on "<hive>.lock" beside the hive, waiting
// at most the lock wait for another program's, and re-read the hive under it,
// so that concurrent writers lose nothing. The lock file is never opened
// through a link and must be a regular file. When the hive is a symbolic
// link, the lock file and the new file sit beside the file it points to; a
// link is followed only when it and the file it leads to belong to the caller
// or to root (a link that another user made could send root's writes
// anywhere).
//
// A hive larger than 64 MiB is refused when read, and a change that would
// make it larger is refused with the file left as it was. A damaged hive is
// never rewritten: Read and Modify report the file and the line.
//
// Thread use: one HiveFile per thread; separate HiveFile objects (also in one
// process) on the same path are safe to use at the same time.
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
  explicit HiveFile(std::string path);
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  const std::string& path() const { return path_; }

  // Whether this process has write access to the hive: the file and its
  // folder are writable, or for a missing hive the nearest existing folder on
  // its way. The lock file plays no part: readers never take it.
  bool Writable() const;
  // Why the hive cannot be changed now: no write access, or something that
  // cannot serve as a lock file stands at its place. Names the file, folder
  // or lock file and the system's reason; empty when it can.
  std::string WhyNotWritable() const;

  // The hive as it is on disk now, read anew (a missing file is an empty
  // hive). The reference stays valid until the next call on this object.
  // Raises ERegistryException, naming the file (and the line for a damaged
  // one), when the file cannot be read or does not parse.
  const Hive& Read();

  // Under the exclusive lock: reads the hive, lets `change` modify it and,
  // when `change` returns true, replaces the file with the result, rewritten
  // line by line (RewriteHiveText). Creates the hive's folder when missing.
  // Raises ERegistryException when the hive cannot be read, does not parse,
  // would grow past the size limit or cannot be replaced; the file then keeps
  // its old content. An exception from `change` passes through unchanged
  // (nothing is written).
  void Modify(const std::function<bool(Hive&)>& change);

  // The hive's exclusive lock, held while the object lives: every Modify of
  // this HiveFile meanwhile runs under it without taking it again, and no
  // other program's change comes between them. Move-only; holds are counted,
  // so that a nested one is free and the lock goes with the outermost.
  class WriteLock {
   public:
    WriteLock(WriteLock&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    WriteLock& operator=(WriteLock&&) = delete;
    ~WriteLock();

   private:
    friend class HiveFile;
    explicit WriteLock(HiveFile* file) : file_(file) {}
    HiveFile* file_;
  };
  // Takes the lock (waiting as Modify does) after creating the hive's folder
  // when it is missing. Raises ERegistryException as Modify does when the
  // lock cannot be had.
  [[nodiscard]] WriteLock HoldWriteLock();

  // Makes finished changes durable. Each change already is when Modify
  // returns (the new file and the hive's folder are synced), so this only
  // counts the call.
  void Flush();

  // How long a writer waits for another program's lock before it fails with
  // a message naming the lock file; five seconds unless changed.
  void set_lock_wait(std::chrono::milliseconds wait) { lock_wait_ = wait; }

  // How many times Flush ran on this object.
  std::uint64_t flush_count() const { return flush_count_; }

 private:
  // The file the hive is: path() or, for a trusted link, the file it leads to.
  std::string Target() const;
  // Why this process may not write the hive file `target` (Writable).
  static std::string WhyNoWriteAccess(const std::string& target);
  void Replace(const std::string& target, const std::string& text);

  std::string path_;
  Hive read_;  // what Read gave last
  std::uint64_t flush_count_ = 0;
  std::chrono::milliseconds lock_wait_{5000};
  // The exclusive lock while a WriteLock holds it, and how many do.
  std::optional<FileLock> held_;
  int holds_ = 0;
};

}  // namespace tessaline
