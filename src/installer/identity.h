// The installer's identity: the pack's number and its two titles.
//
// The values are placeholders until the installer module's start-up gives
// them the pack's own, before the window exists. PackNo is written in decimal
// after the pack record's value names (Pack1, Comm1, Cir1); PackName is the
// window's title, the application title and the pack file's base name;
// PackNameCyr is only recorded in the registry. Texts are UTF-8.
//
// Thread use: main thread only, like everything that reads them.
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

// The pack an executable installs, fixed by its build
// (cmake/TessalinePack.cmake).
struct PackIdentity {
  std::int32_t number;
  std::string name;
  std::string cyrillic_name;
};

extern std::int32_t PackNo;      // placeholder 0
extern std::string PackNameCyr;  // placeholder "Карты х"
extern std::string PackName;     // placeholder "Pack x"

// The installer module's start-up: gives PackNo, PackName and PackNameCyr the
// values of `identity`.
void InstallerStartup(const PackIdentity& identity);

// The installer module's shut-down: releases PackName and PackNameCyr (they
// become empty and give their memory back). Safe to call when start-up has
// not run.
void InstallerShutdown();

}  // namespace tessaline
