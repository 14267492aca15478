// The command line's parsing: the modes with their values, and every mistake
// with the exact message the user reads.
#include "installer/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tessaline {
namespace {

using Mode = CommandLine::Mode;
using Args = std::vector<std::string>;

TEST(CommandLineTest, ModesAndTheirValues) {
  EXPECT_EQ(ParseCommandLine({}).mode, Mode::kWindow);
  EXPECT_EQ(ParseCommandLine({"--help"}).mode, Mode::kHelp);
  EXPECT_EQ(ParseCommandLine({"-h"}).mode, Mode::kHelp);
  EXPECT_EQ(ParseCommandLine({"--install", "--help"}).mode, Mode::kHelp);  // help wins
  EXPECT_EQ(ParseCommandLine({"--version"}).mode, Mode::kVersion);
  // Help keeps nothing of the options before it.
  EXPECT_EQ(ParseCommandLine({"--dictionary=d.dic", "--help"}).dictionary, std::nullopt);

  CommandLine shot = ParseCommandLine({"--screenshot", "a.png"});
  EXPECT_EQ(shot.mode, Mode::kScreenshot);
  EXPECT_EQ(shot.screenshot_path, "a.png");
  EXPECT_EQ(std::pair(shot.width, shot.height), std::pair(688, 453));
  shot = ParseCommandLine({"--size=50x40", "--screenshot=b.png"});
  EXPECT_EQ(shot.mode, Mode::kScreenshot);
  EXPECT_EQ(shot.screenshot_path, "b.png");
  EXPECT_EQ(std::pair(shot.width, shot.height), std::pair(50, 40));
  shot = ParseCommandLine({"--screenshot", "--x.png", "--size", "16384x1"});
  EXPECT_EQ(shot.screenshot_path, "--x.png");  // a value may start with '-'
  EXPECT_EQ(std::pair(shot.width, shot.height), std::pair(16384, 1));

  CommandLine install = ParseCommandLine({"--install"});
  EXPECT_EQ(install.mode, Mode::kInstall);
  EXPECT_EQ(install.install_dir, std::nullopt);
  install = ParseCommandLine({"--install", "some dir"});
  EXPECT_EQ(install.install_dir, "some dir");
  install = ParseCommandLine({"--install=/x/"});
  EXPECT_EQ(install.install_dir, "/x/");
  // The folder is optional: a following option is not taken for it (an
  // empty one is a mistake, below).
  install = ParseCommandLine({"--install", "--dictionary", "d.dic"});
  EXPECT_EQ(install.install_dir, std::nullopt);
  EXPECT_EQ(install.dictionary, "d.dic");

  // Every argument after --translate is a text, but for --dictionary FILE;
  // after "--" that too is a text.
  CommandLine translate = ParseCommandLine(
      {"--translate", "-5 x", "--dictionary", "d.dic", "y", "--help", "--", "--dictionary"});
  EXPECT_EQ(translate.mode, Mode::kTranslate);
  EXPECT_EQ(translate.texts, (Args{"-5 x", "y", "--help", "--dictionary"}));
  EXPECT_EQ(translate.dictionary, "d.dic");
  EXPECT_EQ(ParseCommandLine({"--translate", "--dictionary=x"}).texts, Args{"--dictionary=x"});
  EXPECT_EQ(ParseCommandLine({"--dictionary=e.dic", "--install"}).dictionary, "e.dic");
}

// "--" ends the options: after it an argument is the folder of an --install
// that has none, whatever it starts with, and a mistake anywhere else.
TEST(CommandLineTest, DoubleDashEndsTheOptions) {
  struct Row {
    Args args;
    Mode mode;
    std::optional<std::string> install_dir;
    std::string error;
  };
  const std::string extra = "unexpected argument '";
  const std::vector<Row> rows = {
      {{"--"}, Mode::kWindow, std::nullopt, ""},
      {{"--install", "--"}, Mode::kInstall, std::nullopt, ""},
      {{"--install", "--", "-packs"}, Mode::kInstall, "-packs", ""},
      {{"--install", "--", "--help"}, Mode::kInstall, "--help", ""},  // no help after "--"
      {{"--install", "--", "--"}, Mode::kInstall, "--", ""},
      {{"--install", "--", "-x y"}, Mode::kInstall, "-x y", ""},
      {{"--dictionary", "d.dic", "--install", "--", "-p"}, Mode::kInstall, "-p", ""},
      {{"--install", "--dictionary", "d.dic", "--", "-p"}, Mode::kInstall, "-p", ""},
      {{"--install", "packs", "--"}, Mode::kInstall, "packs", ""},
      {{"--install", "--", ""}, Mode::kError, std::nullopt,
       "option '--install' needs a directory, not an empty name"},
      {{"--install", "packs", "--", "-p"}, Mode::kError, std::nullopt, extra + "-p'"},
      {{"--install", "--", "-p", "q"}, Mode::kError, std::nullopt, extra + "q'"},
      {{"--", "--install", "-p"}, Mode::kError, std::nullopt, extra + "--install'"},
      {{"--list", "--", "x"}, Mode::kError, std::nullopt, extra + "x'"},
      {{"--", "-packs"}, Mode::kError, std::nullopt, extra + "-packs'"},
      {{"--install", "-packs"}, Mode::kError, std::nullopt, "unknown option '-packs'"},
  };
  for (const Row& row : rows) {
    std::string joined;
    for (const auto& a : row.args) joined += "[" + a + "] ";
    SCOPED_TRACE(joined);
    const CommandLine parsed = ParseCommandLine(row.args);
    EXPECT_EQ(parsed.mode, row.mode);
    EXPECT_EQ(parsed.install_dir, row.install_dir);
    EXPECT_EQ(parsed.error, row.error);
  }
  EXPECT_NE(UsageText("tessaline").find("--install -- -packs"), std::string::npos);
}

TEST(CommandLineTest, PackManagementModes) {
  CommandLine list = ParseCommandLine({"--list"});
  EXPECT_EQ(list.mode, Mode::kList);
  EXPECT_FALSE(list.json);
  EXPECT_TRUE(ParseCommandLine({"--json", "--list"}).json);
  EXPECT_EQ(ParseCommandLine({"--verify"}).mode, Mode::kVerify);
  CommandLine uninstall = ParseCommandLine({"--uninstall", "--force"});
  EXPECT_EQ(uninstall.mode, Mode::kUninstall);
  EXPECT_TRUE(uninstall.force);
  EXPECT_FALSE(ParseCommandLine({"--uninstall"}).force);

  const std::vector<std::pair<Args, std::string>> mistakes = {
      {{"--json"}, "option '--json' only goes with '--list'"},
      {{"--verify", "--json"}, "option '--json' only goes with '--list'"},
      {{"--list", "--force"}, "option '--force' only goes with '--uninstall'"},
      {{"--list", "--uninstall"},
       "option '--uninstall' cannot be combined with the options before it"},
      {{"--uninstall=x"}, "option '--uninstall' takes no value"},
      {{"--verify", "x"}, "unexpected argument 'x'"},
  };
  for (const auto& [args, message] : mistakes) {
    const CommandLine parsed = ParseCommandLine(args);
    EXPECT_EQ(parsed.mode, Mode::kError) << args.front();
    EXPECT_EQ(parsed.error, message);
  }
}

TEST(CommandLineTest, MistakesGiveTheirReason) {
  const std::string bad_size = "': expected WIDTHxHEIGHT, each from 1 to 16384";
  const std::string combined = "' cannot be combined with the options before it";
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=1"}, "unknown option '--bogus=1'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-h=1"}, "unknown option '-h=1'"},
      {{"--="}, "option '--' ends the options and takes no value"},
      {{"--=x"}, "option '--' ends the options and takes no value"},
      {{"stray"}, "unexpected argument 'stray'"},
      {{"--install", "a", "b"}, "unexpected argument 'b'"},
      {{"--bogus", "--help"}, "unknown option '--bogus'"},
      {{"--help=1"}, "option '--help' takes no value"},
      {{"--version=1"}, "option '--version' takes no value"},
      {{"--version", "--version=1"}, "option '--version' takes no value"},
      {{"--version", "--version"}, "option '--version' given twice"},
      {{"--translate=x"}, "option '--translate' takes no value; give the texts after it"},
      {{"--screenshot"}, "option '--screenshot' needs a file name"},
      {{"--screenshot="}, "option '--screenshot' needs a file name"},
      {{"--screenshot", "a.png", "--install"}, "option '--install" + combined},
      {{"--install", "--screenshot", "a.png"}, "option '--screenshot" + combined},
      {{"--version", "--translate", "t"}, "option '--translate" + combined},
      {{"--install", "--install"}, "option '--install' given twice"},
      {{"--install="}, "option '--install' needs a directory, not an empty name"},
      {{"--install", ""}, "option '--install' needs a directory, not an empty name"},
      {{"--size", "10x10"}, "option '--size' only goes with '--screenshot'"},
      {{"--screenshot", "a.png", "--size"}, "option '--size' needs WIDTHxHEIGHT"},
      {{"--size=1x1", "--size=2x2"}, "option '--size' given twice"},
      {{"--screenshot", "a.png", "--size="}, "invalid size '" + bad_size},
      {{"--screenshot", "a.png", "--size", "0x10"}, "invalid size '0x10" + bad_size},
      {{"--screenshot", "a.png", "--size", "10x"}, "invalid size '10x" + bad_size},
      {{"--screenshot", "a.png", "--size", "x10"}, "invalid size 'x10" + bad_size},
      {{"--screenshot", "a.png", "--size", "10x-3"}, "invalid size '10x-3" + bad_size},
      {{"--screenshot", "a.png", "--size", "+10x10"}, "invalid size '+10x10" + bad_size},
      {{"--screenshot", "a.png", "--size", "10x10x"}, "invalid size '10x10x" + bad_size},
      {{"--screenshot", "a.png", "--size", "16385x10"}, "invalid size '16385x10" + bad_size},
      {{"--screenshot", "a.png", "--size", "99999999999x10"},
       "invalid size '99999999999x10" + bad_size},
      {{"--dictionary"}, "option '--dictionary' needs a file name"},
      {{"--dictionary="}, "option '--dictionary' needs a file name"},
      {{"--translate"}, "option '--translate' needs at least one text"},
      {{"--translate", "--dictionary"}, "option '--dictionary' needs a file name"},
      {{"--translate", "t", "--dictionary", ""}, "option '--dictionary' needs a file name"},
      {{"--dictionary", "a.dic", "--translate", "t", "--dictionary", "b.dic"},
       "option '--dictionary' given twice"},
  };
  for (const auto& [args, message] : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    const CommandLine result = ParseCommandLine(args);
    EXPECT_EQ(result.mode, Mode::kError);
    EXPECT_EQ(result.error, message);
  }
}

}  // namespace
}  // namespace tessaline
