// The installer form's layout: the centring of the panel, the paint box,
// the texts' room, the pictures, the frame, the restored and small-screen
// sizes and the keyboard order.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "installer/window/form.h"
#include "os/process.h"
#include "program_run.h"
#include "registry/cipher_reg.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

namespace fs = std::filesystem;

class FormLayoutTest : public WindowTest {};

TEST_F(FormLayoutTest, PanelIsCentredWithDivisionTruncatingTowardZero) {
  TForm1 form;
  QWidget* panel = form.findChild<QWidget*>("Panel1");
  QWidget* paint_box = form.findChild<QWidget*>("PB");
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(paint_box, nullptr);
  struct Case {
    int width, height, left, top;
  };
  for (const Case c : {Case{688, 453, 87, 126}, Case{1920, 1080, 703, 439},
                       Case{514, 202, 0, 0},    // differences of 1 give 0
                       Case{508, 196, -2, -2},  // -5 div 2 is -2, not -3
                       Case{1, 1, -256, -100}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    form.show();
    form.resize(c.width, c.height);
    // The resize event of a shown window comes through the event loop.
    WaitFor([&] { return paint_box->size() == QSize(c.width, c.height); }, 2000);
    ASSERT_EQ(form.size(), QSize(c.width, c.height));
    EXPECT_EQ(panel->geometry(), QRect(c.left, c.top, 513, 201));
    EXPECT_EQ(paint_box->geometry(), form.rect());
  }
}

TEST_F(FormLayoutTest, EveryTextFitsItsControl) {
  // Both states: the installed one has the longer prompt and caption.
  for (bool installed : {false, true}) {
    if (installed) {
      ASSERT_TRUE(CipherReg->WriteValue("", "Wenlora", "/games/"));
      ASSERT_TRUE(CipherReg->WriteValue("Pack", "Pack1", "/games/Tessaline.wpk"));
    }
    TForm1 form;
    for (QLabel* label : form.findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      SCOPED_TRACE(label->objectName().toStdString());
      const QRect needed = label->fontMetrics().boundingRect(label->text());
      EXPECT_LE(needed.width(), label->contentsRect().width());
      EXPECT_LE(label->fontMetrics().height(), label->contentsRect().height());
      // Inside its parent, so nothing is cut off there either.
      EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()));
    }
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
      SCOPED_TRACE(button->objectName().toStdString());
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width());
      EXPECT_LE(button->fontMetrics().height() + 4, button->height());
    }
    auto* dir_n = form.findChild<QLineEdit*>("DirN");
    EXPECT_LE(dir_n->fontMetrics().height(), dir_n->height() - 4);
  }
}

TEST_F(FormLayoutTest, LogosAreMirrorImagesAtTheirNaturalSize) {
  TForm1 form;
  auto* left = form.findChild<QLabel*>("Image1");
  auto* right = form.findChild<QLabel*>("Image2");
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  const QImage left_image = left->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage right_image = right->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(left_image.size(), QSize(130, 34));
  EXPECT_EQ(left->size(), QSize(130, 34));
  EXPECT_EQ(right_image, left_image.mirrored(true, false));
}

TEST_F(FormLayoutTest, FrameOffersOnlyTheSystemMenuAndClose) {
  TForm1 form;
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

// Out of the maximised state the window has the design's client size,
// centred on the screen, and its frame does not resize.
TEST_F(FormLayoutTest, RestoringFromMaximisedGivesTheFixedDesignSizeCentred) {
  TForm1 form;
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.isMaximized(); }, 2000));
  EXPECT_GT(form.width(), 688);  // maximised, it takes the screen
  form.showNormal();
  ASSERT_TRUE(WaitFor([&] { return form.size() == QSize(688, 453); }, 2000)) << form.width();
  EXPECT_EQ(form.minimumSize(), QSize(688, 453));
  EXPECT_EQ(form.maximumSize(), QSize(688, 453));
  const QRect area = form.screen()->availableGeometry();
  const QRect frame = form.frameGeometry();
  EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
  EXPECT_TRUE(area.contains(frame.topLeft()));  // the title bar is on the screen
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.width() > 688; }, 2000));
  EXPECT_EQ(form.minimumSize(), QSize(0, 0));
}

