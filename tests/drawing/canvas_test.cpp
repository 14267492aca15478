#include "drawing/canvas.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "drawing/region.h"

namespace tessaline {
namespace {

constexpr std::uint32_t kBlack = 0xff000000u;
constexpr std::uint32_t kWhite = 0xffffffffu;
constexpr std::uint32_t kRed = 0xffff0000u;

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(const Canvas& canvas, std::uint32_t pixel) {
  PixelSet set;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      if (canvas.Pixel(x, y) == pixel) set.insert({x, y});
    }
  }
  return set;
}

// A rectangle's pixels as a clip region.
Region RectRegion(const IntRect& r) {
  const IntPoint corners[] = {
      {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
  return Region::FromPolygon(corners);
}

// Fills the rectangle with one run.
void Fill(Canvas& canvas, const IntRect& r, std::uint32_t pixel) {
  const ColorRun run[] = {{r.left, r.right, pixel}};
  canvas.FillRuns(r.top, r.bottom, run);
}

TEST(ColorTest, RgbLayoutAndPixels) {
  EXPECT_EQ(clGreen.Value(), 0 + 256 * 128);
  EXPECT_EQ(Color::FromRgb(1, 2, 3).Value(), 1 + 256 * 2 + 65536 * 3);
  EXPECT_EQ(clWhite.ToPixel(), kWhite);
  EXPECT_EQ(clGreen.ToPixel(), 0xff008000u);
  EXPECT_EQ(Color::FromPixel(0xff123456u), Color::FromRgb(0x12, 0x34, 0x56));
}

TEST(CanvasFillTest, RectanglesAreRightAndBottomExclusiveAndClipped) {
  Canvas canvas(10, 8);
  Fill(canvas, {2, 3, 5, 4}, kWhite);
  EXPECT_EQ(PixelsOf(canvas, kWhite), (PixelSet{{2, 3}, {3, 3}, {4, 3}}));

  // Empty and inverted rectangles draw nothing.
  Canvas empty(10, 8);
  Fill(empty, {5, 5, 5, 9}, kWhite);
  Fill(empty, {6, 6, 2, 7}, kWhite);
  Fill(empty, {2, 6, 6, 2}, kWhite);
  EXPECT_TRUE(PixelsOf(empty, kWhite).empty());

  // Parts outside the canvas, on every side, are dropped.
  Canvas edges(4, 3);
  Fill(edges, {-100, -100, 100, 100}, kWhite);
  EXPECT_EQ(PixelsOf(edges, kWhite).size(), 12u);
  Canvas corner(4, 3);
  Fill(corner, {-2, -2, 1, 1}, kWhite);
  EXPECT_EQ(PixelsOf(corner, kWhite), (PixelSet{{0, 0}}));
}

TEST(CanvasFillTest, BorrowedBufferKeepsItsRowPadding) {
  // Rows of 3 pixels, 5 pixels apart: the padding is not the canvas's.
  std::vector<std::uint32_t> buffer(5 * 4, 0x12345678u);
  Canvas canvas(buffer.data(), 3, 4, 5 * 4);
  Fill(canvas, {-1, -1, 10, 10}, kRed);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(buffer[y * 5 + x], x < 3 ? kRed : 0x12345678u) << x << "," << y;
    }
  }
}

