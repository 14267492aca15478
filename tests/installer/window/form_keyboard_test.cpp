// Browse from the keyboard (Alt+B, its caption unchanged), the focus after
// Browse's chooser has closed, and DirN's tool tip.
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

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

// What a tool tip of this text draws: its text, or the plain text of its
// markup.
QString TipDrawn(const QString& tip) {
  if (!Qt::mightBeRichText(tip)) return tip;
  QTextDocument document;
  document.setHtml(tip);
  return document.toPlainText();
}

TEST(FieldToolTipTest, TheTipDrawsTheTextAsTheFieldDrawsIt) {
  struct Row {
    QString text, drawn;
  };
  const Row rows[] = {
      {"/games/packs/", "/games/packs/"},
      {QString::fromUtf8("/caf\xEF\xBF\xBD/"), QString::fromUtf8("/caf\xEF\xBF\xBD/")},
      {"/tmp/<b>bold</b>/", "/tmp/<b>bold</b>/"},
      {"/tmp/a&lt;b/", "/tmp/a&lt;b/"},
      {"/tmp/<p>  two  spaces</p>/", "/tmp/<p>  two  spaces</p>/"},
      {"/tmp/line\nbreak/", "/tmp/line break/"},
      {QString("/tmp/\x01x/"), "/tmp/ x/"},
      {QString("/tmp/a") + QChar::LineSeparator + "b/", "/tmp/a b/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.toStdString());
    EXPECT_EQ(TipDrawn(FieldToolTip(row.text)), row.drawn);
  }
  // The field itself draws a control character as a space.
  QLineEdit control(QString("a\x01z"));
  QLineEdit space(QStringLiteral("a z"));
  for (QLineEdit* edit : {&control, &space}) edit->resize(120, 24);
  EXPECT_EQ(control.grab().toImage(), space.grab().toImage());
}

// The tool tip shown on DirN is the whole destination, as the field shows
// it: a path too long for the field, one that is not UTF-8, one that looks
// like markup.
TEST_F(FormKeyboardTest, DirNsToolTipShowsTheWholePathAsTheFieldShowsIt) {
  const std::string long_path = Path(std::string(120, 'x') + "/" + std::string(40, 'y')).string();
  for (const std::string& chosen :
       {long_path, Path("caf\xE9").string(), Path("<b>bold</b>").string()}) {
    SCOPED_TRACE(chosen);
    TForm1 form;
    form.SetDirectoryPrompt([&](QWidget*, const std::string&) { return std::optional(chosen); });
    ShowActive(form);
    QTest::mouseClick(form.findChild<QPushButton*>("Button3"), Qt::LeftButton);
    auto* dir_n = form.findChild<QLineEdit*>("DirN");
    const QString shown = dir_n->text();
    ASSERT_EQ(shown.toStdString(), QString::fromStdString(chosen + "/").toStdString());
    QHelpEvent hover(QEvent::ToolTip, QPoint(10, 10), dir_n->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(dir_n, &hover);
    QLabel* tip = nullptr;
    EXPECT_TRUE(WaitFor([&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "qtooltip_label" && widget->isVisible()) {
          tip = qobject_cast<QLabel*>(widget);
        }
      }
      return tip != nullptr;
    }, 2000));
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(TipDrawn(tip->text()).toStdString(), shown.toStdString());
    QToolTip::hideText();
  }
  EXPECT_GT(QFontMetrics(QFont()).horizontalAdvance(QString::fromStdString(long_path)), 409);
}

}  // namespace
}  // namespace tessaline::test
