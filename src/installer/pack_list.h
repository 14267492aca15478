// `tessaline --list [--json]`: the packs recorded in the hive.
//
// Thread use: any thread; reads the hive under its shared lock only.
#pragma once

#include <iosfwd>
#include <string>

namespace tessaline {

// Writes every pack record of the hive at `hive_path` (ListPackRecords) to
// `out`, one a line after a header, fields separated by tabs: number, title,
// Cyrillic title, path, state (PackFileStateName of the path; a missing value
// gives an empty field, a tab or line break inside a value is written as a
// blank; a "Pack"N that is not a string gives an empty path and "missing").
// With `json`, writes them as a JSON array of objects with the keys
// "number", "title", "cyrillic_title", "path" (null when missing) and
// "state" instead. Returns 0, also for a hive without packs; when the hive
// cannot be read, writes the reason on one line to `err` and returns 1.
int RunList(const std::string& hive_path, bool json, std::ostream& out, std::ostream& err);

}  // namespace tessaline
