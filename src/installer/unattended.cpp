#include "installer/unattended.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <ostream>
#include <vector>

#include "installer/installation.h"
#include "installer/panel_state.h"
#include "platform/process.h"
#include "support/toolkit.h"

namespace tessaline {

namespace {

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// The destination text for a folder named on the command line: the folder
// with one "/" added, as the directory chooser would give it. A relative
// folder is taken from the current directory; an empty one stays empty, so
// that it is refused rather than taken for the root.
std::string DestinationFor(const std::string& dir) {
  if (dir.empty()) return {};
  if (dir.front() == '/') return dir + "/";
  std::string base = CurrentDirectory();
  if (base.empty()) return dir + "/";
  if (base.back() != '/') base += '/';
  return base + dir + "/";
}

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
  ConsoleToolkit console(out, err);
  ScopedToolkit scoped(console);
  try {
    std::string dir_n;
    if (dir) {
      dir_n = DestinationFor(*dir);
    } else {
      PanelState state;
      state.Create();
      dir_n = state.dir_n;
    }
    const std::string pack_path = InstallPack(dir_n, ExecutablePath());
    PrintLines(CompletionText(pack_path), out);
    out.flush();
    return 0;
  } catch (const std::exception& error) {
    err << ExceptionDisplayText(error.what()) << '\n';
  } catch (...) {
    err << ExceptionDisplayText("Unknown error") << '\n';
  }
  err.flush();
  return 1;
}

}  // namespace tessaline
