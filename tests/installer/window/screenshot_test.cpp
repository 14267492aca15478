// The picture of the window: what the paint box shows is the backdrop's own
// drawing, pixel for pixel, around the panel.
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <sstream>

#include "drawing/backdrop.h"
#include "installer/window/form.h"
#include "installer/window/installer_main.h"
#include "common/fault_system.h"
#include "drawing/canvas.h"
#include "support/resources.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class ScreenshotTest : public WindowTest {
 protected:
  bool Write(const std::string& file, QSize size = QSize(688, 453)) {
    return WriteScreenshot(file, size, err_);
  }
  std::ostringstream err_;
};

// The backdrop as the paint handler draws it on a canvas of that size.
QImage Backdrop(int width, int height) {
  Canvas canvas(width, height);
  tessaline::Backdrop(FindResource("PACK")).Paint(canvas);
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
    ASSERT_TRUE(Write(file, size));
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
  ASSERT_TRUE(Write(file));
  EXPECT_TRUE(toolkit_.exceptions.empty());
  EXPECT_EQ(toolkit_.title, "Tessaline");  // the window was created as usual
}

// A picture that cannot be written says which file and why, in the system's
// words, and leaves no file of its own behind.
TEST_F(ScreenshotTest, AFileThatCannotBeWrittenIsToldWithTheReason) {
  std::filesystem::create_directories(Path("folder"));
  const std::string denied = Path("denied.png").string();
  struct Row {
    std::string file;
    std::string reason;
  };
  const std::vector<Row> rows = {
      {Path("missing/folder/shot.png").string(), "No such file or directory"},
      {Path("folder").string(), "Is a directory"},
      {"/dev/full", "No space left on device"},
      {denied, "Permission denied"},
  };
  ScopedFaults faults;
  faults.FailWhen([&](const FaultSystem::Call& call) {
    return call.op == FsOp::kOpen && call.path == denied;
  }, EACCES);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    err_.str("");
    EXPECT_FALSE(Write(row.file));
    EXPECT_EQ(err_.str(), "tessaline: cannot write the screenshot to " + row.file + ": " +
                              row.reason + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(denied));
  EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
}

// A full disk in the middle of the picture: the file this run made goes
// again, a file that was there keeps its name (emptied, as a rewrite in
// place leaves it).
TEST_F(ScreenshotTest, AFailedWriteRemovesOnlyTheFileItMade) {
  const std::string made = Path("new.png").string();
  const std::string old = Path("old.png").string();
  WriteFile(old, "old picture");
  ScopedFaults faults;
  faults.FailAll(FsOp::kWrite, ENOSPC);
  for (const std::string& file : {made, old}) {
    err_.str("");
    EXPECT_FALSE(Write(file));
    EXPECT_EQ(err_.str(), "tessaline: cannot write the screenshot to " + file +
                              ": No space left on device\n");
  }
  EXPECT_FALSE(std::filesystem::exists(made));
  EXPECT_TRUE(std::filesystem::exists(old));
}

// The file is in the format its name asks for, not a PNG under any name.
TEST_F(ScreenshotTest, FormatFollowsTheSuffix) {
  for (const char* name : {"shot.jpg", "shot.BMP", "shot.png", "shot"}) {
    SCOPED_TRACE(name);
    const std::string file = Path(name).string();
    ASSERT_TRUE(Write(file));
    QImageReader reader(QString::fromStdString(file));
    const std::string expected = ScreenshotFormat(file) == "jpg" ? "jpeg" : ScreenshotFormat(file);
    EXPECT_EQ(reader.format().toStdString(), expected);
    EXPECT_EQ(reader.size(), QSize(688, 453));
  }
  EXPECT_EQ(ScreenshotFormat("a/b.BMP"), "bmp");
  EXPECT_EQ(ScreenshotFormat("shot"), "png");
  EXPECT_EQ(ScreenshotFormat("shot.xyz"), "");
  EXPECT_FALSE(Write(Path("shot.xyz").string()));
  EXPECT_NE(err_.str().find("its suffix is not one of"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("shot.xyz")));
}

}  // namespace
}  // namespace tessaline::test
