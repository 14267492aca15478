// `tessaline --verify`: whether this pack is installed and intact.
//
// Thread use: main thread, after the installer module's start-up (it reads
// PackNo, PackName and PackNameCyr). Reads the hive under its shared lock.
#pragma once

#include <iosfwd>
#include <string>

namespace tessaline {

// Checks the record of pack PackNo in the hive at `hive_path`: all three
// values are there, "Comm"N is PackName and "Cir"N is PackNameCyr, and the
// file "Pack"N names is byte for byte the file `program` (the running
// executable). Writes one line to `out`: "ok: PATH" and returns 0; or, and
// returns 1, "not installed", "record incomplete: Cir1 missing" (the first
// value missing), "record differs: Comm1" (a title that is not this pack's),
// "file missing: PATH", "file differs: PATH" or "file unreadable: PATH:
// REASON". A hive that cannot be read gives its reason on `err` and 1.
int RunVerify(const std::string& hive_path, const std::string& program, std::ostream& out,
              std::ostream& err);

}  // namespace tessaline
