// A picture of the installer window without showing it on any screen
// (`tessaline --screenshot FILE.png`).
//
// Thread use: the user-interface thread, with a QApplication running.
#pragma once

#include <QSize>
#include <ostream>
#include <string>

namespace tessaline {

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
