// The installer executable run as a user or a script runs it: help, version,
// mistakes, no display, screenshot, the window quitting after its first
// paint, and the installation without a window.
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "window_test_support.h"

namespace tessaline::test {
namespace {

#ifdef TESSALINE_EXECUTABLE

struct Outcome {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out, err;
};

class InstallerExecutableTest : public WindowTest {
 protected:
  // Runs the installer with a clean environment: no display unless `env`
  // gives one, the test's own hive, and a temporary folder of its own.
  Outcome Start(const std::string& args, const std::string& env = "") {
    std::filesystem::create_directories(Path("tmp"));
    const std::string command =
        "env -i PATH=/usr/bin:/bin HOME=" + dir_.string() + " TMPDIR=" + Path("tmp").string() +
        " WENLORA_REGISTRY=" + HivePath().string() + " " + env + " " + TESSALINE_EXECUTABLE + " " +
        args + " >" + Path("out").string() + " 2>" + Path("err").string();
    const int raw = std::system(command.c_str());
    Outcome run;
    if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.out = ReadFile(Path("out"));
    run.err = ReadFile(Path("err"));
    return run;
  }
};

TEST_F(InstallerExecutableTest, HelpVersionAndMistakes) {
  Outcome help = Start("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tessaline"), std::string::npos);
  EXPECT_NE(help.out.find("--screenshot"), std::string::npos);
  EXPECT_EQ(help.err, "");

  Outcome version = Start("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tessaline ", 0), 0u);
  EXPECT_NE(version.out.find("Tessaline"), std::string::npos);

  Outcome bogus = Start("--bogus");
  EXPECT_EQ(bogus.status, 2);
  EXPECT_EQ(bogus.out, "");
  EXPECT_NE(bogus.err.find("unknown option '--bogus'"), std::string::npos);
}

// A dictionary asked for by name that cannot be read stops the run before
// anything starts, instead of leaving every message untranslated.
TEST_F(InstallerExecutableTest, ADictionaryNamedThatCannotBeReadIsAMistake) {
  const std::string missing = Path("missing.dic").string();
  for (const std::string& args :
       {std::string("--translate x"), "--install " + Path("d").string()}) {
    SCOPED_TRACE(args);
    Outcome run = Start("--dictionary " + missing + " " + args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tessaline: cannot use the dictionary '" + missing +
                           "': No such file or directory\n");
  }
  EXPECT_FALSE(std::filesystem::exists(Path("d")));
  Outcome folder = Start("--dictionary " + Path("tmp").string() + " --translate x");
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
}

TEST_F(InstallerExecutableTest, WithoutADisplayTheWindowSaysHowToRunHeadless) {
  Outcome run = Start("");
  EXPECT_EQ(run.status, 1);  // an exit, not an abort
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("display"), std::string::npos);
  EXPECT_NE(run.err.find("--screenshot"), std::string::npos);
  EXPECT_NE(run.err.find("--install"), std::string::npos);
}

TEST_F(InstallerExecutableTest, ScreenshotWithoutADisplay) {
  const std::string file = Path("window.png").string();
  Outcome run = Start("--screenshot " + file + " --size 800x600");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(QImage(QString::fromStdString(file)).size(), QSize(800, 600));

  Outcome unwritable = Start("--screenshot " + Path("no/such/dir/x.png").string());
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);

  // A suffix that is no picture format is refused before anything is written.
  Outcome unknown = Start("--screenshot " + Path("window.xyz").string());
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("window.xyz"), std::string::npos) << unknown.err;
  EXPECT_FALSE(std::filesystem::exists(Path("window.xyz")));
}

TEST_F(InstallerExecutableTest, WindowStartsMaximisedPaintsAndQuitsWhenAsked) {
  // The start-up measurement's way of running the whole window: it must end
  // by itself once the backdrop has been painted.
  Outcome run = Start("", "QT_QPA_PLATFORM=offscreen TESSALINE_EXIT_AFTER_FIRST_PAINT=1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(InstallerExecutableTest, InstallWithoutAWindow) {
  const std::filesystem::path folder = Path("packs");
  Outcome run = Start("--install " + folder.string());
  EXPECT_EQ(run.status, 0) << run.err;
  const std::filesystem::path pack = folder / "Tessaline.wpk";
  EXPECT_EQ(run.out, "Pack installation finished\n" + pack.string() + "\n");
  EXPECT_TRUE(ReadFile(pack) == ReadFile(TESSALINE_EXECUTABLE));
  // The record went into this test's hive.
  EXPECT_NE(ReadFile(HivePath()).find("Tessaline.wpk"), std::string::npos);

  // A destination under a plain file fails with the reason, status 1.
  std::ofstream(Path("plain")) << "x";
  Outcome failed = Start("--install " + Path("plain/sub").string());
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
    Start("--install " + folder, "TESSALINE_MODULE_TRACE=" + Path("trace").string());
    std::vector<std::string> lines;
    std::istringstream trace(ReadFile(Path("trace")));
    for (std::string line; std::getline(trace, line);) lines.push_back(line);
    EXPECT_EQ(lines, expected);
  }
}

#endif  // TESSALINE_EXECUTABLE

}  // namespace
}  // namespace tessaline::test
