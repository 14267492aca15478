#include "installer/command_line.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace tessaline {
namespace {

using Mode = CommandLine::Mode;

// An error message for the user; none when the step went well.
using Failure = std::optional<std::string>;

// How an option takes its value.
enum class Value {
  kNone,      // none: "--opt=value" is a mistake
  kAny,       // "--opt=value" or the next argument, whatever it holds
  kNonEmpty,  // like kAny, but an empty value counts as missing
  kOptional,  // "--opt=value" or the next argument unless it starts with
              // '-' (either not empty), or none
};

class Parser;

// One row of the option table.
struct Option {
  std::string_view name;
  Value value;
  // The mode the option selects; an option may be given once either way.
  std::optional<Mode> mode;
  // The mistake in the value: a value given to an option of Value::kNone, a
  // missing one, or an empty one where that is refused (kNonEmpty,
  // kOptional).
  const char* value_error;
  // What the option sets from its value; may take further arguments.
  Failure (*apply)(Parser& parser, std::optional<std::string> value);
};

// Walks the arguments once, left to right, applying each option's row.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  CommandLine Parse();

  // Applies `option`, given with `inline_value` ("--opt=value") or without.
  Failure Apply(const Option& option, const std::optional<std::string>& inline_value);

  bool AtEnd() const { return next_ >= args_.size(); }
  const std::string& Take() { return args_[next_++]; }
  CommandLine& result() { return result_; }
  // After "--" every argument is an operand, whatever it starts with.
  void EndOptions() { options_ended_ = true; }

 private:
  // Records that `option` was given; a second time, or a second mode, is a
  // mistake.
  Failure Claim(const Option& option);
  Failure TakeValue(const Option& option, const std::optional<std::string>& inline_value,
                    std::optional<std::string>& value);
  // An argument after "--": the folder of an --install given without one,
  // else a mistake.
  Failure TakeOperand(const std::string& arg);

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  CommandLine result_;
  std::vector<std::string_view> given_;
  bool options_ended_ = false;
};

// A positive decimal number no larger than kMaxScreenshotSide, digits only.
std::optional<int> ParseSide(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < 1 || value > kMaxScreenshotSide) {
    return std::nullopt;
  }
  return value;
}

Failure SetHelp(Parser& parser, std::optional<std::string>) {
  parser.result().mode = Mode::kHelp;
  return std::nullopt;
}

Failure SetScreenshotPath(Parser& parser, std::optional<std::string> value) {
  parser.result().screenshot_path = std::move(*value);
  return std::nullopt;
}

Failure SetSize(Parser& parser, std::optional<std::string> value) {
  const std::string_view text = *value;
  const auto x = text.find('x');
  const auto width = x == std::string_view::npos ? std::nullopt : ParseSide(text.substr(0, x));
  const auto height = x == std::string_view::npos ? std::nullopt : ParseSide(text.substr(x + 1));
  if (!width || !height) {
    return "invalid size '" + *value + "': expected WIDTHxHEIGHT, each from 1 to " +
           std::to_string(kMaxScreenshotSide);
  }
  parser.result().width = *width;
  parser.result().height = *height;
  return std::nullopt;
}

Failure SetInstallDir(Parser& parser, std::optional<std::string> value) {
  parser.result().install_dir = std::move(value);
  return std::nullopt;
}

Failure SetDictionary(Parser& parser, std::optional<std::string> value) {
  parser.result().dictionary = std::move(value);
  return std::nullopt;
}

Failure SetJson(Parser& parser, std::optional<std::string>) {
  parser.result().json = true;
  return std::nullopt;
}

Failure SetForce(Parser& parser, std::optional<std::string>) {
  parser.result().force = true;
  return std::nullopt;
}

Failure EndOptions(Parser& parser, std::optional<std::string>) {
  parser.EndOptions();
  return std::nullopt;
}

Failure TakeTexts(Parser& parser, std::optional<std::string> value);

constexpr Option kOptions[] = {
    {"--help", Value::kNone, std::nullopt, "option '--help' takes no value", SetHelp},
    {"-h", Value::kNone, std::nullopt, "option '--help' takes no value", SetHelp},
    {"--version", Value::kNone, Mode::kVersion, "option '--version' takes no value", nullptr},
    {"--screenshot", Value::kNonEmpty, Mode::kScreenshot, "option '--screenshot' needs a file name",
     SetScreenshotPath},
    {"--size", Value::kAny, std::nullopt, "option '--size' needs WIDTHxHEIGHT", SetSize},
    {"--install", Value::kOptional, Mode::kInstall,
     "option '--install' needs a directory, not an empty name", SetInstallDir},
    {"--dictionary", Value::kNonEmpty, std::nullopt, "option '--dictionary' needs a file name",
     SetDictionary},
    {"--translate", Value::kNone, Mode::kTranslate,
     "option '--translate' takes no value; give the texts after it", TakeTexts},
    {"--list", Value::kNone, Mode::kList, "option '--list' takes no value", nullptr},
    {"--json", Value::kNone, std::nullopt, "option '--json' takes no value", SetJson},
    {"--verify", Value::kNone, Mode::kVerify, "option '--verify' takes no value", nullptr},
    {"--uninstall", Value::kNone, Mode::kUninstall, "option '--uninstall' takes no value", nullptr},
    {"--force", Value::kNone, std::nullopt, "option '--force' takes no value", SetForce},
    // The end of the options: "--install -- -packs" installs into "-packs".
    {"--", Value::kNone, std::nullopt, "option '--' ends the options and takes no value",
     EndOptions},
};

// Flags that only go with one mode.
struct Companion {
  std::string_view name;
  Mode mode;
  const char* error;
};

