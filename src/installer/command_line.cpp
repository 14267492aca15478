#include "installer/command_line.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ostream>
#include <string_view>

namespace tessaline {
namespace {

using Mode = CommandLine::Mode;

// An error message for the user; none when the step went well.
using Failure = std::optional<std::string>;

// The largest client size a screenshot may ask for, each way.
constexpr int kMaxScreenshotSide = 16384;

// How an option takes its value.
enum class Value {
  kNone,      // none: "--opt=value" is a mistake
  kAny,       // "--opt=value" or the next argument, whatever it holds
  kNonEmpty,  // like kAny, but an empty value counts as missing
  kOptional,  // "--opt=value" or the next argument unless it starts with
              // '-' (either not empty), or none
};

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
  // The mode option this one only goes with, if any.
  std::string_view only_with = {};
};

constexpr Option kOptions[] = {
    {"--help", Value::kNone, std::nullopt, "option '--help' takes no value"},
    {"-h", Value::kNone, std::nullopt, "option '--help' takes no value"},
    {"--version", Value::kNone, Mode::kVersion, "option '--version' takes no value"},
    {"--screenshot", Value::kNonEmpty, Mode::kScreenshot,
     "option '--screenshot' needs a file name"},
    {"--size", Value::kAny, std::nullopt, "option '--size' needs WIDTHxHEIGHT", "--screenshot"},
    {"--install", Value::kOptional, Mode::kInstall,
     "option '--install' needs a directory, not an empty name"},
    {"--dictionary", Value::kNonEmpty, std::nullopt, "option '--dictionary' needs a file name"},
    {"--translate", Value::kNone, Mode::kTranslate,
     "option '--translate' takes no value; give the texts after it"},
    {"--list", Value::kNone, Mode::kList, "option '--list' takes no value"},
    {"--json", Value::kNone, std::nullopt, "option '--json' takes no value", "--list"},
    {"--verify", Value::kNone, Mode::kVerify, "option '--verify' takes no value"},
    {"--uninstall", Value::kNone, Mode::kUninstall, "option '--uninstall' takes no value"},
    {"--force", Value::kNone, std::nullopt, "option '--force' takes no value", "--uninstall"},
    // The end of the options: "--install -- -packs" installs into "-packs".
    {"--", Value::kNone, std::nullopt, "option '--' ends the options and takes no value"},
};

const Option* FindOption(std::string_view name) {
  for (const Option& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

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

CommandLine Error(std::string message) {
  CommandLine result;
  result.mode = Mode::kError;
  result.error = std::move(message);
  return result;
}

// Walks the arguments once, left to right, applying each option's row.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  CommandLine Parse();

 private:
  bool AtEnd() const { return next_ >= args_.size(); }
  bool Given(std::string_view name) const {
    return std::find(given_.begin(), given_.end(), name) != given_.end();
  }
  // Applies `option`, given with `inline_value` ("--opt=value") or without.
  Failure Apply(const Option& option, const std::optional<std::string>& inline_value);
  // Records that `option` was given; a second time, or a second mode, is a
  // mistake.
  Failure Claim(const Option& option);
  // What `option` sets from its value; --translate takes the arguments after it.
  Failure Set(const Option& option, std::optional<std::string> value);
  Failure SetSize(const std::string& text);
  // Every later argument is a text, except a "--dictionary FILE"; after "--"
  // even that is a text.
  Failure TakeTexts();
  // An argument after "--": the folder of an --install given without one,
  // else a mistake.
  Failure TakeOperand(const std::string& arg);

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  CommandLine result_;
  std::vector<std::string_view> given_;
  bool options_ended_ = false;
};

CommandLine Parser::Parse() {
  while (!AtEnd()) {
    const std::string& arg = args_[next_++];
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
  for (const Option& option : kOptions) {
    if (!option.only_with.empty() && Given(option.name) && !Given(option.only_with)) {
      return Error("option '" + std::string(option.name) + "' only goes with '" +
                   std::string(option.only_with) + "'");
    }
  }
  return result_;
}

Failure Parser::Apply(const Option& option, const std::optional<std::string>& inline_value) {
  if (option.value == Value::kNone && inline_value) return option.value_error;
  if (Failure failure = Claim(option)) return failure;
  if (option.value == Value::kNone) return Set(option, std::nullopt);
  std::optional<std::string> value = inline_value;
  if (!value && !AtEnd() && (option.value != Value::kOptional || !args_[next_].starts_with('-'))) {
    value = args_[next_++];
  }
  if (!value) return option.value == Value::kOptional ? Set(option, value) : option.value_error;
  if (value->empty() && option.value != Value::kAny) return option.value_error;
  return Set(option, std::move(value));
}

Failure Parser::Claim(const Option& option) {
  const std::string name(option.name);
  if (Given(option.name)) return "option '" + name + "' given twice";
  if (option.mode) {
    if (result_.mode != Mode::kWindow) {
      return "option '" + name + "' cannot be combined with the options before it";
    }
    result_.mode = *option.mode;
  }
  given_.push_back(option.name);
  return std::nullopt;
}

Failure Parser::Set(const Option& option, std::optional<std::string> value) {
  const std::string_view name = option.name;
  if (name == "--help" || name == "-h") {
    result_.mode = Mode::kHelp;
  } else if (name == "--screenshot") {
    result_.screenshot_path = std::move(*value);
  } else if (name == "--size") {
    return SetSize(*value);
  } else if (name == "--install") {
    result_.install_dir = std::move(value);
  } else if (name == "--dictionary") {
    result_.dictionary = std::move(value);
  } else if (name == "--translate") {
    return TakeTexts();
  } else if (name == "--json") {
    result_.json = true;
  } else if (name == "--force") {
    result_.force = true;
  } else if (name == "--") {
    options_ended_ = true;
  }
  return std::nullopt;
}

Failure Parser::SetSize(const std::string& text) {
  const auto x = text.find('x');
  const auto width = x == std::string::npos ? std::nullopt : ParseSide(text.substr(0, x));
  const auto height = x == std::string::npos ? std::nullopt : ParseSide(text.substr(x + 1));
  if (!width || !height) {
    return "invalid size '" + text + "': expected WIDTHxHEIGHT, each from 1 to " +
           std::to_string(kMaxScreenshotSide);
  }
  result_.width = *width;
  result_.height = *height;
  return std::nullopt;
}

Failure Parser::TakeTexts() {
  bool texts_only = false;
  while (!AtEnd()) {
    const std::string& next = args_[next_++];
    if (!texts_only && next == "--") {
      texts_only = true;
    } else if (!texts_only && next == "--dictionary") {
      if (Failure failure = Apply(*FindOption(next), std::nullopt)) return failure;
    } else {
      result_.texts.push_back(next);
    }
  }
  if (result_.texts.empty()) return "option '--translate' needs at least one text";
  return std::nullopt;
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

int StatusAfterOutput(int status, std::ostream& out, std::ostream& err,
                      const std::string& program) {
  errno = 0;
  out.flush();
  if (out.good()) return status;
  const int code = errno;
  err << program << ": the output could not be written";
  if (code != 0) err << ": " << std::strerror(code);
  if (status == 0) err << " (the command itself was carried out)";
  err << '\n';
  err.flush();
  return 1;
}

}  // namespace tessaline