// On a screen smaller than the design the restored window fits the screen,
// and every button the keyboard reaches still works. Run in a child on an
// offscreen screen of 480 x 180.
TEST_F(FormLayoutTest, SmallScreenKeepsTheWindowOnItAndTheButtonsReachable) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen->size() != QSize(480, 180)) {
    const std::string config = Path("small.json").string();
    WriteFile(
        config,
        R"({"windowFrameMargins": false, "screens": [{"name": "s", "x": 0, "y": 0, )"
        R"("width": 480, "height": 180, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    const ProgramOutcome child =
        RunProgram(ExecutablePath(), {"--gtest_filter=FormLayoutTest.SmallScreen*"},
                   EnvironmentWith({"QT_QPA_PLATFORM=offscreen:configfile=" + config}),
                   dir_.string());
    EXPECT_EQ(child.status, 0) << child.out << child.err;
    return;
  }
  TForm1 form;
  ShowMaximizedOnScreen(form);
  ASSERT_TRUE(WaitFor([&] { return form.isMaximized(); }, 2000));
  form.showNormal();
  ASSERT_TRUE(WaitFor([&] { return !form.isMaximized(); }, 2000));
  QCoreApplication::processEvents();
  const QRect area = screen->availableGeometry();
  EXPECT_TRUE(area.contains(form.frameGeometry())) << form.frameGeometry().width();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  std::vector<std::string> order;
  for (int i = 0; i < 3; ++i) {
    order.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"btInstall", "Button2", "DirN"}));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // back to Install, then Exit
  ASSERT_EQ(QApplication::focusWidget()->objectName().toStdString(), "Button2");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormLayoutTest, FocusStartsVisiblyOnInstallAndEnterPressesTheFocusedButton) {
  const std::string folder = Path("packs").string() + "/";
  TForm1 form;
  form.findChild<QLineEdit*>("DirN")->setText(QString::fromStdString(folder));
  int prompts = 0;
  form.SetDirectoryPrompt([&](QWidget*, const std::string&) {
    ++prompts;
    return std::optional<std::string>();
  });
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "btInstall");
  // The focus frame shows.
  EXPECT_TRUE(WaitFor([&] { return form.testAttribute(Qt::WA_KeyboardFocusChange); }, 2000));

  auto* browse = form.findChild<QPushButton*>("Button3");
  browse->setFocus();
  QTest::keyClick(browse, Qt::Key_Return);
  EXPECT_EQ(prompts, 1);
  QTest::keyClick(browse, Qt::Key_Enter);
  EXPECT_EQ(prompts, 2);
  // Other keys are not presses.
  QTest::keyClick(browse, Qt::Key_A);
  EXPECT_EQ(prompts, 2);

  auto* install = form.findChild<QPushButton*>("btInstall");
  install->setFocus();
  QTest::keyClick(install, Qt::Key_Return);
  ASSERT_TRUE(toolkit_.exceptions.empty()) << toolkit_.exceptions[0];
  EXPECT_TRUE(fs::exists(folder + "Tessaline.wpk"));
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormLayoutTest, TabGoesInstallExitDestinationAndSkipsBrowse) {
  TForm1 form;
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* install = form.findChild<QWidget*>("btInstall");
  install->setFocus();
  std::vector<std::string> order;
  for (int i = 0; i < 4; ++i) {
    order.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"btInstall", "Button2", "DirN", "btInstall"}));
  auto* dir_n = form.findChild<QLineEdit*>("DirN");
  EXPECT_TRUE(dir_n->isReadOnly());
}

}  // namespace
}  // namespace tessaline::test
