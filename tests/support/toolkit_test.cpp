#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tessaline {
namespace {

TEST(ToolkitTest, ExceptionDisplayTextAddsAFullStopAfterHigherBytes) {
  EXPECT_EQ(ExceptionDisplayText("Stream read error"), "Stream read error.");
  EXPECT_EQ(ExceptionDisplayText("Error 5"), "Error 5.");
  EXPECT_EQ(ExceptionDisplayText("Why?"), "Why?.");
  EXPECT_EQ(ExceptionDisplayText("Folder:"), "Folder:.");
  EXPECT_EQ(ExceptionDisplayText("Done!"), "Done!");
  EXPECT_EQ(ExceptionDisplayText("x."), "x.");
  EXPECT_EQ(ExceptionDisplayText("(x)"), "(x)");
  EXPECT_EQ(ExceptionDisplayText(""), "");
  EXPECT_EQ(ExceptionDisplayText("Ошибка"), "Ошибка.");
}

TEST(ToolkitTest, ConsoleToolkitWritesBoxesAndDialogsToItsStreams) {
  std::ostringstream out;
  std::ostringstream err;
  ConsoleToolkit console(out, err);
  EXPECT_EQ(console.MessageBox("text", "", 64), kIdOk);
  console.SetTitle("Pack");
  console.ShowException("Disk full");
  console.ShowPlainMessage("plain");
  console.Beep();  // not a terminal: silent
  EXPECT_EQ(err.str(), "text\nPack: Disk full.\n");
  EXPECT_EQ(out.str(), "plain\n");
  console.SetScreenCursor(kCursorWait);
  EXPECT_EQ(console.ScreenCursor(), kCursorWait);
}

TEST(ToolkitTest, SetToolkitInstallsAndRestores) {
  Toolkit& console = CurrentToolkit();
  std::ostringstream out;
  ConsoleToolkit mine(out, out);
  SetToolkit(&mine);
  EXPECT_EQ(&CurrentToolkit(), &mine);
  SetToolkit(nullptr);
  EXPECT_EQ(&CurrentToolkit(), &console);
}

TEST(ToolkitTest, FullStopFollowsEveryLastByteAboveTheFullStop) {
  for (int b = 0; b < 256; ++b) {
    const std::string message = std::string("Error") + static_cast<char>(b);
    const bool stop = b > 46;  // sorts after "."
    EXPECT_EQ(ExceptionDisplayText(message), stop ? message + "." : message) << "byte " << b;
  }
}

TEST(ToolkitTest, ConsoleExceptionDisplayIsAnErrorBoxTitledWithTheApplication) {
  struct Watching : ConsoleToolkit {
    using ConsoleToolkit::ConsoleToolkit;
    int MessageBox(const std::string& text, const std::string& caption,
                   std::int32_t flags) override {
      shown.push_back(caption + "|" + text + "|" + std::to_string(flags));
      return kIdOk;
    }
    std::vector<std::string> shown;
  };
  std::ostringstream out;
  Watching console(out, out);
  console.SetTitle("Kestrel");
  console.ShowException("Cannot open file");
  EXPECT_EQ(console.shown, (std::vector<std::string>{"Kestrel|Cannot open file.|16"}));
}

}  // namespace
}  // namespace tessaline
