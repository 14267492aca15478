// The paint box draws the backdrop into the window's back buffer when it can,
// and through its own image otherwise; either way the window shows the
// backdrop around an intact panel.
#include <QBackingStore>
#include <QImage>

#include "drawing/backdrop.h"
#include "installer/window/form.h"
#include "installer/window/panel.h"
#include "drawing/canvas.h"
#include "support/resources.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class PaintBoxTest : public WindowTest {
 protected:
  // Differences between the shown window and the backdrop outside the panel,
  // and whether the panel's navy border is where it belongs.
  void ExpectBackdropAroundPanel(TForm1& form) {
    auto* back_buffer = dynamic_cast<QImage*>(form.backingStore()->paintDevice());
    ASSERT_NE(back_buffer, nullptr);
    Canvas expected(form.width(), form.height());
    Backdrop(FindResource("PACK")).Paint(expected);
    const QRect panel = form.findChild<QWidget*>("Panel1")->geometry();
    int differing = 0;
    for (int y = 0; y < form.height(); ++y) {
      for (int x = 0; x < form.width(); ++x) {
        if (panel.contains(x, y)) continue;
        if ((back_buffer->pixel(x, y) | 0xff000000u) != expected.Pixel(x, y)) ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
    // Inside the raised bevel: the navy border all round.
    for (const QPoint at : {panel.topLeft() + QPoint(3, 3), panel.bottomRight() - QPoint(3, 3)}) {
      EXPECT_EQ(back_buffer->pixel(at) | 0xff000000u, qRgb(0, 0, 128));
    }
    // And the panel's own face inside (button face, not backdrop).
    const QPoint face = panel.topLeft() + QPoint(20, 100);
    EXPECT_NE(back_buffer->pixel(face) | 0xff000000u, expected.Pixel(face.x(), face.y()));
  }

  // Repaints and waits for the paint box's next frame.
  bool Repaint(PaintBox* box, const std::function<void()>& ask) {
    bool painted = false;
    auto connection = QObject::connect(box, &PaintBox::painted, [&] { painted = true; });
    ask();
    const bool done = WaitFor([&] { return painted; }, 5000);
    QObject::disconnect(connection);
    // Let the panel's own repaint of the same pass finish too.
    QCoreApplication::processEvents();
    return done;
  }
};

TEST_F(PaintBoxTest, EveryKindOfRepaintShowsTheBackdropAndKeepsThePanel) {
  TForm1 form;
  form.resize(688, 453);
  auto* box = form.findChild<PaintBox*>("PB");
  ASSERT_NE(box, nullptr);

  // The first paint covers the whole window: straight into the back buffer.
  ASSERT_TRUE(Repaint(box, [&] { form.show(); }));
  EXPECT_TRUE(box->paintedInPlace());
  ExpectBackdropAroundPanel(form);

  // Only the box outside the panel is dirty: the panel is not repainted, so
  // what the box drew under it must have been put back.
  const QRegion outside_panel =
      QRegion(box->rect()) - form.findChild<QWidget*>("Panel1")->geometry();
  ASSERT_TRUE(Repaint(box, [&] { box->update(outside_panel); }));
  EXPECT_TRUE(box->paintedInPlace());
  ExpectBackdropAroundPanel(form);

  // A small part: through the box's own image.
  ASSERT_TRUE(Repaint(box, [&] { box->update(QRect(5, 5, 40, 30)); }));
  EXPECT_FALSE(box->paintedInPlace());
  ExpectBackdropAroundPanel(form);

  // After a resize, the whole window again.
  ASSERT_TRUE(Repaint(box, [&] { form.resize(900, 600); }));
  ExpectBackdropAroundPanel(form);
}

// A card sheet that cannot be decoded: the window shows the blend alone
// (drawn before the sheet is needed) and reports the failure once, however
// often it is painted again.
TEST_F(PaintBoxTest, DamagedCardSheetLeavesTheBlendAndIsReportedOnce) {
  static const std::byte kDamaged[] = {std::byte{'B'}, std::byte{'M'}, std::byte{0}};
  struct SheetSwap {
    std::span<const std::byte> original = FindResource("PACK");
    SheetSwap() { RegisterResource("PACK", kDamaged); }
    ~SheetSwap() { RegisterResource("PACK", original); }
  } swap;
  TForm1 form;
  form.resize(688, 453);
  auto* box = form.findChild<PaintBox*>("PB");
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(Repaint(box, [&] { form.show(); }));
  auto* back_buffer = dynamic_cast<QImage*>(form.backingStore()->paintDevice());
  ASSERT_NE(back_buffer, nullptr);
  Canvas blend(688, 453);
  FillGradient(blend, blend.Bounds(), clWhite, clGreen);
  const QRect panel = form.findChild<QWidget*>("Panel1")->geometry();
  int differing = 0;
  for (int y = 0; y < 453; ++y) {
    for (int x = 0; x < 688; ++x) {
      if (!panel.contains(x, y) && (back_buffer->pixel(x, y) | 0xff000000u) != blend.Pixel(x, y))
        ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
  ASSERT_TRUE(Repaint(box, [&] { box->update(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(toolkit_.exceptions, std::vector<std::string>{"Bitmap image is not valid"});
}

}  // namespace
}  // namespace tessaline::test