TEST(CanvasFillTest, RunsEqualOneFillPerRunInOrder) {
  Region clip = Region::FromPolygon(std::vector<IntPoint>{{1, 0}, {9, 2}, {3, 7}});
  const ColorRun runs[] = {{-3, 4, kRed}, {2, 6, kWhite}, {8, 20, 0xff0000ffu}, {5, 5, kRed}};
  for (bool clipped : {false, true}) {
    Canvas by_runs(10, 8), by_pixels(10, 8);
    if (clipped) by_runs.SelectClipRgn(clip);
    by_runs.FillRuns(-1, 6, runs);
    // The same pixel by pixel, run after run.
    for (const ColorRun& run : runs) {
      for (int y = 0; y < 6; ++y) {
        for (int x = std::max(run.x0, 0); x < std::min(run.x1, 10); ++x) {
          bool visible = !clipped;
          for (const Span& s : clip.Row(y)) visible |= x >= s.x0 && x < s.x1;
          if (visible) by_pixels.SetPixel(x, y, run.pixel);
        }
      }
    }
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 10; ++x)
        ASSERT_EQ(by_runs.Pixel(x, y), by_pixels.Pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(CanvasClipTest, ClipIsACopyAndSavedStatesComeBack) {
  Canvas canvas(6, 6);
  {
    Region left = RectRegion({0, 0, 2, 6});
    canvas.SelectClipRgn(left);
    left = RectRegion({0, 0, 6, 6});  // changing the original changes nothing
  }
  canvas.pen().color = Color::FromRgb(0, 0, 128);
  EXPECT_EQ(canvas.SaveDC(), 1);
  canvas.SelectClipRgn(RectRegion({4, 0, 6, 6}));
  canvas.pen().color = clWhite;
  EXPECT_EQ(canvas.SaveDC(), 2);
  canvas.SelectClipRgn(nullptr);
  EXPECT_EQ(canvas.ClipRegion(), nullptr);
  EXPECT_TRUE(canvas.RestoreDC(-1));  // back to the right-hand clip
  Fill(canvas, {0, 0, 6, 1}, kWhite);
  EXPECT_EQ(PixelsOf(canvas, kWhite), (PixelSet{{4, 0}, {5, 0}}));
  EXPECT_TRUE(canvas.RestoreDC(-1));  // back to the left-hand clip; the pen is the canvas's
  EXPECT_EQ(canvas.pen().color, clWhite);
  Fill(canvas, {0, 1, 6, 2}, kWhite);
  EXPECT_TRUE(PixelsOf(canvas, kWhite).count({1, 1}));
  EXPECT_FALSE(PixelsOf(canvas, kWhite).count({4, 1}));
  EXPECT_FALSE(canvas.RestoreDC(-1));  // nothing left to restore
  EXPECT_FALSE(canvas.RestoreDC(0));

  // A positive number restores that save and drops the later ones.
  Canvas numbered(2, 2);
  int first = numbered.SaveDC();
  numbered.SelectClipRgn(RectRegion({0, 0, 1, 1}));
  numbered.SaveDC();
  numbered.SelectClipRgn(RectRegion({1, 1, 2, 2}));
  EXPECT_TRUE(numbered.RestoreDC(first));
  EXPECT_EQ(numbered.ClipRegion(), nullptr);
  EXPECT_FALSE(numbered.RestoreDC(-1));
}

TEST(CanvasClipTest, StateSaverRestoresItsStateOnEveryWayOut) {
  Canvas canvas(6, 1);
  const Region left = RectRegion({0, 0, 2, 1});
  canvas.SelectClipRgn(left);
  {
    CanvasStateSaver saved(canvas);
    canvas.SelectClipRgn(RectRegion({4, 0, 6, 1}));
    canvas.SaveDC();  // saved inside and never restored: dropped with the scope
    canvas.SelectClipRgn(nullptr);
    {
      CanvasStateSaver inner(canvas);
      canvas.SelectClipRgn(RectRegion({3, 0, 4, 1}));
    }
    EXPECT_EQ(canvas.ClipRegion(), nullptr);  // the inner saver's own state
  }
  ASSERT_NE(canvas.ClipRegion(), nullptr);
  EXPECT_EQ(*canvas.ClipRegion(), left);
  EXPECT_EQ(canvas.SaveDC(), 1);  // nothing else is left saved
  EXPECT_TRUE(canvas.RestoreDC(-1));

  // Leaving by an exception restores all the same.
  try {
    CanvasStateSaver saved(canvas);
    canvas.SelectClipRgn(nullptr);
    throw 1;
  } catch (int) {
  }
  ASSERT_NE(canvas.ClipRegion(), nullptr);
  EXPECT_EQ(*canvas.ClipRegion(), left);
  EXPECT_FALSE(canvas.RestoreDC(-1));
}

Canvas Numbered(int width, int height) {
  Canvas canvas(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) canvas.SetPixel(x, y, 0xff000000u | (y << 8) | x);
  }
  return canvas;
}

TEST(CanvasCopyTest, OneForOneCopiesClipAtEveryEdge) {
  Canvas source = Numbered(20, 10);
  Canvas dest(8, 6);
  dest.CopyRect({-2, -1, 4, 3}, source, {5, 2, 11, 6});
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      std::uint32_t want = x < 4 && y < 3 ? 0xff000000u | ((y + 3) << 8) | (x + 7) : kBlack;
      ASSERT_EQ(dest.Pixel(x, y), want) << x << "," << y;
    }
  }
  // A source rectangle reaching outside the source leaves those pixels alone.
  Canvas partial(4, 4);
  partial.CopyRect({0, 0, 4, 4}, source, {18, 8, 22, 12});
  EXPECT_EQ(partial.Pixel(0, 0), 0xff000000u | (8 << 8) | 18);
  EXPECT_EQ(partial.Pixel(1, 1), 0xff000000u | (9 << 8) | 19);
  EXPECT_EQ(partial.Pixel(2, 0), kBlack);
  EXPECT_EQ(partial.Pixel(0, 2), kBlack);
  // Empty rectangles copy nothing.
  Canvas none(4, 4);
  none.CopyRect({0, 0, 0, 4}, source, {0, 0, 0, 4});
  none.CopyRect({3, 3, 1, 1}, source, {3, 3, 1, 1});
  EXPECT_EQ(PixelsOf(none, kBlack).size(), 16u);
}

