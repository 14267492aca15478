// `tessaline --verify`: whether this pack is installed and intact.
//
// Thread use: main thread, after the installer module's start-up (it reads
// PackNo, PackName and PackNameCyr). Reads the hive without a lock.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>

namespace tessaline {

struct VerifyRequest {
  std::string hive_path;
  std::string program;               // the running program's own bytes
  std::span<const std::byte> sheet;  // this pack's card sheet (resource PACK)
};

// Checks the record of pack PackNo: all three values are there, "Comm"N is
// PackName and "Cir"N is PackNameCyr, the file "Pack"N names is this pack's
// as --uninstall judges it (pack_file.h: ExaminePackFile) and byte for byte
// `program`. Writes one line to `out`: "ok: PATH" and returns 0; or, and
// returns 1, "not installed", "record incomplete: Cir1 missing" (the first
// value missing), "record differs: Comm1" (a title that is not this pack's),
// "file missing: PATH", "not a pack: PATH" (a folder or other non-file, as
// --list says), "file differs: PATH" (other bytes), "file differs: PATH:
// REASON" (not this pack's file: a link, another name, another sheet) or
// "file unreadable: PATH: REASON". Leftovers of killed runs beside the file
// are removed. A hive that cannot be read gives its reason on `err` and 1.
int RunVerify(const VerifyRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tessaline
