// The command line: parsing, and the installer executable run as a user or a
// script runs it (help, version, errors, no display, screenshot, install).
#include <sys/wait.h>

#include <QImage>
#include <fstream>
#include <iterator>
#include <sstream>

#include "installer/window/command_line.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

using Mode = CommandLine::Mode;

TEST(CommandLineTest, ModesAndTheirValues) {
  EXPECT_EQ(ParseCommandLine({}).mode, Mode::kWindow);
  EXPECT_EQ(ParseCommandLine({"--help"}).mode, Mode::kHelp);
  EXPECT_EQ(ParseCommandLine({"--install", "--help"}).mode, Mode::kHelp);  // help wins
  EXPECT_EQ(ParseCommandLine({"--version"}).mode, Mode::kVersion);

  CommandLine shot = ParseCommandLine({"--screenshot", "a.png"});
  EXPECT_EQ(shot.mode, Mode::kScreenshot);
  EXPECT_EQ(shot.screenshot_path, "a.png");
  EXPECT_EQ(QSize(shot.width, shot.height), QSize(688, 453));
  shot = ParseCommandLine({"--size=50x40", "--screenshot=b.png"});
  EXPECT_EQ(shot.mode, Mode::kScreenshot);
  EXPECT_EQ(shot.screenshot_path, "b.png");
  EXPECT_EQ(QSize(shot.width, shot.height), QSize(50, 40));

  CommandLine install = ParseCommandLine({"--install"});
  EXPECT_EQ(install.mode, Mode::kInstall);
  EXPECT_EQ(install.install_dir, std::nullopt);
  install = ParseCommandLine({"--install", "some dir"});
  EXPECT_EQ(install.install_dir, "some dir");
  install = ParseCommandLine({"--install=/x/"});
  EXPECT_EQ(install.install_dir, "/x/");

  // Every argument after --translate is a text, but for --dictionary FILE;
  // after "--" that too is a text.
  CommandLine translate =
      ParseCommandLine({"--translate", "-5 x", "--dictionary", "d.dic", "y", "--", "--dictionary"});
  EXPECT_EQ(translate.mode, Mode::kTranslate);
  EXPECT_EQ(translate.texts, (std::vector<std::string>{"-5 x", "y", "--dictionary"}));
  EXPECT_EQ(translate.dictionary, "d.dic");
  EXPECT_EQ(ParseCommandLine({"--dictionary=e.dic", "--install"}).dictionary, "e.dic");
}

TEST(CommandLineTest, MistakesAreErrorsWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
      {"-x"},
      {"stray"},
      {"--screenshot"},
      {"--screenshot", "a.png", "--install"},
      {"--install", "--screenshot", "a.png"},
      {"--install", "a", "b"},
      {"--size", "10x10"},  // without --screenshot
      {"--screenshot", "a.png", "--size", "0x10"},
      {"--screenshot", "a.png", "--size", "10x"},
      {"--screenshot", "a.png", "--size", "x10"},
      {"--screenshot", "a.png", "--size", "10x-3"},
      {"--screenshot", "a.png", "--size", "+10x10"},
      {"--screenshot", "a.png", "--size", "10x10x"},
      {"--screenshot", "a.png", "--size", "99999x10"},
      {"--screenshot", "a.png", "--size", "99999999999x10"},
      {"--version=1"},
      {"--install="},
      {"--translate"},
      {"--translate", "--dictionary"},
      {"--translate=x"},
      {"--dictionary", "a.dic", "--translate", "t", "--dictionary", "b.dic"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    const CommandLine result = ParseCommandLine(args);
    EXPECT_EQ(result.mode, Mode::kError);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
  }
}

#ifdef TESSALINE_EXECUTABLE

struct Outcome {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out, err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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
    run.out = ReadAll(Path("out"));
    run.err = ReadAll(Path("err"));
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
  EXPECT_TRUE(ReadAll(pack) == ReadAll(TESSALINE_EXECUTABLE));
  // The record went into this test's hive.
  EXPECT_NE(ReadAll(HivePath()).find("Tessaline.wpk"), std::string::npos);

  // A destination under a plain file fails with the reason, status 1.
  std::ofstream(Path("plain")) << "x";
  Outcome failed = Start("--install " + Path("plain/sub").string());
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("Cannot create file"), std::string::npos) << failed.err;
}

#endif  // TESSALINE_EXECUTABLE

}  // namespace
}  // namespace tessaline::test
