// The command line of tessaline-pack:
//
//   tessaline-pack --sheet FILE --title TEXT --cyrillic-title TEXT --number N
//                  --output FILE [--base PROGRAM]
//   tessaline-pack --help | --version
//
// Each option's value follows it as the next argument or after "=" in the
// same one (--title=Kestrel). Every option but --base is needed, each once.
//
// Thread use: pure functions.
#pragma once

#include <string>
#include <vector>

namespace tessaline {

struct PackOptions {
  enum class Mode { kMake, kHelp, kVersion, kError };
  Mode mode = Mode::kError;
  std::string error;  // kError: what is wrong, one line

  std::string sheet;
  std::string title;
  std::string cyrillic_title;
  std::string number;  // as given; checked when the pack is made
  std::string output;
  std::string base;  // empty: the tessaline program beside tessaline-pack
};

// Parses the arguments after the program's name.
PackOptions ParsePackOptions(const std::vector<std::string>& arguments);

// The text --help prints.
std::string PackUsageText();

}  // namespace tessaline
