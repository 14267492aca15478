// The backdrop's picture read back from painted frames: where each card tile
// lands at a chosen paint-box size, which part of the sheet it shows, its
// outline and cut corners, and which tile wins where tiles overlap. The sheet
// used here names every pixel by its own position, so any pixel of a frame
// tells which sheet pixel was copied there. The expected places are worked out
// by hand from the gap rules, not by the code under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "drawing/backdrop.h"

namespace tessaline {
namespace {

constexpr int kCellWidth = 71;
constexpr int kCellHeight = 96;

// A pixel of the sheet at (x, y): red and blue are the low bytes of x and y,
// green holds their high bits over 0x10. Green stays below 128, which no band
// of the blend has (its green runs from 128 up), and the colour is never
// black, so sheet pixels can be told from the blend and the outlines.
std::uint32_t SheetPixel(int x, int y) {
  const std::uint32_t green =
      0x10u | static_cast<std::uint32_t>(x >> 8) | static_cast<std::uint32_t>(y >> 8) << 2;
  return 0xff000000u | static_cast<std::uint32_t>(x & 0xff) << 16 | green << 8 |
         static_cast<std::uint32_t>(y & 0xff);
}

// The sheet position a frame pixel shows, or nothing for blend and outline.
std::optional<IntPoint> SheetPosition(std::uint32_t pixel) {
  const std::uint32_t green = pixel >> 8 & 0xff;
  if (green < 0x10 || green >= 0x80) return std::nullopt;
  return IntPoint{static_cast<int>((pixel >> 16 & 0xff) | (green & 3) << 8),
                  static_cast<int>((pixel & 0xff) | (green >> 2 & 3) << 8)};
}

// A 639 x 384 sheet (9 x 4 cells of 71 x 96) whose pixels name themselves.
Bitmap PositionSheet() {
  constexpr int kWidth = 9 * kCellWidth, kHeight = 4 * kCellHeight;
  constexpr int kStride = (kWidth * 3 + 3) / 4 * 4;
  std::vector<std::byte> dib(40 + std::size_t{kStride} * kHeight);
  const std::int32_t header[] = {40,   kWidth, kHeight, 1 | 24 << 16, 0, kStride * kHeight, 3780,
                                 3780, 0,      0};
  std::memcpy(dib.data(), header, sizeof header);
  Bitmap sheet = Bitmap::FromDib(dib);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) sheet.canvas().SetPixel(x, y, SheetPixel(x, y));
  }
  return sheet;
}

// A paint-box size and the tiles' first edge and step, both ways, as the gap
// rules give them (divisions truncate toward zero).
struct Size {
  int width, height;
  int left, step_across;  // first tile's left edge; cell width + gap across
  int top, step_down;     // first tile's top edge; cell height + gap down
  const char* why;
};

const Size kSizes[] = {
    {688, 453, 13, 84, 13, 109, "design size: spare 120 and 69, gaps 13"},
    {1920, 1080, 150, 221, 139, 235, "spare 1352 / 9 = 150 and 696 / 5 = 139"},
    {577, 389, 1, 72, 1, 97, "spare 9 and 5: gap and margin 1 both ways"},
    {576, 388, 0, 72, 0, 97, "spare 8 / 9 = 0: gap 8 / 7 = 1; spare 4 / 5 = 0: gap 4 / 3 = 1"},
    {570, 383, 0, 71, 0, 96, "spare 2 / 7 = 0 abutting; spare -1 / 3 = 0, not -1"},
    {566, 381, 0, 71, 0, 95, "spare -2 / 7 = 0, not -1; spare -3 / 3 = -1"},
    {560, 380, 0, 70, 0, 95, "spare -8 / 7 = -1, not -2; spare -4 / 3 = -1, not -2"},
    {500, 300, 0, 62, 0, 68, "spare -68 / 7 = -9, not -10; spare -84 / 3 = -28"},
};

// Names a size in test output by its width and height.
void PrintTo(const Size& size, std::ostream* out) {
  *out << size.width << "x" << size.height;
}

class BackdropRulesTest : public testing::TestWithParam<Size> {
 protected:
  static const Bitmap& Sheet() {
    static const Bitmap sheet = PositionSheet();
    return sheet;
  }
  IntRect TileAt(int c, int r) const {
    const Size& s = GetParam();
    const int left = s.left + c * s.step_across, top = s.top + r * s.step_down;
    return {left, top, left + kCellWidth, top + kCellHeight};
  }
};

// Every sheet pixel in the frame comes from the first eight cells of its row
// and sits in that cell's tile at the same offset; the ninth column, the card
// backs, shows nowhere.
TEST_P(BackdropRulesTest, EveryCopiedPixelSitsInItsCellsTile) {
  const Size& s = GetParam();
  Canvas frame(s.width, s.height);
  Backdrop(Sheet()).Paint(frame);
  int misplaced = 0, copied = 0;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const std::optional<IntPoint> from = SheetPosition(frame.Pixel(x, y));
      if (!from) continue;
      ++copied;
      const int c = from->x / kCellWidth, r = from->y / kCellHeight;
      const IntRect tile = TileAt(c, r);
      if (c >= 8 || x != tile.left + from->x % kCellWidth ||
          y != tile.top + from->y % kCellHeight) {
        if (++misplaced <= 3)
          ADD_FAILURE() << "(" << x << "," << y << ") shows sheet pixel (" << from->x << ","
                        << from->y << ")";
      }
    }
  }
  EXPECT_EQ(misplaced, 0);
  EXPECT_GT(copied, 0);
}

