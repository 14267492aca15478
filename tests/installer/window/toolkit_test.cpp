// The Qt toolkit: boxes (icons, buttons, captions, results), the exception
// display, the cursor and calls from other threads.
#include "installer/window/toolkit.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <thread>

#include "registry/cipher_reg.h"
#include "support/messages.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

// What a box looked like when it was up.
struct SeenBox {
  std::string title;
  std::string text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<QMessageBox::StandardButton> buttons;
  bool on_ui_thread = false;
  bool arrow_cursor = false;  // no override cursor while it was up
};

// A step that records the box and clicks `which` (or closes it without a
// button when `which` is NoButton).
ModalDriver::Step SeeAndClick(SeenBox* seen, QMessageBox::StandardButton which) {
  return [seen, which](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr || !box->isVisible()) return false;
    seen->title = box->windowTitle().toStdString();
    seen->text = box->text().toStdString();
    seen->icon = box->icon();
    for (QAbstractButton* button : box->buttons())
      seen->buttons.push_back(box->standardButton(button));
    std::sort(seen->buttons.begin(), seen->buttons.end());
    seen->on_ui_thread =
        box->thread() == qApp->thread() && QThread::currentThread() == qApp->thread();
    seen->arrow_cursor = QGuiApplication::overrideCursor() == nullptr;
    if (which == QMessageBox::NoButton) {
      box->reject();
    } else {
      box->button(which)->click();
    }
    return true;
  };
}

class QtToolkitTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetToolkit(&qt_);
    qt_.SetTitle("Tessaline");
  }
  void TearDown() override {
    qt_.SetScreenCursor(kCursorDefault);
    WindowTest::TearDown();
  }
  QtToolkit qt_;
};

TEST_F(QtToolkitTest, MessageBoxShowsTheIconAndButtonsOfItsFlags) {
  struct Case {
    std::int32_t flags;
    QMessageBox::Icon icon;
    std::vector<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton click;
    int result;
  };
  const std::vector<Case> cases = {
      {kMbIconInformation, QMessageBox::Information, {QMessageBox::Ok}, QMessageBox::Ok, kIdOk},
      {kMbIconError, QMessageBox::Critical, {QMessageBox::Ok}, QMessageBox::Ok, kIdOk},
      {kMbOk, QMessageBox::NoIcon, {QMessageBox::Ok}, QMessageBox::NoButton, kIdOk},
      {0x24, QMessageBox::Question, {QMessageBox::Yes, QMessageBox::No}, QMessageBox::No, 7},
      {0x31,
       QMessageBox::Warning,
       {QMessageBox::Ok, QMessageBox::Cancel},
       QMessageBox::NoButton,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    SeenBox seen;
    ModalDriver driver({SeeAndClick(&seen, c.click)});
    const int result = qt_.MessageBox("first\r\nsecond", "", c.flags);
    ASSERT_TRUE(driver.finished());
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(seen.icon, c.icon);
    auto expected = c.buttons;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen.buttons, expected);
    EXPECT_EQ(seen.text, "first\nsecond");  // CR LF shown as one line break
    EXPECT_EQ(seen.title, "");
  }
}

TEST_F(QtToolkitTest, PlainMessageAndExceptionDisplayAreTitledWithTheApplication) {
  SeenBox plain, error;
  ModalDriver driver({SeeAndClick(&plain, QMessageBox::Ok), SeeAndClick(&error, QMessageBox::Ok)});
  qt_.ShowPlainMessage("Pack installation finished\r\n/games/Tessaline.wpk");
  qt_.ShowException("Stream read error");
  ASSERT_TRUE(driver.finished());
  EXPECT_EQ(plain.title, "Tessaline");
  EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
  EXPECT_EQ(plain.buttons, std::vector{QMessageBox::Ok});
  EXPECT_EQ(plain.text, "Pack installation finished\n/games/Tessaline.wpk");
  EXPECT_EQ(error.title, "Tessaline");
  EXPECT_EQ(error.icon, QMessageBox::Critical);
  EXPECT_EQ(error.text, "Stream read error.");
}

TEST_F(QtToolkitTest, CursorIsTheOverrideCursorAndMessagesShowTheArrow) {
  qt_.SetScreenCursor(kCursorWait);
  EXPECT_EQ(qt_.ScreenCursor(), kCursorWait);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

  // The message facility shows its box with the arrow, then puts the wait
  // cursor back.
  SeenBox seen;
  ModalDriver driver({SeeAndClick(&seen, QMessageBox::Ok)});
  ShowMsg({MsgArg::Text("Registry error 1"), MsgArg::Text("a"), MsgArg::Text("b")});
  ASSERT_TRUE(driver.finished());
  EXPECT_TRUE(seen.arrow_cursor);
  EXPECT_EQ(seen.text, "Registry error 1\na\nb");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.title, "");
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

  qt_.SetScreenCursor(kCursorDefault);
  EXPECT_EQ(qt_.ScreenCursor(), kCursorDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(QtToolkitTest, BoxAskedForByAnotherThreadIsShownOnTheUiThreadWhileItWaits) {
  SeenBox seen;
  ModalDriver driver({SeeAndClick(&seen, QMessageBox::Ok)});
  std::atomic<int> result{-1};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = CurrentToolkit().MessageBox("from a worker", "", kMbIconInformation);
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(driver.finished());
  EXPECT_TRUE(seen.on_ui_thread);
  EXPECT_EQ(seen.text, "from a worker");
  EXPECT_EQ(result.load(), kIdOk);
}

TEST_F(QtToolkitTest, RegistryUsedFromAnotherThreadReportsOnTheUiThread) {
  ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", "/games/"));
  SeenBox seen;
  ModalDriver driver({SeeAndClick(&seen, QMessageBox::Ok)});
  std::string read;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    read = CipherReg->ReadValue("", "Wenlora", "default");
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  ASSERT_TRUE(driver.finished());
  EXPECT_TRUE(seen.on_ui_thread);
  EXPECT_EQ(seen.text.substr(0, seen.text.find('\n')), "Registry error 2");
  EXPECT_EQ(read, "default");  // refused, nothing read
}

}  // namespace
}  // namespace tessaline::test
