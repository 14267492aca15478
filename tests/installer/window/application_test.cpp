// The application object: an exception escaping an event handler is shown by
// the exception display and the event loop goes on.
#include "installer/window/application.h"

#include <unistd.h>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "installer/window/toolkit.h"
#include "support/exception.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class QtApplicationTest : public WindowTest {};

TEST_F(QtApplicationTest, ExceptionsEscapingHandlersAreShownAndTheLoopGoesOn) {
  bool later_ran = false;
  QTimer::singleShot(0, [] { throw Exception("Cannot open file /x"); });
  QTimer::singleShot(0, [] { throw 42; });
  QTimer::singleShot(5, [&] { later_ran = true; });
  EXPECT_TRUE(WaitFor([&] { return later_ran; }));
  EXPECT_EQ(toolkit_.exceptions,
            (std::vector<std::string>{"Cannot open file /x", "Unknown error"}));
}

// A box without a caption (the information box) must have no title where the
// window system shows it: Qt would put the program's name there. Seen through
// the X server's own properties, under Xvfb, in a child run of this test.
TEST_F(QtApplicationTest, BoxWithoutACaptionHasAnEmptyTitleOnTheWindowSystem) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    if (std::system("command -v xvfb-run >/dev/null && command -v xprop >/dev/null") != 0) {
      GTEST_SKIP() << "needs xvfb-run and xprop";
    }
    // The X client libraries (D-Bus) keep one buffer to the end: not ours to
    // report in a sanitized build.
    const std::string child =
        "xvfb-run -a env QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 /proc/" +
        std::to_string(::getpid()) +
        "/exe --gtest_filter=QtApplicationTest.BoxWithoutACaption* "
        ">/dev/null 2>&1";
    EXPECT_EQ(std::system(child.c_str()), 0) << child;
    return;
  }
  QtToolkit toolkit;
  ScopedToolkit use(toolkit);
  std::string names;
  ModalDriver driver({[&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr || !box->isVisible()) return false;
    QCoreApplication::processEvents();
    const std::string command =
        "xprop -id " + std::to_string(box->winId()) + " WM_NAME _NET_WM_NAME";
    if (FILE* out = ::popen(command.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, out) != nullptr) names += buffer;
      ::pclose(out);
    }
    box->button(QMessageBox::Ok)->click();
    return true;
  }});
  toolkit.MessageBox("Pack installation finished", "", 0x40);
  EXPECT_TRUE(driver.finished());
  // xprop writes an empty text as nothing after the "=".
  EXPECT_EQ(names, "WM_NAME(STRING) = \n_NET_WM_NAME(UTF8_STRING) = \n");
}

}  // namespace
}  // namespace tessaline::test