// Each tile shows its own cell next to its top-left corner (so a later tile
// covers an earlier one where they overlap), has black outlines along its
// left and top edges, and, where no other tile reaches, keeps the blend in
// its four corner pixels; the last column and row, where they fit, show
// their right and bottom edges too.
TEST_P(BackdropRulesTest, TilesOutlinesAndCornersAtTheirPlaces) {
  const Size& s = GetParam();
  Canvas frame(s.width, s.height), blend(s.width, s.height);
  Backdrop(Sheet()).Paint(frame);
  FillGradient(blend, blend.Bounds(), clWhite, clGreen);
  const std::uint32_t black = clBlack.ToPixel();
  const bool apart = s.step_across >= kCellWidth && s.step_down >= kCellHeight;
  auto at = [&](int x, int y) -> std::uint32_t {
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    return frame.Pixel(x, y);
  };
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 8; ++c) {
      SCOPED_TRACE(testing::Message() << "tile " << c << "," << r);
      const IntRect t = TileAt(c, r);
      const int cx = c * kCellWidth, cy = r * kCellHeight;
      EXPECT_EQ(at(t.left + 1, t.top + 3), SheetPixel(cx + 1, cy + 3));
      EXPECT_EQ(at(t.left + 3, t.top + 1), SheetPixel(cx + 3, cy + 1));
      EXPECT_EQ(at(t.left, t.top + 30), black);
      EXPECT_EQ(at(t.left + 30, t.top), black);
      if (c == 7 && t.right <= s.width) {
        EXPECT_EQ(at(t.right - 2, t.top + 5), SheetPixel(cx + 69, cy + 5));
        EXPECT_EQ(at(t.right - 1, t.top + 30), black);
      }
      if (r == 3 && t.bottom <= s.height) {
        EXPECT_EQ(at(t.left + 5, t.bottom - 2), SheetPixel(cx + 5, cy + 94));
        EXPECT_EQ(at(t.left + 30, t.bottom - 1), black);
      }
      if (!apart) continue;
      for (const IntPoint p :
           {IntPoint{t.left, t.top}, IntPoint{t.right - 1, t.top}, IntPoint{t.left, t.bottom - 1},
            IntPoint{t.right - 1, t.bottom - 1}}) {
        if (p.x >= s.width || p.y >= s.height) continue;
        EXPECT_EQ(at(p.x, p.y), blend.Pixel(p.x, p.y)) << "corner " << p.x << "," << p.y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PaintBoxSizes, BackdropRulesTest, testing::ValuesIn(kSizes),
                         [](const testing::TestParamInfo<Size>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

// A tile's clip shape is its rectangle without three pixels at each corner:
// the corner pixel and its two neighbours along the edges. Nothing outside
// the rectangle belongs to it.
TEST(TileRegionRulesTest, LeavesOutThreePixelsAtEachCornerAndNothingElse) {
  for (const IntRect rect : {IntRect{13, 13, 84, 109}, IntRect{-5, -7, 66, 89},
                             IntRect{100, 50, 110, 58}, IntRect{0, 0, 6, 6}}) {
    SCOPED_TRACE(testing::Message()
                 << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
    const Region region = TileRegion(rect);
    auto contains = [&](int x, int y) {
      for (const Span& s : region.Row(y)) {
        if (x >= s.x0 && x < s.x1) return true;
      }
      return false;
    };
    int wrong = 0;
    for (int y = rect.top - 2; y < rect.bottom + 2; ++y) {
      for (int x = rect.left - 2; x < rect.right + 2; ++x) {
        const bool in_rect = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
        const int fx = std::min(x - rect.left, rect.right - 1 - x);
        const int fy = std::min(y - rect.top, rect.bottom - 1 - y);
        const bool cut = (fx == 0 && fy <= 1) || (fx == 1 && fy == 0);
        if (contains(x, y) != (in_rect && !cut) && ++wrong <= 3) {
          ADD_FAILURE() << "pixel " << x << "," << y << (in_rect && !cut ? " missing" : " extra");
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// A rectangle that covers nothing (no width, no height, or turned inside
// out) gets no blend at all.
TEST(FillGradientRulesTest, RectanglesThatCoverNothingPaintNothing) {
  Canvas canvas(40, 40);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) canvas.SetPixel(x, y, 0xff000080u);
  }
  for (const IntRect rect : {IntRect{10, 10, 10, 30}, IntRect{10, 10, 30, 10},
                             IntRect{30, 30, 10, 10}, IntRect{30, 5, 10, 35}}) {
    FillGradient(canvas, rect, clWhite, clGreen);
  }
  int painted = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) painted += canvas.Pixel(x, y) != 0xff000080u;
  }
  EXPECT_EQ(painted, 0);
}

}  // namespace
}  // namespace tessaline
