// The installation without a window (`tessaline --install [DIR]`).
//
// Thread use: main thread, after the support library's and the registry
// store's start-up.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace tessaline {

// Installs the pack from the running executable into `dir` (as
// DestinationForFolder makes it a destination: a relative one is taken from
// the current directory) or, without `dir`, into the destination the window
// would offer (PanelState::Create). While it runs a console
// toolkit writing to `out` and `err` is installed, so the registry store's
// reports go to `err`. On success writes the completion message to `out`, one
// line each ("Pack installation finished", then the pack path), and returns
// 0. On failure writes the error as the exception display shows it
// (ExceptionDisplayText) on one line to `err` and returns 1.
int RunUnattendedInstall(const std::optional<std::string>& dir, std::ostream& out,
                         std::ostream& err);

}  // namespace tessaline
