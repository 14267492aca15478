// Browse from the keyboard (Alt+B, its caption unchanged) and the focus
// after Browse's chooser has closed.
#include <QKeySequence>
#include <QPushButton>
#include <QTest>

#include "installer/window/form.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

namespace fs = std::filesystem;

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

// The chooser may leave the activation elsewhere (as openbox does after the
// "Create it?" question): the stand-in here activates a window of its own,
// left open, before it answers. The window has the keyboard back on the
// control that had it, however the chooser closed.
TEST_F(FormKeyboardTest, TheWindowHasTheFocusBackWhenTheChooserCloses) {
  const std::string made = Path("made").string();
  fs::create_directories(Path("there"));
  struct Row {
    const char* control;
    bool by_mouse;  // a click gives Browse itself the focus
    std::optional<std::string> answer;
  };
  const Row rows[] = {
      {"btInstall", false, made},  {"Button2", false, Path("there").string()},
      {"DirN", false, std::nullopt}, {"Button3", true, made + "2"},
      {"Button3", true, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.control) + " -> " + row.answer.value_or("(cancel)"));
    TForm1 form;
    QWidget elsewhere;
    form.SetDirectoryPrompt([&](QWidget*, const std::string&) {
      elsewhere.show();
      elsewhere.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
      return row.answer;
    });
    ShowActive(form);
    if (row.by_mouse) {
      QTest::mouseClick(form.findChild<QPushButton*>("Button3"), Qt::LeftButton);
    } else {
      form.findChild<QWidget*>(row.control)->setFocus(Qt::TabFocusReason);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
    }
    EXPECT_TRUE(WaitFor([&] { return elsewhere.isVisible(); }, 2000));
    EXPECT_TRUE(WaitFor([&] { return form.isActiveWindow(); }, 2000));
    EXPECT_EQ(FocusName(), row.control);
    EXPECT_TRUE(!row.answer || fs::is_directory(*row.answer));
  }
}

}  // namespace
}  // namespace tessaline::test
