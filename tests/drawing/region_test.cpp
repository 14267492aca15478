#include "drawing/region.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace tessaline {
namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet RegionPixels(const Region& region) {
  PixelSet set;
  for (int y = region.Bounds().top; y < region.Bounds().bottom; ++y) {
    for (const Span& s : region.Row(y)) {
      for (int x = s.x0; x < s.x1; ++x) set.insert({x, y});
    }
  }
  return set;
}

TEST(RegionTest, PolygonPixelsFollowTheTopLeftRule) {
  // A rectangle's corners as a polygon give exactly the rectangle's pixels.
  PixelSet rect;
  for (int y = 1; y < 4; ++y) {
    for (int x = 2; x < 6; ++x) rect.insert({x, y});
  }
  EXPECT_EQ(
      RegionPixels(Region::FromPolygon(std::vector<IntPoint>{{2, 1}, {6, 1}, {6, 4}, {2, 4}})),
      rect);
  // Eight-sided tile shape: top corners cut by 2, bottom ones by 3, leaving
  // out three pixels at every corner.
  const int l = 10, t = 20, r = 81, b = 116;
  std::vector<IntPoint> tile{{l + 2, t}, {r - 2, t}, {r, t + 2}, {r, b - 3},
                             {r - 3, b}, {l + 3, b}, {l, b - 3}, {l, t + 2}};
  PixelSet inside = RegionPixels(Region::FromPolygon(tile));
  PixelSet missing;
  for (int y = t; y < b; ++y) {
    for (int x = l; x < r; ++x) {
      if (!inside.count({x, y})) missing.insert({x - l, y - t});
    }
  }
  const int cw = r - l, ch = b - t;
  EXPECT_EQ(missing, (PixelSet{{0, 0},
                               {1, 0},
                               {0, 1},
                               {cw - 1, 0},
                               {cw - 2, 0},
                               {cw - 1, 1},
                               {0, ch - 1},
                               {1, ch - 1},
                               {0, ch - 2},
                               {cw - 1, ch - 1},
                               {cw - 2, ch - 1},
                               {cw - 1, ch - 2}}));
  EXPECT_EQ(static_cast<std::size_t>(cw * ch) - 12, inside.size());
  for (const auto& [x, y] : inside) ASSERT_TRUE(x >= l && x < r && y >= t && y < b);
}

TEST(RegionTest, WhereTheOutlineOverlapsItselfTheWindingDecides) {
  // A five-pointed star drawn in one stroke: its centre is wound twice.
  std::vector<IntPoint> star{{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  Region winding = Region::FromPolygon(star);
  PixelSet w = RegionPixels(winding);
  EXPECT_TRUE(w.count({50, 50}));
  EXPECT_TRUE(w.count({50, 10}));
  EXPECT_FALSE(w.count({50, 85}));  // between the two lower points
  // The apex is a single point, on no pixel row of its own.
  EXPECT_EQ(winding.Bounds(), (IntRect{2, 1, 98, 90}));
}

TEST(RegionTest, DegenerateShapesAreEmpty) {
  EXPECT_TRUE(Region::FromPolygon(std::vector<IntPoint>{{0, 0}, {5, 5}}).Bounds().IsEmpty());
  // All on one line: no area.
  EXPECT_TRUE(
      Region::FromPolygon(std::vector<IntPoint>{{0, 0}, {5, 5}, {9, 9}}).Bounds().IsEmpty());
  EXPECT_TRUE(Region().Row(0).empty());
}

}  // namespace
}  // namespace tessaline
