// Writing the hive's text form (see hive_parse.h): a whole hive, or an
// existing text changed line by line.
//
// A value is written as "name"="text" when it is REG_SZ data that is text
// and one NUL at its end and nowhere else, without a line break, in UTF-8;
// as dword:xxxxxxxx when it is REG_DWORD data of four bytes; otherwise as
// hex: (REG_BINARY) or hex(N): (any other type N, in hex) and its bytes,
// wrapped onto continuation lines, so that every value's bytes survive
// exactly. Thread use: pure functions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "registry/hive.h"
#include "registry/hive_parse.h"

namespace tessaline {

// The text form of `hive`: every key listed (empty ones too, but not a root
// key that holds subkeys only), depth first; ParseHive of it equals `hive`.
// The limited form gives nothing when the text would be longer than `limit`
// bytes, checked while writing, so that it never takes the memory for more.
std::string SerializeHive(const Hive& hive);
std::optional<std::string> SerializeHive(const Hive& hive, std::size_t limit);

// The text `original`, which ParseHive(original, layout) read into `before`,
// changed into `changed` as a person who edits it would want: comments, blank
// lines, order, line ends (CR LF or LF, as its first line has), a byte-order
// mark, a missing last line end and the spelling of every line whose value
// did not change stay as they are; a changed value's lines are rewritten in
// place (each of its listings), a removed value goes with its continuation
// lines, a new value follows its key's last line, a new key goes at the end.
// Whenever the result would not read back exactly as `changed` (or `original`
// is empty) the text is SerializeHive(changed) instead. Nothing when the text
// would pass `limit`. `before` and `layout` are used up, and freed before the
// result is read back.
std::optional<std::string> RewriteHiveText(std::string_view original, Hive before,
                                           HiveLayout layout, const Hive& changed,
                                           std::size_t limit);

}  // namespace tessaline
