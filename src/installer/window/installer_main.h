// The installer's entry: parses the command line, starts the modules in their
// order (support library, registry store, installer), gives the installer its
// identity, runs the window (or the screenshot, or the installation without a
// window) and shuts the modules down in the reverse order.
//
// Thread use: the process's main thread, once.
#pragma once

#include <QSize>
#include <cstdint>
#include <string>

namespace tessaline {

// The pack this executable installs, fixed by its build.
struct PackIdentity {
  std::int32_t number;
  std::string name;
  std::string cyrillic_name;
};

// Exit statuses: 0 success; 1 a failure (no display for the window, an
// installation or a screenshot that failed); 2 a bad command line.
int InstallerMain(int argc, char** argv, const PackIdentity& identity);

// True when a window can be shown: DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM is set and not empty.
bool HasDisplay();

// With a QApplication running: builds the window as its creation leaves it,
// lays it out at `client_size` without showing it on any screen, and writes
// it to `path` as a PNG. False (with a line on stderr) when the file cannot
// be written.
bool WriteScreenshot(const std::string& path, QSize client_size);

// The environment variable that makes the window quit once its backdrop has
// been painted for the first time (for start-up measurements).
inline constexpr char kExitAfterFirstPaintVariable[] = "TESSALINE_EXIT_AFTER_FIRST_PAINT";

}  // namespace tessaline
