// The installation: copies the running executable into the destination folder
// as the pack file and records the pack in the product's registry key.
//
// Thread use: main thread only (the registry store refuses other threads).
// Errors are raised as tessaline::Exception or a subclass (pack_copy.h);
// the caller shows them through the toolkit's exception display.
#pragma once

#include <string>

namespace tessaline {

// The folder the installation uses for the destination text `dir_n`: its
// directory part (up to and including the last "/") with every trailing "/"
// removed; "/" when that leaves nothing of a non-empty directory part (the
// root); empty when `dir_n` has no "/" at all.
std::string PackFolderFor(const std::string& dir_n);

// The pack file's path for `dir_n`: PackFolderFor(dir_n), one "/", pack_name,
// ".wpk" ("/games/packs/" -> "/games/packs/Tessaline.wpk", "/" ->
// "/Tessaline.wpk"). Empty when the folder is empty.
std::string PackPathFor(const std::string& dir_n, const std::string& pack_name);
std::string PackPathFor(const std::string& dir_n);  // with PackName

// Installs the pack: checks that the record can be written (the hive reads
// and can be changed), creates the folder of `dir_n` with its missing
// parents, copies the file `source_path` (the running executable) to the pack
// path (pack_copy.h: PendingCopy; into a folder that stands already the
// bytes are copied while the hive is read, and put in place only after the
// check), then writes the pack record through
// CipherReg: "Pack"+N = the pack path, "Comm"+N = PackName, "Cir"+N =
// PackNameCyr in the subkey "Pack", N being PackNo in decimal. Returns the
// pack path.
//
// Errors: "Unable to create directory" (no folder in `dir_n`), the copy's
// errors (nothing recorded then), and "Failed to set data for '<name>'" when
// a record value cannot be written. Each but the first has a second line
// saying why, in the system's words. A record that fails half-way is taken
// back: the values written before it get their old values again (or go), and
// the pack file its old file (or goes); a further line tells what could not
// be taken back. Folders made for the pack stay.
std::string InstallPack(const std::string& dir_n, const std::string& source_path);

// The completion message: "Pack installation finished", CR LF, the pack path.
std::string CompletionText(const std::string& pack_path);

}  // namespace tessaline
