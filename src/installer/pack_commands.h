// The commands that manage recorded packs: `tessaline --list [--json]`,
// `--verify` and `--uninstall [--force]`. Each reads the hive at its path
// (DefaultHivePath); a hive that cannot be read gives its reason on one line
// to `err` and the status 1.
//
// Thread use: main thread, after the installer module's start-up (--verify
// and --uninstall read PackNo, PackName and PackNameCyr). --list and
// --verify read the hive without a lock.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>

namespace tessaline {

// Writes every pack record of the hive at `hive_path` (ListPackRecords) to
// `out`, one a line after a header, fields separated by tabs: number, title,
// Cyrillic title, path, state of the path's file ("ok": a file carrying a
// card sheet that decodes, "missing", "not a pack", "unreadable"; a missing
// value gives an empty field; each field in utf8::Printable's form, so that control
// characters and bytes that are not UTF-8 show as escapes; a "Pack"N that is
// not a string gives an empty path and "missing"). With `json`, writes them
// as a JSON array of objects with the keys "number", "title",
// "cyrillic_title", "path" (null when missing; bytes that are not UTF-8 as
// U+FFFD), "path_hex" (only for a path that is not UTF-8: its bytes in hex)
// and "state" instead. Returns 0, also for a hive without packs.
int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err);

struct VerifyRequest {
  std::string hive_path;
  std::string program;               // the running program's own bytes
  std::span<const std::byte> sheet;  // this pack's card sheet (resource PACK)
};

// Checks the record of pack PackNo: all three values are there, "Comm"N is
// PackName and "Cir"N is PackNameCyr, the file "Pack"N names is this pack's
// as --uninstall judges it and byte for byte
// `program`. Writes one line to `out`: "ok: PATH" and returns 0; or, and
// returns 1, "not installed", "record incomplete: Cir1 missing" (the first
// value missing), "record differs: Comm1" (a title that is not this pack's),
// "file missing: PATH", "not a pack: PATH" (a folder or other non-file, as
// --list says), "file differs: PATH" (other bytes), "file differs: PATH:
// REASON" (not this pack's file: a link, another name, another sheet) or
// "file unreadable: PATH: REASON".
int RunVerify(const VerifyRequest& request, std::ostream& out, std::ostream& err);

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
// The file is removed only when it is this pack's (the rule --verify follows
// too), through its folder opened once. A record naming
// anything else is left alone with the reason on `err` and 1; with `force`
// its values are removed, its file kept, and the reason still goes to `err`.
// A record whose file is already gone loses its values.
//
// Writes to `out` what it did and returns 0: "not installed" (no value of
// the record), "uninstalled: PATH", "record removed, file kept: PATH"
// (--force), "uninstalled (the record named no file)". Any failure (a hive
// that cannot be read or changed, a file that cannot be removed) writes the
// reason to `err` and returns 1; the values are removed only after the file
// is gone, and the file only when the hive can be changed.
int RunUninstall(const UninstallRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tessaline