TEST(CanvasCopyTest, CopyHonoursTheClipAndTheSourceRectangle) {
  Canvas source = Numbered(10, 10);
  Canvas clipped(10, 10);
  clipped.SelectClipRgn(RectRegion({2, 2, 4, 3}));
  clipped.CopyRect({0, 0, 10, 10}, source, {0, 0, 10, 10});
  PixelSet changed;
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      if (clipped.Pixel(x, y) != kBlack) changed.insert({x, y});
    }
  }
  EXPECT_EQ(changed, (PixelSet{{2, 2}, {3, 2}}));

  // A destination larger than the source rectangle takes its size.
  Canvas larger(8, 8);
  larger.CopyRect({0, 0, 8, 8}, source, {1, 1, 5, 5});
  EXPECT_EQ(larger.Pixel(0, 0), source.Pixel(1, 1));
  EXPECT_EQ(larger.Pixel(3, 3), source.Pixel(4, 4));
  EXPECT_EQ(larger.Pixel(4, 4), kBlack);
}

// The outline of a 71 x 96 rectangle with a 6 x 6 corner ellipse, pixel by
// pixel as the platform draws it.
PixelSet ExpectedRing(int l, int t, int r, int b) {
  PixelSet ring;
  for (int x = l + 2; x <= r - 3; ++x) ring.insert({x, t}), ring.insert({x, b - 1});
  for (int y = t + 2; y <= b - 3; ++y) ring.insert({l, y}), ring.insert({r - 1, y});
  ring.insert({l + 1, t + 1});
  ring.insert({r - 2, t + 1});
  ring.insert({l + 1, b - 2});
  ring.insert({r - 2, b - 2});
  return ring;
}

TEST(RoundRectTest, TileOutlineHasExactlyTheRingPixels) {
  Canvas canvas(100, 120);
  Fill(canvas, canvas.Bounds(), kWhite);
  canvas.pen() = Pen{clBlack, 1};
  canvas.RoundRect({13, 13, 84, 109}, 6, 6);
  PixelSet black = PixelsOf(canvas, kBlack);
  EXPECT_EQ(black.size(), 322u);
  EXPECT_EQ(black, ExpectedRing(13, 13, 84, 109));
}

TEST(RoundRectTest, OutlineIsClosedSymmetricAndInsideItsRectangle) {
  for (int w : {1, 2, 3, 5, 8, 13, 40}) {
    for (int h : {1, 2, 4, 7, 30}) {
      for (int e : {0, 2, 3, 6, 11, 50}) {
        Canvas canvas(w + 4, h + 4);
        canvas.pen().color = clWhite;
        canvas.RoundRect({2, 2, 2 + w, 2 + h}, e, e);
        PixelSet ring = PixelsOf(canvas, kWhite);
        SCOPED_TRACE(testing::Message() << w << "x" << h << " ellipse " << e);
        ASSERT_FALSE(ring.empty());
        for (const auto& [x, y] : ring) {
          ASSERT_TRUE(x >= 2 && x < 2 + w && y >= 2 && y < 2 + h);
          // Mirror images left-right and top-bottom.
          ASSERT_TRUE(ring.count({2 + w - 1 - (x - 2), y}));
          ASSERT_TRUE(ring.count({x, 2 + h - 1 - (y - 2)}));
        }
        // Every side is touched and the ring is one 8-connected piece.
        std::set<std::pair<int, int>> seen{*ring.begin()};
        std::vector<std::pair<int, int>> todo{*ring.begin()};
        while (!todo.empty()) {
          auto [x, y] = todo.back();
          todo.pop_back();
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              if (ring.count({x + dx, y + dy}) && seen.insert({x + dx, y + dy}).second) {
                todo.push_back({x + dx, y + dy});
              }
            }
          }
        }
        ASSERT_EQ(seen.size(), ring.size());
        ASSERT_TRUE(ring.count({2 + w / 2, 2}) && ring.count({2, 2 + h / 2}));
      }
    }
  }
}

TEST(RoundRectTest, PenColoursAndWidensAndEdgesClip) {
  Canvas canvas(90, 110);
  canvas.pen() = Pen{Color::FromRgb(255, 0, 0), 1};
  canvas.RoundRect({13, 13, 84, 109}, 6, 6);
  EXPECT_EQ(PixelsOf(canvas, kRed), ExpectedRing(13, 13, 84, 109));
  EXPECT_EQ(PixelsOf(canvas, kBlack).size(), static_cast<std::size_t>(90 * 110) - 322);

  Canvas thick(30, 30);
  thick.pen() = Pen{clWhite, 3};
  thick.RoundRect({5, 5, 25, 25}, 0, 0);
  EXPECT_EQ(thick.Pixel(4, 15), kWhite);
  EXPECT_EQ(thick.Pixel(6, 15), kWhite);
  EXPECT_EQ(thick.Pixel(7, 15), kBlack);

  // Partly off the canvas: only the visible part of the same ring.
  Canvas small(50, 40);
  small.pen().color = clWhite;
  small.RoundRect({-30, -50, 41, 46}, 6, 6);
  PixelSet visible;
  for (const auto& p : ExpectedRing(-30, -50, 41, 46)) {
    if (p.first >= 0 && p.first < 50 && p.second >= 0 && p.second < 40) visible.insert(p);
  }
  EXPECT_EQ(PixelsOf(small, kWhite), visible);
}

}  // namespace
}  // namespace tessaline
