#include "installer/command_line.h"

#include <charconv>
#include <string_view>

namespace tessaline {
namespace {

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
  result.mode = CommandLine::Mode::kError;
  result.error = std::move(message);
  return result;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  bool size_given = false;
  // Switches to a mode; a second, different mode is an error.
  auto set_mode = [&result](CommandLine::Mode mode, const std::string& option) {
    if (result.mode != CommandLine::Mode::kWindow && result.mode != mode) {
      result.error = "option '" + option + "' cannot be combined with the options before it";
      return false;
    }
    if (result.mode == mode) {
      result.error = "option '" + option + "' given twice";
      return false;
    }
    result.mode = mode;
    return true;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        name = arg.substr(0, eq);
        inline_value = arg.substr(eq + 1);
      }
    }
    // The value of an option that needs one: inline or the next argument.
    auto take_value = [&]() -> std::optional<std::string> {
      if (inline_value) return inline_value;
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };

    if (name == "--help" || name == "-h") {
      if (inline_value) return Error("option '--help' takes no value");
      // Help wins over everything else, as users expect.
      CommandLine help;
      help.mode = CommandLine::Mode::kHelp;
      return help;
    } else if (name == "--version") {
      if (inline_value) return Error("option '--version' takes no value");
      if (!set_mode(CommandLine::Mode::kVersion, name)) return Error(result.error);
    } else if (name == "--screenshot") {
      if (!set_mode(CommandLine::Mode::kScreenshot, name)) return Error(result.error);
      const auto value = take_value();
      if (!value || value->empty()) return Error("option '--screenshot' needs a file name");
      result.screenshot_path = *value;
    } else if (name == "--size") {
      if (size_given) return Error("option '--size' given twice");
      size_given = true;
      const auto value = take_value();
      if (!value) return Error("option '--size' needs WIDTHxHEIGHT");
      const auto x = value->find('x');
      const auto width =
          x == std::string::npos ? std::nullopt : ParseSide(std::string_view(*value).substr(0, x));
      const auto height =
          x == std::string::npos ? std::nullopt : ParseSide(std::string_view(*value).substr(x + 1));
      if (!width || !height) {
        return Error("invalid size '" + *value + "': expected WIDTHxHEIGHT, each from 1 to " +
                     std::to_string(kMaxScreenshotSide));
      }
      result.width = *width;
      result.height = *height;
    } else if (name == "--install") {
      if (!set_mode(CommandLine::Mode::kInstall, name)) return Error(result.error);
      if (inline_value) {
        if (inline_value->empty()) return Error("option '--install=' needs a directory");
        result.install_dir = *inline_value;
      } else if (i + 1 < args.size() && args[i + 1].rfind('-', 0) != 0) {
        result.install_dir = args[++i];
      }
    } else if (name == "--dictionary") {
      if (result.dictionary) return Error("option '--dictionary' given twice");
      const auto value = take_value();
      if (!value || value->empty()) return Error("option '--dictionary' needs a file name");
      result.dictionary = *value;
    } else if (name == "--translate") {
      if (inline_value)
        return Error("option '--translate' takes no value; give the texts after it");
      if (!set_mode(CommandLine::Mode::kTranslate, name)) return Error(result.error);
      // Every later argument is a text, except a "--dictionary FILE"; after
      // "--" even that is a text.
      bool texts_only = false;
      while (i + 1 < args.size()) {
        const std::string& next = args[++i];
        if (!texts_only && next == "--") {
          texts_only = true;
        } else if (!texts_only && next == "--dictionary") {
          if (result.dictionary) return Error("option '--dictionary' given twice");
          if (i + 1 >= args.size() || args[i + 1].empty()) {
            return Error("option '--dictionary' needs a file name");
          }
          result.dictionary = args[++i];
        } else {
          result.texts.push_back(next);
        }
      }
      if (result.texts.empty()) return Error("option '--translate' needs at least one text");
    } else if (!arg.empty() && arg.front() == '-') {
      return Error("unknown option '" + arg + "'");
    } else {
      return Error("unexpected argument '" + arg + "'");
    }
  }
  if (size_given && result.mode != CommandLine::Mode::kScreenshot) {
    return Error("option '--size' only goes with '--screenshot'");
  }
  return result;
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
         "  --help                      show this help and exit\n"
         "  --version                   show the version and exit\n"
         "\n"
         "The product's registry is the file named by WENLORA_REGISTRY, else\n"
         "$XDG_DATA_HOME/wenlora/system.reg.\n";
}

}  // namespace tessaline
