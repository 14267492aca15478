// What the installer window shows, as decided once at its creation from the
// product's registry values. The Qt form copies these fields to its widgets;
// the unattended installation uses the destination alone.
//
// Thread use: main thread only (reads the registry store).
#pragma once

#include <optional>
#include <string>

namespace tessaline {

struct PanelState {
  // The destination (the edit DirN): a folder with a trailing "/", or the
  // path of the installed pack file.
  std::string dir_n = "DirN";
  // The Install button's caption.
  std::string install_caption = "Install pack";
  // The prompt above the destination (Label2).
  std::string prompt = "Select directory to Pack:";
  // The title label (Label1).
  std::string title = "Install pack";
  // The window caption.
  std::string caption = "Form1";
  // The application title; unset until creation gets that far.
  std::optional<std::string> application_title;

  // True in the already-installed state.
  bool installed() const { return install_caption == "Reinstall pack"; }

  // Fills the fields from the registry through CipherReg:
  //   product key present: dir_n := its value "Wenlora"; if the value
  //     "Pack"+PackNo of the subkey "Pack" is not empty, dir_n := that path,
  //     install_caption := "Reinstall pack", prompt := "Pack allready
  //     installed.";
  //   otherwise dir_n := TempFolder();
  //   then title, caption and application_title := PackName.
  // A registry read that raises (a value that is not text) leaves the
  // exception to the caller; the fields keep what was set before it.
  void Create();
};

}  // namespace tessaline
