// The installer's composition root: parses the command line, answers --help
// and --version, starts the modules (support library, registry store, the
// installer's identity) for as long as the run needs them, runs the window,
// the screenshot, the translation or the installation without a window, and
// shuts the modules down in the reverse order however the run ends.
//
// Thread use: the process's main thread, once.
#pragma once

#include "installer/identity.h"

namespace tessaline {

// Exit statuses: 0 success; 1 a failure (no display for the window, an
// installation or a screenshot that failed, an unexpected exception); 2 a bad
// command line.
int InstallerMain(int argc, char** argv, const PackIdentity& identity);

// The environment variable that makes the window quit once its backdrop has
// been painted for the first time (for start-up measurements).
inline constexpr char kExitAfterFirstPaintVariable[] = "TESSALINE_EXIT_AFTER_FIRST_PAINT";

}  // namespace tessaline
