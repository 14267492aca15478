#include "tessaline_pack/pack_options.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>

namespace tessaline {

namespace {

struct ValueOption {
  const char* name;
  std::string PackOptions::*field;
  bool required;
};

constexpr std::array<ValueOption, 6> kOptions = {{
    {"--sheet", &PackOptions::sheet, true},
    {"--title", &PackOptions::title, true},
    {"--cyrillic-title", &PackOptions::cyrillic_title, true},
    {"--number", &PackOptions::number, true},
    {"--output", &PackOptions::output, true},
    {"--base", &PackOptions::base, false},
}};

PackOptions Mistake(std::string error) {
  PackOptions options;
  options.error = std::move(error);
  return options;
}

}  // namespace

PackOptions ParsePackOptions(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    PackOptions help;
    help.mode = PackOptions::Mode::kHelp;
    return help;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    PackOptions version;
    version.mode = PackOptions::Mode::kVersion;
    return version;
  }
  PackOptions options;
  std::set<std::string> given;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string name = argument.substr(0, argument.find('='));
    const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                     [&](const ValueOption& o) { return name == o.name; });
    if (option == kOptions.end()) return Mistake("unknown argument '" + argument + "'");
    if (!given.insert(name).second) return Mistake(name + " is given twice");
    if (name.size() < argument.size()) {
      options.*(option->field) = argument.substr(name.size() + 1);
    } else if (i + 1 < arguments.size()) {
      options.*(option->field) = arguments[++i];
    } else {
      return Mistake(name + " needs a value");
    }
  }
  for (const ValueOption& option : kOptions) {
    if (option.required && !given.contains(option.name)) {
      return Mistake(std::string(option.name) + " is needed");
    }
  }
  options.mode = PackOptions::Mode::kMake;
  return options;
}

std::string PackUsageText() {
  return "Usage: tessaline-pack --sheet FILE --title TEXT --cyrillic-title TEXT --number N\n"
         "                      --output FILE [--base PROGRAM]\n"
         "Writes a new card pack for Wenlora: a copy of the base program (the tessaline\n"
         "program beside this command, or PROGRAM) with its card sheet, titles and\n"
         "number replaced.\n"
         "\n"
         "  --sheet FILE            the card sheet: a PNG or BMP picture of 9 x 4 cards\n"
         "                          (71 x 96 each; at most 2556 x 1536 in all)\n"
         "  --title TEXT            the pack's title: the window's caption and TEXT.wpk\n"
         "  --cyrillic-title TEXT   the Cyrillic title recorded for the game\n"
         "  --number N              the pack's number, 1 to 2147483647 (values PackN, CommN, "
         "CirN)\n"
         "  --output FILE           the pack to write (replaced whole, never in part)\n"
         "  --base PROGRAM          the program to copy\n"
         "  --help, --version\n"
         "\n"
         "Exit status: 0 written; 1 the pack could not be written; 2 a mistake in what\n"
         "was asked (the command line, the sheet, a title, the number, the base).\n";
}

}  // namespace tessaline
