// A picture of the installer window without showing it on any screen
// (`tessaline --screenshot FILE.png`).
//
// Thread use: the user-interface thread, with a QApplication running.
#pragma once

#include <QSize>
#include <string>

namespace tessaline {

// Builds the window as its creation leaves it, lays it out at `client_size`
// without showing it on any screen, and writes it to `path` as a PNG. False
// (with a line on stderr) when the file cannot be written.
bool WriteScreenshot(const std::string& path, QSize client_size);

}  // namespace tessaline
