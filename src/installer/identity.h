// The installer's identity: the pack's number and its two titles.
//
// The module gives placeholder values; the main routine assigns the pack's own
// values before the window exists. PackNo is written in decimal after the
// pack record's value names (Pack1, Comm1, Cir1); PackName is the window's
// title, the application title and the pack file's base name; PackNameCyr is
// only recorded in the registry. Texts are UTF-8.
//
// Thread use: main thread only, like everything that reads them.
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

extern std::int32_t PackNo;      // placeholder 0
extern std::string PackNameCyr;  // placeholder "Карты х"
extern std::string PackName;     // placeholder "Pack x"

// The installer module's start-up: nothing to do (the values are already set).
void InstallerStartup();

// The installer module's shut-down: releases PackName and PackNameCyr (they
// become empty and give their memory back).
void InstallerShutdown();

}  // namespace tessaline
