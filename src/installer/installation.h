// The installation: copies the running executable into the destination folder
// as the pack file and records the pack in the product's registry key.
//
// Thread use: main thread only (the registry store refuses other threads),
// after the support library's and the registry store's start-up.
// Errors are raised as tessaline::Exception or a subclass (pack_copy.h);
// the caller shows them through the toolkit's exception display.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace tessaline {

// The folder the installation uses for the destination text `dir_n`: its
// directory part (up to and including the last "/") with every trailing "/"
// removed; "/" when that leaves nothing of a non-empty directory part (the
// root); empty when `dir_n` has no "/" at all. An absolute folder is made
// normal as DestinationForFolder makes it (folders.h).
std::string PackFolderFor(const std::string& dir_n);

// The pack file's path for `dir_n`: PackFolderFor(dir_n), one "/", pack_name,
// ".wpk" ("/games/packs/" -> "/games/packs/Tessaline.wpk", "/" ->
// "/Tessaline.wpk"). Empty when the folder is empty.
std::string PackPathFor(const std::string& dir_n, const std::string& pack_name);

// Installs the pack: checks that the record can be written (the hive reads
// and can be changed), creates the folder of `dir_n` with its missing
// parents, copies the file `source_path` (the running executable) into a new
// file beside the pack path (pack_copy.h: PendingCopy), then, holding the
// hive's lock, puts it in place and writes the pack record
// (pack_record.h) in one change of the hive. Returns the pack path.
//
// Errors: "Unable to create directory" (no folder in `dir_n`), the copy's
// errors (nothing recorded then), and "Failed to set data for 'Pack<N>'"
// when the record cannot be written. Each but the first has a second line
// saying why, in the system's words. A record that fails changes no value,
// and the pack file gets its old file back (or goes); a further line tells
// when that could not be done. Folders made for the pack stay.
std::string InstallPack(const std::string& dir_n, const std::string& source_path);

// The completion message: "Pack installation finished", CR LF, the pack path.
std::string CompletionText(const std::string& pack_path);

// What the installer window's panel shows, as facts decided once at its
// creation from the product's registry values. The form turns them into its
// texts; the unattended installation uses the destination alone. A fact left
// unset (creation failed before it) leaves the form's design text.
struct PanelState {
  // The destination: a folder with a trailing "/", or the path of the
  // installed pack file.
  std::optional<std::string> destination;
  // Whether this pack is installed: its record names a pack file.
  bool installed = false;
  // The pack's title, for the title label, the window caption and the
  // application title.
  std::optional<std::string> title;

  // Fills the facts from the registry through CipherReg:
  //   product key present: destination := its value "Wenlora"; if the value
  //     "Pack"+PackNo of the subkey "Pack" is not empty, destination := that
  //     path and installed := true; with neither a folder nor a record,
  //     destination := TempFolder() (an empty one could only fail);
  //   otherwise destination := TempFolder();
  //   then title := PackName.
  // A registry read that raises (a value that is not text) leaves the
  // exception to the caller; the facts keep what was set before it.
  void Create();
};

// The installation without a window (`tessaline --install [DIR]`): installs
// the pack from the running executable into `dir` (as DestinationForFolder
// makes it a destination: a relative one is taken from the current
// directory) or, without `dir`, into the destination the window would offer
// (PanelState::Create). While it runs a console toolkit writing to `out` and
// `err` is installed, so the registry store's reports go to `err`. On
// success writes the completion message to `out`, one line each ("Pack
// installation finished", then the pack path), and returns 0. On failure
// writes the error as the exception display shows it (ExceptionDisplayText)
// on one line to `err` and returns 1.
int RunUnattendedInstall(const std::optional<std::string>& dir, std::ostream& out,
                         std::ostream& err);

}  // namespace tessaline
