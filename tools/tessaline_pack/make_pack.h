// Making a pack: the base program with the card sheet and the identity
// (support/resources.h, installer/identity.h) replaced, written in one piece.
//
// Everything that is asked is checked before anything is written: the
// titles and the number, that the output is not the base itself (also
// through a link), the base (an ELF program carrying the window's
// resources LOGO1, LOGO2, ICON and ICONPNG) and the sheet
// (pack_sheet/card_sheet.h). The pack is then written as a new file beside
// the output and renamed over it (os/file_replacement.h), so a failure
// leaves no part of it.
//
// Thread use: one call at a time (the file replacement holds SIGXFSZ back on
// the calling thread).
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "tessaline_pack/pack_options.h"

namespace tessaline {

// The largest base program read, in bytes.
inline constexpr std::size_t kMaxBaseSize = std::size_t{256} << 20;

// The resources every pack's window needs, which the base must carry.
inline constexpr const char* kWindowResources[] = {"LOGO1", "LOGO2", "ICON", "ICONPNG"};

// The program a pack is made from when no base is named: "tessaline" in the
// folder of the running program, after resolving links. Empty when the
// running program's path cannot be told.
std::string DefaultBaseProgram();

// Makes the pack `options` ask for (mode kMake). Reports go to `err`, each
// line beginning "tessaline-pack: "; returns the exit status: 0 written, 1
// the output could not be written, 2 a mistake in what was asked.
int MakePack(const PackOptions& options, std::ostream& err);

}  // namespace tessaline
