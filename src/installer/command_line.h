// The installer's command line. Without options the installer opens its
// window; the options serve runs without a display and scripts:
//   --install [DIR]              install without a window (into DIR)
//   --screenshot FILE [--size WIDTHxHEIGHT]
//                                write a PNG picture of the window and exit
//   --translate TEXT...          print each TEXT as the dictionary translates a
//                                message pattern, one a line, and exit
//   --dictionary FILE            use FILE as the dictionary instead of the
//                                ".dic" file beside the executable
//   --list [--json]              print the packs recorded in the hive
//   --verify                     check this pack's installation
//   --uninstall [--force]        remove this pack's file and record
//   --help, --version            print and exit
//   --                           ends the options: what follows is the
//                                folder of --install, whatever it starts with
// "--opt=value" is accepted for every option that takes a value.
//
// Thread use: no shared state.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

struct CommandLine {
  enum class Mode {
    kWindow,
    kHelp,
    kVersion,
    kScreenshot,
    kInstall,
    kTranslate,
    kList,
    kVerify,
    kUninstall,
    kError
  };

  Mode mode = Mode::kWindow;
  std::string screenshot_path;  // kScreenshot
  int width = 688;              // kScreenshot: the client size
  int height = 453;
  std::optional<std::string> install_dir;  // kInstall: the destination, if given
  std::vector<std::string> texts;          // kTranslate: the texts to translate
  std::optional<std::string> dictionary;   // any mode: the dictionary file to use
  bool json = false;                       // kList: JSON instead of lines
  bool force = false;                      // kUninstall: drop a record naming another file
  std::string error;                       // kError: what is wrong, one line
};

// Parses the arguments after the program name. Never fails: a bad command
// line gives Mode::kError with the reason.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text for the program named `program`, ending in a line break.
std::string UsageText(const std::string& program);

// What a command's exit status says when its output could not be written: a
// command whose standard output is lost (a full disk, a closed pipe) has not
// done what was asked of it, whatever it did besides.
//
// Flushes `out`; `status` when everything written to it arrived, else 1,
// after a line on `err`: "<program>: the output could not be written:
// <reason>" (with a note that the work itself was done when `status` was 0).
int StatusAfterOutput(int status, std::ostream& out, std::ostream& err, const std::string& program);

}  // namespace tessaline
