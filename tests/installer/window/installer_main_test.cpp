// The installer executable run as a user or a script runs it: help, version,
// mistakes, no display, screenshot, the window quitting after its first
// paint, and the installation without a window.
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "program_run.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

#ifdef TESSALINE_EXECUTABLE

using Args = std::vector<std::string>;

class InstallerExecutableTest : public WindowTest {
 protected:
  // Runs the installer with a clean environment: no display unless `env`
  // gives one, the test's own hive, and a temporary folder of its own.
  ProgramOutcome Start(const Args& args, const Args& env = {}) {
    return RunInstaller(args, dir_.string(), HivePath().string(), env);
  }
};

TEST_F(InstallerExecutableTest, HelpVersionAndMistakes) {
  ProgramOutcome help = Start({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tessaline"), std::string::npos);
  EXPECT_NE(help.out.find("--screenshot"), std::string::npos);
  EXPECT_EQ(help.err, "");

  ProgramOutcome version = Start({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tessaline ", 0), 0u);
  EXPECT_NE(version.out.find("Tessaline"), std::string::npos);

  ProgramOutcome bogus = Start({"--bogus"});
  EXPECT_EQ(bogus.status, 2);
  EXPECT_EQ(bogus.out, "");
  EXPECT_NE(bogus.err.find("unknown option '--bogus'"), std::string::npos);
}

// A dictionary asked for by name that cannot be read stops the run before
// anything starts, instead of leaving every message untranslated.
TEST_F(InstallerExecutableTest, ADictionaryNamedThatCannotBeReadIsAMistake) {
  const std::string missing = Path("missing.dic").string();
  for (const Args& args : {Args{"--translate", "x"}, Args{"--install", Path("d").string()}}) {
    SCOPED_TRACE(args.front());
    Args full = {"--dictionary", missing};
    full.insert(full.end(), args.begin(), args.end());
    ProgramOutcome run = Start(full);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tessaline: cannot use the dictionary '" + missing +
                           "': No such file or directory\n");
  }
  EXPECT_FALSE(std::filesystem::exists(Path("d")));
  ProgramOutcome folder = Start({"--dictionary", Path("tmp").string(), "--translate", "x"});
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
}

TEST_F(InstallerExecutableTest, WithoutADisplayTheWindowSaysHowToRunHeadless) {
  ProgramOutcome run = Start({});
  EXPECT_EQ(run.status, 1);  // an exit, not an abort
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("display"), std::string::npos);
  EXPECT_NE(run.err.find("--screenshot"), std::string::npos);
  EXPECT_NE(run.err.find("--install"), std::string::npos);
}

// A display that is named but cannot be reached (no server behind it): every
// run without a window works as without a display, and the window ends with
// one line naming what it could not reach, never with an abort.
TEST_F(InstallerExecutableTest, AnUnreachableDisplayStopsOnlyTheWindow) {
  const std::string pack = Path("packs").string() + "/Tessaline.wpk";
  const std::string shot = Path("shot.png").string();
  struct Row {
    Args args;
    int status;
    std::string out;  // "*" when only the status and the quiet error stream count
  };
  const std::vector<Row> rows = {
      {{"--install", Path("packs").string()}, 0, "Pack installation finished\n" + pack + "\n"},
      {{"--list"}, 0, "*"},
      {{"--verify"}, 0, "ok: " + pack + "\n"},
      {{"--translate", "x"}, 0, "x\n"},
      {{"--screenshot", shot}, 0, ""},
      {{"--uninstall"}, 0, "uninstalled: " + pack + "\n"},
  };
  struct Display {
    Args env;
    std::string named;  // what the window's message names
  };
  const std::vector<Display> displays = {
      {{"DISPLAY=:987"}, ":987"},
      {{"WAYLAND_DISPLAY=wayland-987"}, "wayland-987"},
      {{"DISPLAY=:987", "WAYLAND_DISPLAY=wayland-987"}, ":987 or wayland-987"},
      {{"DISPLAY=:987", "QT_QPA_PLATFORM=xcb"}, ":987"},
  };
  for (const Display& display : displays) {
    SCOPED_TRACE(display.named);
    Args env = display.env;
    env.push_back("XDG_RUNTIME_DIR=" + dir_.string());  // no Wayland socket there
    for (const Row& row : rows) {
      SCOPED_TRACE(row.args.front());
      const ProgramOutcome run = Start(row.args, env);
      EXPECT_EQ(run.status, row.status);
      if (row.out != "*") {
        EXPECT_EQ(run.out, row.out);
      }
      EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(QImage(QString::fromStdString(shot)).size(), QSize(688, 453));
    const ProgramOutcome window = Start({}, env);
    EXPECT_EQ(window.status, 1);
    EXPECT_EQ(window.out, "");
    EXPECT_EQ(window.err, "tessaline: cannot reach the display " + display.named +
                              "; the installer window needs one (without it, use --install "
                              "[DIR] to install or --screenshot FILE.png to see the window)\n");
  }
}

TEST_F(InstallerExecutableTest, ScreenshotWithoutADisplay) {
  const std::string file = Path("window.png").string();
  ProgramOutcome run = Start({"--screenshot", file, "--size", "800x600"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(800, 600));

  // A file that cannot be written: status 1, the file and the reason.
  for (const auto& [target, reason] :
       {std::pair(Path("no/such/dir/x.png").string(), "No such file or directory"),
        std::pair(std::string("/dev/full"), "No space left on device")}) {
    ProgramOutcome unwritable = Start({"--screenshot", target});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err,
              "tessaline: cannot write the screenshot to " + target + ": " + reason + "\n");
  }

  // A suffix that is no picture format is refused before anything is written.
  ProgramOutcome unknown = Start({"--screenshot", Path("window.xyz").string()});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("window.xyz"), std::string::npos) << unknown.err;
  EXPECT_FALSE(std::filesystem::exists(Path("window.xyz")));
}

TEST_F(InstallerExecutableTest, WindowStartsMaximisedPaintsAndQuitsWhenAsked) {
  // The start-up measurement's way of running the whole window: it must end
  // by itself once the backdrop has been painted.
  ProgramOutcome run = Start({}, {"QT_QPA_PLATFORM=offscreen", "TESSALINE_EXIT_AFTER_FIRST_PAINT=1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(InstallerExecutableTest, InstallWithoutAWindow) {
  const std::filesystem::path folder = Path("packs");
  ProgramOutcome run = Start({"--install", folder.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::filesystem::path pack = folder / "Tessaline.wpk";
  EXPECT_EQ(run.out, "Pack installation finished\n" + pack.string() + "\n");
  EXPECT_TRUE(ReadFile(pack) == ReadFile(TESSALINE_EXECUTABLE));
  // The record went into this test's hive.
  EXPECT_NE(ReadFile(HivePath()).find("Tessaline.wpk"), std::string::npos);

  // A destination under a plain file fails with the reason, status 1.
  std::ofstream(Path("plain")) << "x";
  ProgramOutcome failed = Start({"--install", Path("plain/sub").string()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("Cannot create file"), std::string::npos) << failed.err;
}

// The modules start in their order and stop in the reverse one, read from
// the trace of real runs: one that installs, one that fails.
TEST_F(InstallerExecutableTest, ModulesStartInOrderAndStopInReverse) {
  const std::vector<std::string> expected = {"start support", "start registry", "start identity",
                                             "stop identity", "stop registry",  "stop support"};
  for (const std::string& folder : {Path("packs").string(), Path("plain/sub").string()}) {
    SCOPED_TRACE(folder);
    std::ofstream(Path("plain")) << "x";
    std::filesystem::remove(Path("trace"));
    Start({"--install", folder}, {"TESSALINE_MODULE_TRACE=" + Path("trace").string()});
    std::vector<std::string> lines;
    std::istringstream trace(ReadFile(Path("trace")));
    for (std::string line; std::getline(trace, line);) lines.push_back(line);
    EXPECT_EQ(lines, expected);
  }
}

#endif  // TESSALINE_EXECUTABLE

}  // namespace
}  // namespace tessaline::test