constexpr Companion kCompanions[] = {
    {"--json", Mode::kList, "option '--json' only goes with '--list'"},
    {"--force", Mode::kUninstall, "option '--force' only goes with '--uninstall'"},
};

const Option* FindOption(std::string_view name) {
  for (const Option& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// Every later argument is a text, except a "--dictionary FILE"; after "--"
// even that is a text.
Failure TakeTexts(Parser& parser, std::optional<std::string>) {
  bool texts_only = false;
  while (!parser.AtEnd()) {
    const std::string& next = parser.Take();
    if (!texts_only && next == "--") {
      texts_only = true;
    } else if (!texts_only && next == "--dictionary") {
      if (Failure failure = parser.Apply(*FindOption(next), std::nullopt)) return failure;
    } else {
      parser.result().texts.push_back(next);
    }
  }
  if (parser.result().texts.empty()) return "option '--translate' needs at least one text";
  return std::nullopt;
}

CommandLine Error(std::string message) {
  CommandLine result;
  result.mode = Mode::kError;
  result.error = std::move(message);
  return result;
}

CommandLine Parser::Parse() {
  while (!AtEnd()) {
    const std::string& arg = Take();
    if (options_ended_) {
      if (Failure failure = TakeOperand(arg)) return Error(std::move(*failure));
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string> inline_value;
    if (arg.starts_with("--")) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        name = name.substr(0, eq);
        inline_value = arg.substr(eq + 1);
      }
    }
    const Option* option = FindOption(name);
    if (option == nullptr) {
      return Error(arg.starts_with('-') ? "unknown option '" + arg + "'"
                                        : "unexpected argument '" + arg + "'");
    }
    if (Failure failure = Apply(*option, inline_value)) return Error(std::move(*failure));
    if (result_.mode == Mode::kHelp) {
      // Help wins over everything else, as users expect.
      CommandLine help;
      help.mode = Mode::kHelp;
      return help;
    }
  }
  if (std::find(given_.begin(), given_.end(), "--size") != given_.end() &&
      result_.mode != Mode::kScreenshot) {
    return Error("option '--size' only goes with '--screenshot'");
  }
  for (const Companion& companion : kCompanions) {
    if (std::find(given_.begin(), given_.end(), companion.name) != given_.end() &&
        result_.mode != companion.mode) {
      return Error(companion.error);
    }
  }
  return result_;
}

Failure Parser::Apply(const Option& option, const std::optional<std::string>& inline_value) {
  if (option.value == Value::kNone && inline_value) return option.value_error;
  if (Failure failure = Claim(option)) return failure;
  std::optional<std::string> value;
  if (Failure failure = TakeValue(option, inline_value, value)) return failure;
  return option.apply != nullptr ? option.apply(*this, std::move(value)) : std::nullopt;
}

Failure Parser::TakeOperand(const std::string& arg) {
  // The folder of an --install that has none yet: "--install -- DIR".
  if (result_.mode == Mode::kInstall && !result_.install_dir) {
    if (arg.empty()) return FindOption("--install")->value_error;
    result_.install_dir = arg;
    return std::nullopt;
  }
  return "unexpected argument '" + arg + "'";
}

Failure Parser::Claim(const Option& option) {
  const std::string name(option.name);
  if (std::find(given_.begin(), given_.end(), option.name) != given_.end()) {
    return "option '" + name + "' given twice";
  }
  if (option.mode) {
    if (result_.mode != Mode::kWindow) {
      return "option '" + name + "' cannot be combined with the options before it";
    }
    result_.mode = *option.mode;
  }
  given_.push_back(option.name);
  return std::nullopt;
}

Failure Parser::TakeValue(const Option& option, const std::optional<std::string>& inline_value,
                          std::optional<std::string>& value) {
  switch (option.value) {
    case Value::kNone:
      return std::nullopt;
    case Value::kOptional:
      if (inline_value) {
        value = inline_value;
      } else if (!AtEnd() && !args_[next_].starts_with('-')) {
        value = Take();
      }
      if (value && value->empty()) return option.value_error;
      return std::nullopt;
    case Value::kAny:
    case Value::kNonEmpty:
      if (inline_value) {
        value = inline_value;
      } else if (!AtEnd()) {
        value = Take();
      }
      if (!value || (option.value == Value::kNonEmpty && value->empty())) {
        return option.value_error;
      }
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  return Parser(args).Parse();
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]\n"
         "Installs the card pack into the Wenlora card game. Without options it opens\n"
         "the installer window, which needs a display.\n"
         "\n"
         "  --install [DIR]             install without a window, into DIR or else into\n"
         "                              the folder the window would offer\n"
         "  --screenshot FILE.png       write a picture of the installer window to FILE.png\n"
         "  --size WIDTHxHEIGHT         the window's client size for --screenshot\n"
         "                              (default 688x453)\n"
         "  --translate TEXT...         print each TEXT as the dictionary translates a\n"
         "                              message pattern (page \"Common\"), one a line\n"
         "  --dictionary FILE           use FILE as the dictionary instead of the \".dic\"\n"
         "                              file beside the program\n"
         "  --list [--json]             print the packs recorded in the registry, one a\n"
         "                              line (or as JSON), and the state of their files\n"
         "  --verify                    check that this pack is installed and intact\n"
         "  --uninstall [--force]       remove this pack's file and registry values;\n"
         "                              --force also drops values naming another file\n"
         "  --                          end of the options: a DIR after it may start\n"
         "                              with '-' (--install -- -packs)\n"
         "  -h, --help                  show this help and exit\n"
         "  --version                   show the version and exit\n"
         "\n"
         "The product's registry is the file named by WENLORA_REGISTRY, else\n"
         "$XDG_DATA_HOME/wenlora/system.reg.\n";
}

}  // namespace tessaline
