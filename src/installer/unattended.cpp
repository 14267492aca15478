#include "installer/unattended.h"

#include <exception>
#include <ostream>

#include "installer/destination.h"
#include "installer/installation.h"
#include "installer/panel_state.h"
#include "os/process.h"
#include "support/toolkit.h"

namespace tessaline {

namespace {

// Prints a text whose lines end in CR LF (or LF) one line at a time.
void PrintLines(const std::string& text, std::ostream& out) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    out << text.substr(start, stop - start) << '\n';
    start = end + 1;
  }
}

}  // namespace

int RunUnattendedInstall(const std::optional<std::string>& dir, std::ostream& out,
                         std::ostream& err) {
  // A reader that went away must not kill us in the middle of an install.
  IgnoreBrokenPipes();
  ConsoleToolkit console(out, err);
  ScopedToolkit scoped(console);
  try {
    std::string destination;
    if (dir) {
      destination = DestinationForFolder(*dir);
    } else {
      PanelState state;
      state.Create();
      destination = state.destination.value_or("");
    }
    const std::string pack_path = InstallPack(destination, RunningImagePath());
    PrintLines(CompletionText(pack_path), out);
    return 0;  // whether the text reached its reader is the caller's check
  } catch (const std::exception& error) {
    PrintLines(ExceptionDisplayText(error.what()), err);
  } catch (...) {
    PrintLines(ExceptionDisplayText("Unknown error"), err);
  }
  err.flush();
  return 1;
}

}  // namespace tessaline
