// Browse from the keyboard (Alt+B, its caption unchanged).
#include <QKeySequence>
#include <QPushButton>
#include <QTest>

#include "installer/window/form.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class FormKeyboardTest : public WindowTest {
 protected:
  void ShowActive(TForm1& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  static std::string FocusName() {
    QWidget* focused = QApplication::focusWidget();
    return focused != nullptr ? focused->objectName().toStdString() : "(none)";
  }
};

// Alt+B presses Browse wherever the focus is; Browse stays out of the tab
// order and keeps its caption, without a mnemonic's underline.
TEST_F(FormKeyboardTest, AltBPressesBrowseFromEveryControl) {
  TForm1 form;
  int prompts = 0;
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) {
    ++prompts;
    return std::optional<std::string>();
  });
  ShowActive(form);
  auto* browse = form.findChild<QPushButton*>("Button3");
  EXPECT_EQ(browse->text().toStdString(), "Browse..");
  EXPECT_TRUE(QKeySequence::mnemonic(browse->text()).isEmpty());
  EXPECT_FALSE(browse->focusPolicy() & Qt::TabFocus);
  for (const char* name : {"btInstall", "Button2", "DirN"}) {
    SCOPED_TRACE(name);
    form.findChild<QWidget*>(name)->setFocus(Qt::TabFocusReason);
    // B alone, or with another modifier, is no press: the button does not
    // go down.
    for (const auto modifier : {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, modifier);
      EXPECT_FALSE(browse->isDown());
    }
    const int before = prompts;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
    // Pressed as a click shows it: down at once, the click once it comes up.
    EXPECT_TRUE(browse->isDown());
    EXPECT_TRUE(WaitFor([&] { return prompts == before + 1; }, 2000));
    EXPECT_EQ(FocusName(), name);
  }
  EXPECT_EQ(prompts, 3);
}

}  // namespace
}  // namespace tessaline::test
