// The window's layout: centring of the panel, the paint box, the texts'
// room, the pictures, the frame and the keyboard order.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "installer/window/form.h"
#include "registry/cipher_reg.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

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
