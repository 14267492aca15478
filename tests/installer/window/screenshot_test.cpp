// The picture of the window: what the paint box shows is the backdrop's own
// drawing, pixel for pixel, around the panel.
#include <QImage>
#include <QImageReader>
#include <QLineEdit>

#include "drawing/backdrop.h"
#include "installer/window/form.h"
#include "installer/window/screenshot.h"
#include "drawing/canvas.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class ScreenshotTest : public WindowTest {};

// The backdrop as the paint handler draws it on a canvas of that size.
QImage Backdrop(int width, int height) {
  Canvas canvas(width, height);
  PBPaint(canvas);
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, canvas.Pixel(x, y) | 0xff000000u);
  }
  return image;
}

TEST_F(ScreenshotTest, BackdropAroundThePanelIsThePaintHandlersDrawing) {
  for (const QSize size : {QSize(688, 453), QSize(1000, 700), QSize(530, 220)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    const std::string file = Path("shot.png").string();
    ASSERT_TRUE(WriteScreenshot(file, size));
    QImage shot(QString::fromStdString(file));
    ASSERT_EQ(shot.size(), size);
    shot = shot.convertToFormat(QImage::Format_RGB32);
    const QImage expected = Backdrop(size.width(), size.height());
    const QRect panel((size.width() - 513) / 2, (size.height() - 201) / 2, 513, 201);
    int compared = 0, differing = 0;
    for (int y = 0; y < size.height(); ++y) {
      for (int x = 0; x < size.width(); ++x) {
        if (panel.contains(x, y)) continue;
        ++compared;
        if (shot.pixel(x, y) != expected.pixel(x, y)) ++differing;
      }
    }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(differing, 0);
    // The panel covers the backdrop: its navy border shows inside the bevel.
    EXPECT_EQ(shot.pixel(panel.left() + 3, panel.top() + 3), qRgb(0, 0, 128));
  }
}

TEST_F(ScreenshotTest, ScreenshotShowsTheStateCreationLeaves) {
  const std::string file = Path("shot.png").string();
  ASSERT_TRUE(WriteScreenshot(file, QSize(688, 453)));
  EXPECT_TRUE(toolkit_.exceptions.empty());
  EXPECT_EQ(toolkit_.title, "Tessaline");  // the window was created as usual
  // A file that cannot be written is reported, not ignored.
  EXPECT_FALSE(WriteScreenshot(Path("missing/folder/shot.png").string(), QSize(688, 453)));
}

// The file is in the format its name asks for, not a PNG under any name.
TEST_F(ScreenshotTest, FormatFollowsTheSuffix) {
  for (const char* name : {"shot.jpg", "shot.BMP", "shot.png", "shot"}) {
    SCOPED_TRACE(name);
    const std::string file = Path(name).string();
    ASSERT_TRUE(WriteScreenshot(file, QSize(688, 453)));
    QImageReader reader(QString::fromStdString(file));
    const std::string expected = ScreenshotFormat(file) == "jpg" ? "jpeg" : ScreenshotFormat(file);
    EXPECT_EQ(reader.format().toStdString(), expected);
    EXPECT_EQ(reader.size(), QSize(688, 453));
  }
  EXPECT_EQ(ScreenshotFormat("a/b.BMP"), "bmp");
  EXPECT_EQ(ScreenshotFormat("shot"), "png");
  EXPECT_EQ(ScreenshotFormat("shot.xyz"), "");
  EXPECT_FALSE(WriteScreenshot(Path("shot.xyz").string(), QSize(688, 453)));
  EXPECT_FALSE(std::filesystem::exists(Path("shot.xyz")));
}

}  // namespace
}  // namespace tessaline::test
