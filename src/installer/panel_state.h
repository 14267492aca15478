// What the installer window's panel shows, as facts decided once at its
// creation from the product's registry values. The form turns them into its
// texts; the unattended installation uses the destination alone. A fact left
// unset (creation failed before it) leaves the form's design text.
//
// Thread use: main thread only (reads the registry store).
#pragma once

#include <optional>
#include <string>

namespace tessaline {

struct PanelState {
  // The destination: a folder with a trailing "/", or the path of the
  // installed pack file.
  std::optional<std::string> destination;
  // Whether this pack is installed: its record names a pack file.
  bool installed = false;
  // The pack's title, for the title label, the window caption and the
  // application title.
  std::optional<std::string> title;

  // Fills the facts from the registry through CipherReg:
  //   product key present: destination := its value "Wenlora"; if the value
  //     "Pack"+PackNo of the subkey "Pack" is not empty, destination := that
  //     path and installed := true; with neither a folder nor a record,
  //     destination := TempFolder() (an empty one could only fail);
  //   otherwise destination := TempFolder();
  //   then title := PackName.
  // A registry read that raises (a value that is not text) leaves the
  // exception to the caller; the facts keep what was set before it.
  void Create();
};

}  // namespace tessaline
