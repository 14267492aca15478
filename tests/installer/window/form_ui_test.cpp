// The form's control table, read from the running form after start-up:
// every control's parent, place, size, text, font and colour as designed,
// and the texts start-up puts in.

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "installer/window/form.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

struct Control {
  const char* name;
  const char* parent;
  QRect geometry;
  const char* text;  // nullptr: none to check
  const char* family;
  int pixel_size;  // of the font; 0: not checked
  bool bold;
  QColor colour;  // of the text; invalid: not checked
};

class FormUiTest : public WindowTest {};

TEST_F(FormUiTest, EveryControlIsWhereAndAsTheFormDescribesIt) {
  const QColor navy(0, 0, 128), blue(0, 0, 255);
  const Control controls[] = {
      {"PB", "Form1", {0, 0, 688, 453}, nullptr, nullptr, 0, false, {}},
      {"Panel1", "Form1", {120, 96, 513, 201}, nullptr, nullptr, 0, false, {}},
      {"Panel2", "Panel1", {7, 7, 499, 187}, nullptr, nullptr, 0, false, {}},
      {"Label1", "Panel2", {1, 41, 497, 24}, "Tessaline", "MS Sans Serif", 19, true, navy},
      {"Bevel2", "Panel2", {1, 65, 497, 9}, nullptr, nullptr, 0, false, {}},
      {"Label2",
       "Panel2",
       {12, 92, 170, 16},
       "Select directory to Pack:",
       "MS Sans Serif",
       13,
       true,
       {}},
      {"Panel3", "Panel2", {1, 1, 497, 40}, nullptr, nullptr, 0, false, {}},
      {"Label3",
       "Panel3",
       {132, 12, 233, 21},
       "\"WENLORA\" for Windows",
       "MS Sans Serif",
       16,
       true,
       blue},
      {"Image1", "Panel3", {4, 4, 130, 34}, nullptr, nullptr, 0, false, {}},
      {"Image2", "Panel3", {364, 4, 130, 34}, nullptr, nullptr, 0, false, {}},
      {"btInstall", "Panel2", {8, 148, 129, 33}, "Install pack", "MS Sans Serif", 11, false, {}},
      {"Button2", "Panel2", {364, 148, 129, 33}, "Exit", "MS Sans Serif", 11, false, {}},
      {"DirN", "Panel2", {12, 114, 409, 24}, nullptr, "System", 13, true, {}},
      {"Button3", "Panel2", {426, 114, 65, 24}, "Browse..", "MS Sans Serif", 11, false, {}},
  };
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), "Tessaline");
  EXPECT_EQ(form.size(), QSize(688, 453));
  EXPECT_EQ(form.font().family(), "MS Sans Serif");
  EXPECT_EQ(form.font().pixelSize(), 11);
  for (const Control& c : controls) {
    SCOPED_TRACE(c.name);
    auto* widget = form.findChild<QWidget*>(c.name);
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->parentWidget(), nullptr);
    EXPECT_EQ(widget->parentWidget()->objectName(), c.parent);
    EXPECT_EQ(widget->pos(), c.geometry.topLeft());
    // A label may be wider than designed: the substitute font is wider.
    if (qobject_cast<QLabel*>(widget) != nullptr && c.text != nullptr) {
      EXPECT_GE(widget->width(), c.geometry.width());
      EXPECT_GE(widget->height(), c.geometry.height());
    } else {
      EXPECT_EQ(widget->size(), c.geometry.size());
    }
    if (c.text != nullptr) {
      QString text;
      if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
      if (auto* button = qobject_cast<QPushButton*>(widget)) text = button->text();
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
      EXPECT_EQ(text.toStdString(), c.text);
    }
    if (c.family != nullptr) {
      EXPECT_EQ(widget->font().family().toStdString(), c.family);
      EXPECT_EQ(widget->font().pixelSize(), c.pixel_size);
      EXPECT_EQ(widget->font().bold(), c.bold);
    }
    if (c.colour.isValid()) {
      EXPECT_EQ(widget->palette().color(QPalette::WindowText), c.colour);
    }
  }
}

TEST_F(FormUiTest, TheDestinationIsReadOnlyAndBrowseIsNoTabStop) {
  TForm1 form;
  auto* dir_n = form.findChild<QLineEdit*>("DirN");
  ASSERT_NE(dir_n, nullptr);
  EXPECT_TRUE(dir_n->isReadOnly());
  auto* browse = form.findChild<QWidget*>("Button3");
  ASSERT_NE(browse, nullptr);
  EXPECT_FALSE(browse->focusPolicy() & Qt::TabFocus);
  // The navy border of six pixels around the inner panel, as drawn.
  auto* panel1 = form.findChild<QWidget*>("Panel1");
  const QImage drawn = panel1->grab().toImage();
  for (const QPoint p : {QPoint(3, 3), QPoint(6, 100), QPoint(509, 197)}) {
    EXPECT_EQ(drawn.pixelColor(p), QColor(0, 0, 128)) << p.x() << "," << p.y();
  }
  EXPECT_NE(drawn.pixelColor(7, 100), QColor(0, 0, 128));
}

// What the control table leaves to reading: how the labels align their
// texts, and the outer panel's six-pixel border.
TEST_F(FormUiTest, LabelAlignmentsAndTheOuterBorder) {
  TForm1 form;
  const std::pair<const char*, Qt::Alignment> alignments[] = {
      {"Label1", Qt::AlignHCenter}, {"Label2", Qt::AlignLeft}, {"Label3", Qt::AlignHCenter}};
  for (const auto& [name, alignment] : alignments) {
    auto* label = form.findChild<QLabel*>(name);
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, alignment) << name;
  }
  EXPECT_EQ(form.findChild<QWidget*>("Panel1")->property("borderWidth").toInt(), 6);
}

// The edges as drawn: the inner panel sunk (dark above and left, light below
// and right), the heading strip flat, the separator a dark line over a light
// one along its bottom. Read from a picture of the inner panel.
TEST_F(FormUiTest, PanelEdgesAndTheSeparatorAreDrawnAsDesigned) {
  TForm1 form;
  auto* panel2 = form.findChild<QWidget*>("Panel2");
  ASSERT_NE(panel2, nullptr);
  const QImage drawn = panel2->grab().toImage();
  ASSERT_EQ(drawn.size(), QSize(499, 187));
  // Compared as 8-bit RGB, as the picture holds them.
  const QRgb face = panel2->palette().color(QPalette::Window).rgb();
  const QRgb dark = panel2->palette().color(QPalette::Dark).rgb();
  const QRgb light = panel2->palette().color(QPalette::Light).rgb();
  ASSERT_NE(dark, light);
  ASSERT_NE(face, light);
  struct Pixel {
    QPoint at;
    QRgb colour;
    const char* what;
  };
  const Pixel pixels[] = {
      {{0, 100}, dark, "Panel2 left edge"},
      {{250, 0}, dark, "Panel2 top edge"},
      {{498, 100}, light, "Panel2 right edge"},
      {{250, 186}, light, "Panel2 bottom edge"},
      {{1, 1}, face, "Panel3 top-left corner, no bevel"},
      {{497, 40}, face, "Panel3 bottom-right corner, no bevel"},
      {{200, 71}, face, "Bevel2 above its line"},
      {{200, 72}, dark, "Bevel2 dark line"},
      {{200, 73}, light, "Bevel2 light line"},
      {{200, 74}, face, "below Bevel2"},
  };
  for (const Pixel& p : pixels) {
    EXPECT_EQ(drawn.pixel(p.at), p.colour) << p.what;
  }
}

}  // namespace
}  // namespace tessaline::test
