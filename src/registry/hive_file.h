// The hive file on disk: where it is, reading it under a shared lock, changing
// it under an exclusive lock, replacing it atomically.
//
// Durability and sharing: a change is written to "<hive>.tmp" (created
// exclusively, with the old file's mode, 0644 for a new hive), synced and
// renamed over the hive, so a crash at any moment leaves the old hive or the
// new one and other processes see the change as soon as Modify returns. Every
// read holds a shared flock and every read-modify-write an exclusive flock on
// "<hive>.lock" beside the hive; Modify re-reads the hive under its lock, so
// concurrent writers lose nothing. When the hive is a symbolic link, these
// files sit beside the file it points to. A link is followed only when it and
// the file it leads to belong to the caller or to root: a link that another
// user made could send root's writes anywhere. The lock file and the new
// file are never reached through a link.
//
// Reading: the object keeps the hive it read last with the file's stamp
// (os/file_stamp.h). A later Read or Modify that finds the file with
// the same stamp takes the kept hive without reading the file; any other
// stamp (another inode, size or time, also an edit in place that kept size
// and modification time) makes it read the file again, and a text equal to
// the kept one is not parsed again. A stamp is trusted only once it has
// settled, so a file changed within the last two seconds is always read.
// A damaged hive is never kept: every Read reports it again.
//
// Reading ahead: Preload reads and parses the hive on a thread of its own, for
// a program that has other work to do before it needs the hive. The next Read
// or Modify waits for that thread and keeps what it read as the kept hive
// above, so it is taken only while the file still holds it. A preload that
// fails (a damaged or unreadable hive, a lock held by another program) is
// dropped: the call that needs the hive reads it itself and reports why.
//
// Thread use: one HiveFile per thread; separate HiveFile objects (also in one
// process) on the same path are safe to use at the same time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>

#include "os/file_lock.h"
#include "os/file_stamp.h"
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

  // Whether this process may change the hive: the file and its folder are
  // writable, or for a missing hive the nearest existing folder on its way.
  bool Writable() const;
  // Why the hive cannot be changed, naming the file or folder and the
  // system's reason; empty when it can.
  std::string WhyNotWritable() const;

  // The hive as it is on disk now (a missing file is an empty hive). The
  // reference stays valid until the next call on this object. Raises
  // ERegistryException, naming the file (and the line for a damaged one),
  // when the file cannot be read or does not parse.
  const Hive& Read();

  // Under the exclusive lock: reads the hive, lets `change` modify a copy of
  // it and, when `change` returns true, replaces the file with the result.
  // Creates the hive's folder when missing. Raises ERegistryException when
  // the hive cannot be read, does not parse or cannot be replaced; the file
  // then keeps its old content. An exception from `change` passes through
  // unchanged (nothing is written).
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

  // Starts reading the hive ahead (see above). Nothing when a preload is
  // under way already, when a hive is kept already (the next Read or Modify
  // checks it against the file as usual), or when the hive's path or a
  // thread cannot be had.
  void Preload();

  // Makes finished changes durable. Each change already is when Modify
  // returns (the new file and the hive's folder are synced), so this only
  // counts the call.
  void Flush();

  // How long Read and Modify wait for another program's lock before they
  // fail with a message naming the lock file; five seconds unless changed.
  void set_lock_wait(std::chrono::milliseconds wait) { lock_wait_ = wait; }

  // How long after a change the file's times are trusted to tell the next
  // change apart (see above); two seconds unless changed.
  void set_settle_time(std::chrono::nanoseconds settle) { settle_time_ = settle; }

  // How many times Flush ran on this object.
  std::uint64_t flush_count() const { return flush_count_; }

 private:
  std::string Target() const;
  void LoadLocked(const std::string& target);
  void Replace(const std::string& target, const std::string& text);
  // Drops the kept hive and its stamp.
  void Forget();
  // Waits for a preload under way and keeps what it read, if anything.
  void TakePreload();

  std::string path_;

  // The file's last text as read or written, with the hive parsed from it:
  // when the file still holds these bytes, parsing is skipped.
  bool cache_valid_ = false;
  HiveText cached_;
  // The file's settled stamp when it was read into the cache: while the file
  // keeps it, reading is skipped too.
  std::optional<FileStamp> cached_stamp_;
  std::chrono::nanoseconds settle_time_ = std::chrono::seconds(2);
  std::uint64_t flush_count_ = 0;
  std::chrono::milliseconds lock_wait_{5000};

  // What a preload read: the text with its hive, and the file's settled
  // stamp, if it had one, from before the bytes were read.
  struct Preloaded {
    HiveText text;
    std::optional<FileStamp> stamp;
  };
  std::future<std::optional<Preloaded>> preload_;

  // The exclusive lock while a WriteLock holds it, and how many do.
  std::optional<FileLock> held_;
  int holds_ = 0;
};

}  // namespace tessaline
