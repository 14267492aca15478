// A new file that takes an existing file's place only once it is complete.
//
// The new file is made in the target's folder: unnamed (O_TMPFILE) where the
// file system allows, else as "." + target's name + ".part-" + six characters,
// created exclusively and never through a link. It is locked (flock) while it
// lives, so another run does not take it for the leftover of a killed one;
// unlocked leftovers are removed when the next replacement is made. A crash at
// any moment leaves the old file or the new one under the target's name,
// never a part of either.
//
// While the object lives the calling thread holds SIGXFSZ back, so that a
// file-size limit shows as a failed write (EFBIG) instead of ending the
// process. Use it on one thread only.
#pragma once

#include <signal.h>

#include <string>

#include "os/files.h"

namespace tessaline {

class FileReplacement {
 public:
  // Names the file to replace; nothing is touched yet.
  explicit FileReplacement(std::string target);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  // Removes the new file when it was not put in place.
  ~FileReplacement();

  // "." + file_name + ".part-": how the names of unfinished files begin.
  static std::string PartialPrefix(const std::string& file_name);
  // A new name of that form: the prefix and six random characters.
  static std::string NewPartialName(const std::string& file_name);
  // Removes, from the open folder `folder`, the files of that form that no
  // running program holds locked: what killed runs left behind.
  static void RemoveLeftovers(int folder, const std::string& file_name);

  // Opens the target's folder and makes the new file with `mode` (less the
  // umask). Errors: the folder cannot be opened ("open"), no new file can be
  // made in it ("create"), the target names no file ("create", EISDIR), the
  // folder is append-only ("create", EPERM).
  Status Create(mode_t mode);

  // The new file, open for writing (only after a successful Create).
  int fd() const { return file_.get(); }
  const std::string& target() const { return target_; }

  // Gives the new file the mode, group and access list of `old`, the file it
  // will replace; root keeps the owner too. A group or an access list that
  // cannot be kept is an error ("chown", "setxattr"), so that a rewrite never
  // locks out the users the old file let in.
  Status KeepAttributesOf(const struct stat& old);

  // Sets the new file's mode exactly, whatever the umask ("chmod").
  Status SetMode(mode_t mode);

  // Syncs the new file's contents ("sync").
  Status Sync();

  // Call after Sync. Names the new file and swaps names with the file at the
  // target ("link", "rename"; where names cannot be swapped, renames over it),
  // syncs the folder ("sync folder"; EINVAL, a folder that cannot be synced,
  // counts as done) and removes the old file, now under the hidden name. A
  // failure after the swap swaps back, so the target holds what it held.
  // Errors also "stat" when the target cannot be looked at.
  Status PutInPlace();

  // The same, but what it replaces is kept under the hidden name (a regular
  // file locked against other runs' cleaning) for Undo; the object removes it
  // when it goes.
  Status PutInPlaceKeepingOld();

  // After PutInPlaceKeepingOld, while the target still leads to the new
  // file: puts what it replaced back (or removes the target when nothing
  // stood there) and syncs the folder. Does nothing when the target leads
  // elsewhere by now, when the old file could not be kept, or a second time.
  // Errors: "rename", "unlink", "sync folder".
  Status Undo();

 private:
  Status Place(bool keep_old);
  bool CreateNamed(mode_t mode);
  Status NameUnnamedFile();
  Status KeepAccessList();
  Status SyncTargetFolder();

  std::string target_;
  std::string file_name_;
  UniqueFd folder_;
  UniqueFd file_;
  std::string partial_name_;  // the new file's name in the folder, while it has one;
                              // the kept old file's after PutInPlaceKeepingOld
  UniqueFd replaced_;         // the kept old file, locked when it is a regular file
  // How Undo puts things back after PutInPlaceKeepingOld.
  enum class UndoBy { kNothing, kRemoving, kSwappingBack };
  UndoBy undo_ = UndoBy::kNothing;
  sigset_t file_size_signal_;
  sigset_t previous_mask_;
  bool file_size_signal_was_pending_ = false;
};

}  // namespace tessaline
