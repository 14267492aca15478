// `tessaline --list [--json]`: the packs recorded in the hive.
//
// Thread use: any thread; reads the hive without a lock.
#pragma once

#include <iosfwd>
#include <string>

namespace tessaline {

// Writes every pack record of the hive at `hive_path` (ListPackRecords) to
// `out`, one a line after a header, fields separated by tabs: number, title,
// Cyrillic title, path, state (PackFileStateName of the path; a missing value
// gives an empty field; each field in utf8::Printable's form, so that control
// characters and bytes that are not UTF-8 show as escapes; a "Pack"N that is
// not a string gives an empty path and "missing"). With `json`, writes them
// as a JSON array of objects with the keys "number", "title",
// "cyrillic_title", "path" (null when missing; bytes that are not UTF-8 as
// U+FFFD), "path_hex" (only for a path that is not UTF-8: its bytes in hex)
// and "state" instead. Returns 0, also for a hive without packs; when the hive
// cannot be read, writes the reason on one line to `err` and returns 1.
int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err);

}  // namespace tessaline
