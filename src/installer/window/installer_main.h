// The installer's composition root: parses the command line, answers --help
// and --version, starts the modules (support library, registry store, the
// installer's identity) for as long as the run needs them, runs the window,
// the screenshot, the translation or the installation without a window, and
// shuts the modules down in the reverse order however the run ends.
//
// Thread use: the process's main thread, once.
#pragma once

#include <QSize>
#include <ostream>
#include <string>

#include "installer/identity.h"

namespace tessaline {

// Exit statuses: 0 success; 1 a failure (no display for the window, an
// installation or a screenshot that failed, an unexpected exception); 2 a bad
// command line.
int InstallerMain(int argc, char** argv, const PackIdentity& identity);

// The environment variable that makes the window quit once its backdrop has
// been painted for the first time (for start-up measurements).
inline constexpr char kExitAfterFirstPaintVariable[] = "TESSALINE_EXIT_AFTER_FIRST_PAINT";

// A picture of the installer window without showing it on any screen
// (`tessaline --screenshot FILE.png`), on the user-interface thread with a
// QApplication running.

// The picture format `path`'s suffix asks for, in lower case ("png" for a
// name without a suffix); empty when Qt cannot write that format.
std::string ScreenshotFormat(const std::string& path);

// Builds the window as its creation leaves it, lays it out at `client_size`
// without showing it on any screen, and writes it to `path` in the format of
// its suffix (ScreenshotFormat). The file is written in place (so a device
// such as /dev/stdout works); one this made is removed again when writing it
// fails. False, with one line on `err` that names the file and says why
// (the system's words), when the format is unknown or the file cannot be
// written.
bool WriteScreenshot(const std::string& path, QSize client_size, std::ostream& err);

}  // namespace tessaline
