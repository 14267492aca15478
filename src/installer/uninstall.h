// `tessaline --uninstall [--force]`: removes this pack's file and record.
//
// Thread use: main thread, after the installer module's start-up (it reads
// PackNo and PackName).
#pragma once

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>

namespace tessaline {

struct UninstallRequest {
  std::string hive_path;
  std::span<const std::byte> sheet;  // this pack's card sheet (resource PACK)
  bool force = false;                // drop a record that names another file
};

// Removes the file that "Pack"N (N = PackNo) names, then the values "Pack"N,
// "Comm"N and "Cir"N in one rewrite of the hive; every other value and key
// stays as it was. The hive's lock is held from reading the record until it
// is gone, so that no installer comes between.
//
// The file is removed only when it is this pack's (pack_file.h:
// ExaminePackFile, the rule --verify follows too), through its folder opened
// once; for root no folder or link that another user controls is followed.
// A record naming anything else is left alone with the reason on `err` and
// 1; with `force` its values are removed, its file kept, and the reason
// still goes to `err`. A record whose file is already gone loses its values.
// Leftovers of killed runs beside the file are removed.
//
// Writes to `out` what it did and returns 0: "not installed" (no value of
// the record), "uninstalled: PATH", "record removed, file kept: PATH"
// (--force), "uninstalled (the record named no file)". Any failure (a hive
// that cannot be read or changed, a file that cannot be removed) writes the
// reason to `err` and returns 1; the values are removed only after the file
// is gone, and the file only when the hive can be changed.
int RunUninstall(const UninstallRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tessaline
