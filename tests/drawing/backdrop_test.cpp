#include "drawing/backdrop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "support/exception.h"

namespace tessaline {
namespace {

// ---------------------------------------------------------------------------
// A reference model of the backdrop, written from what the platform is known
// to draw, on a plain pixel array: the 100-band blend painted band after
// band, then per tile the copy of its cell without three pixels at each
// corner, then the 322-pixel outline in black; everything clipped to the
// picture.

struct Image {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;

  Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}
  void Set(int x, int y, std::uint32_t v) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      pixels[static_cast<std::size_t>(y) * width + x] = v;
  }
  void Fill(int l, int t, int r, int b, std::uint32_t v) {
    for (int y = t; y < b; ++y) {
      for (int x = l; x < r; ++x) Set(x, y, v);
    }
  }
};

std::uint32_t Rgb(int r, int g, int b) {
  return 0xff000000u | r << 16 | g << 8 | b;
}

// The blend loop as a plain run of rectangle fills.
void ReferenceBlend(Image& image, int left, int top, int right, int bottom) {
  int w = right - left, h = bottom - top;
  for (int i = 0; i < 100; ++i) {
    std::uint32_t colour = Rgb(255 * i / 100, (128 * (100 - i) + 255 * i) / 100, 255 * i / 100);
    int dx = w / (100 - i), dy = h / (100 - i);
    image.Fill(left + w - dx, top, left + w, top + h, colour);
    image.Fill(left, top + h - dy, left + w, top + h, colour);
    w -= dx;
    h -= dy;
  }
}

struct Expected {
  int width, height, gap_across, left_margin, gap_down, top_margin;
};

// Layouts measured on the platform with the 639 x 384 sheet.
const Expected kMeasured[] = {
    {688, 453, 13, 13, 13, 13}, {577, 453, 1, 1, 13, 13},         {576, 453, 1, 0, 13, 13},
    {570, 453, 0, 0, 13, 13},   {560, 453, -1, 0, 13, 13},        {688, 388, 13, 13, 1, 0},
    {50, 40, -74, 0, -114, 0},  {1920, 1080, 150, 150, 139, 139},
};

Image ReferenceBackdrop(const Expected& e, const Canvas& sheet) {
  constexpr int cw = 71, ch = 96;
  Image image(e.width, e.height);
  ReferenceBlend(image, 0, 0, e.width, e.height);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 8; ++c) {
      int l = e.left_margin + c * (cw + e.gap_across), t = e.top_margin + r * (ch + e.gap_down);
      for (int ty = 0; ty < ch; ++ty) {
        for (int tx = 0; tx < cw; ++tx) {
          int fx = std::min(tx, cw - 1 - tx), fy = std::min(ty, ch - 1 - ty);
          if ((fx == 0 && fy <= 1) || (fx == 1 && fy == 0)) continue;  // the cut corners
          image.Set(l + tx, t + ty, sheet.Pixel(c * cw + tx, r * ch + ty));
        }
      }
      const int rr = l + cw, b = t + ch;
      for (int x = l + 2; x <= rr - 3; ++x)
        image.Set(x, t, Rgb(0, 0, 0)), image.Set(x, b - 1, Rgb(0, 0, 0));
      for (int y = t + 2; y <= b - 3; ++y)
        image.Set(l, y, Rgb(0, 0, 0)), image.Set(rr - 1, y, Rgb(0, 0, 0));
      image.Set(l + 1, t + 1, Rgb(0, 0, 0));
      image.Set(rr - 2, t + 1, Rgb(0, 0, 0));
      image.Set(l + 1, b - 2, Rgb(0, 0, 0));
      image.Set(rr - 2, b - 2, Rgb(0, 0, 0));
    }
  }
  return image;
}

// ---------------------------------------------------------------------------
// Sheets.

// The shipped sheet's bytes, kept for the rest of the process as a
// resource's bytes must be.
std::span<const std::byte> ShippedSheetBytes() {
  static const std::string bytes = test::ReadFile(TESSALINE_RESOURCE_DIR "/pack.bmp");
  return std::as_bytes(std::span(bytes));
}

const Bitmap& ShippedSheet() {
  static const Bitmap sheet = Bitmap::FromDib(ShippedSheetBytes());
  return sheet;
}

constexpr std::uint32_t kBackColour = 0xffff00ffu;

// A 639 x 384, 24-bit sheet of noise (so that any shift of a copy shows),
// with its ninth column, the card backs, in one colour that never appears
// elsewhere: its bytes, and decoded.
std::vector<std::byte> NoiseSheetBytes() {
  {
    const int w = 639, h = 384, stride = (w * 3 + 3) / 4 * 4;
    std::vector<std::byte> dib(40 + static_cast<std::size_t>(stride) * h);
    const std::uint32_t header[] = {
        40, w, h, 1 | 24 << 16, 0, static_cast<std::uint32_t>(stride * h), 0, 0, 0, 0};
    std::memcpy(dib.data(), header, sizeof header);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        seed = seed * 1103515245u + 12345u;
        std::uint32_t v = x >= 8 * 71 ? kBackColour : (seed >> 8) & 0xfefefe;  // never magenta
        std::byte* p = dib.data() + 40 + static_cast<std::size_t>(y) * stride + x * 3;
        p[0] = std::byte(v & 0xff), p[1] = std::byte(v >> 8 & 0xff),
        p[2] = std::byte(v >> 16 & 0xff);
      }
    }
    return dib;
  }
}

const Bitmap& NoiseSheet() {
  static const Bitmap sheet = Bitmap::FromDib(NoiseSheetBytes());
  return sheet;
}

void ExpectSame(const Canvas& canvas, const Image& image) {
  ASSERT_EQ(canvas.Width(), image.width);
  ASSERT_EQ(canvas.Height(), image.height);
  int differing = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (canvas.Pixel(x, y) != image.pixels[static_cast<std::size_t>(y) * image.width + x]) {
        if (++differing <= 5) {
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << canvas.Pixel(x, y)
                        << " instead of "
                        << image.pixels[static_cast<std::size_t>(y) * image.width + x];
        }
      }
    }
  }
  EXPECT_EQ(differing, 0);
}

// ---------------------------------------------------------------------------

TEST(BackdropTest, WholePictureEqualsTheReferenceAtEveryMeasuredSize) {
  for (const Bitmap* sheet : {&ShippedSheet(), &NoiseSheet()}) {
    // One backdrop for every size in turn, as a window being resized has.
    Backdrop backdrop(*sheet);
    for (const Expected& e : kMeasured) {
      SCOPED_TRACE(testing::Message() << e.width << "x" << e.height
                                      << (sheet == &NoiseSheet() ? " noise" : " shipped"));
      Canvas canvas(e.width, e.height);
      backdrop.Paint(canvas);
      ExpectSame(canvas, ReferenceBackdrop(e, sheet->canvas()));
    }
  }
}

TEST(BackdropTest, TileLayoutFollowsTheGapRules) {
  for (const Expected& e : kMeasured) {
    TileLayout layout = TileLayout::Compute({e.width, e.height}, {639, 384});
    SCOPED_TRACE(testing::Message() << e.width << "x" << e.height);
    EXPECT_EQ(layout.cell_width, 71);
    EXPECT_EQ(layout.cell_height, 96);
    EXPECT_EQ(layout.gap_across, e.gap_across);
    EXPECT_EQ(layout.left_margin, e.left_margin);
    EXPECT_EQ(layout.gap_down, e.gap_down);
    EXPECT_EQ(layout.top_margin, e.top_margin);
  }
  TileLayout design = TileLayout::Compute({688, 453}, {639, 384});
  const int lefts[] = {13, 97, 181, 265, 349, 433, 517, 601};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(design.Tile(c, 0).left, lefts[c]);
  const int tops[] = {13, 122, 231, 340};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(design.Tile(0, r).top, tops[r]);
  EXPECT_EQ(design.Tile(0, 0), (IntRect{13, 13, 84, 109}));
  EXPECT_EQ(design.Tile(7, 3), (IntRect{601, 340, 672, 436}));
  EXPECT_EQ(design.SourceCell(7, 3), (IntRect{497, 288, 568, 384}));
  EXPECT_EQ(688 - design.Tile(7, 0).right, 16);
  EXPECT_EQ(453 - design.Tile(0, 3).bottom, 17);

  EXPECT_EQ(TileLayout::Compute({577, 453}, {639, 384}).Tile(7, 0).right, 576);
  TileLayout w576 = TileLayout::Compute({576, 453}, {639, 384});
  EXPECT_EQ(w576.Tile(0, 0).left, 0);
  EXPECT_EQ(w576.Tile(1, 0).left, 72);
  EXPECT_EQ(w576.Tile(7, 0).right, 575);
  TileLayout w570 = TileLayout::Compute({570, 453}, {639, 384});
  EXPECT_EQ(w570.Tile(1, 0).left, w570.Tile(0, 0).right);  // abutting
  TileLayout w560 = TileLayout::Compute({560, 453}, {639, 384});
  EXPECT_EQ(w560.Tile(1, 0).left, 70);
  EXPECT_EQ(w560.Tile(0, 0).right, 71);  // one column shared

  // Another sheet size: cells from the sheet's own size, extra pixels unused.
  TileLayout odd = TileLayout::Compute({688, 453}, {100, 50});
  EXPECT_EQ(odd.cell_width, 11);
  EXPECT_EQ(odd.cell_height, 12);
  EXPECT_EQ(odd.SourceCell(7, 3), (IntRect{77, 36, 88, 48}));
}

TEST(BackdropTest, BlendBandsAtTheDesignSizeAndOnNarrowRectangles) {
  Canvas canvas(688, 453);
  FillGradient(canvas, canvas.Bounds(), clWhite, clGreen);
  auto at = [&](int x, int y) { return Color::FromPixel(canvas.Pixel(x, y)); };
  for (int y = 0; y < 453; ++y) {
    for (int x = 682; x < 688; ++x) ASSERT_EQ(at(x, y), clGreen);
  }
  for (int y = 449; y < 453; ++y) EXPECT_EQ(at(0, y), clGreen);
  EXPECT_EQ(at(681, 0), Color::FromRgb(2, 129, 2));
  EXPECT_EQ(at(0, 448), Color::FromRgb(2, 129, 2));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(at(x, y), Color::FromRgb(252, 253, 252));
  }
  EXPECT_EQ(at(7, 0), Color::FromRgb(249, 252, 249));
  EXPECT_EQ(at(0, 5), Color::FromRgb(249, 252, 249));
  EXPECT_EQ(at(344, 226), Color::FromRgb(127, 191, 127));
  EXPECT_EQ(at(100, 100), Color::FromRgb(201, 228, 201));

  // 50 pixels wide: the right-hand strips of bands 0 to 49 are empty, so the
  // rightmost column starts with band 50; the bottom strips are as usual.
  Canvas narrow(50, 453);
  FillGradient(narrow, narrow.Bounds(), clWhite, clGreen);
  EXPECT_EQ(Color::FromPixel(narrow.Pixel(49, 0)), Color::FromRgb(127, 191, 127));
  EXPECT_EQ(Color::FromPixel(narrow.Pixel(48, 0)), Color::FromRgb(130, 192, 130));
  EXPECT_EQ(Color::FromPixel(narrow.Pixel(49, 452)), clGreen);
  EXPECT_EQ(Color::FromPixel(narrow.Pixel(0, 452)), clGreen);
}

TEST(BackdropTest, BlendEqualsBandAfterBandFillsAnywhereAndKeepsTheCanvasState) {
  const IntRect rects[] = {
      {0, 0, 688, 453}, {10, 7, 233, 100}, {-40, -30, 70, 45}, {3, 3, 4, 4},
      {5, 0, 8, 300},   {0, 2, 300, 5},    {60, 50, 500, 400}, {-1000, -1000, 1000, 1000}};
  const Color corner = Color::FromRgb(212, 208, 200), edge = Color::FromRgb(0, 0, 128);
  for (const IntRect& rect : rects) {
    for (bool clipped : {false, true}) {
      SCOPED_TRACE(testing::Message() << rect.left << "," << rect.top << "," << rect.right << ","
                                      << rect.bottom << (clipped ? " clipped" : ""));
      Region clip =
          Region::FromPolygon(std::vector<IntPoint>{{20, 0}, {90, 30}, {40, 79}, {0, 30}});
      Canvas actual(90, 80), expected(90, 80);
      if (clipped) actual.SelectClipRgn(clip), expected.SelectClipRgn(clip);
      actual.pen() = Pen{Color::FromRgb(0, 0, 255), 3};
      FillGradient(actual, rect, corner, edge);
      // The same with two rectangle fills per band.
      std::int64_t w = rect.Width(), h = rect.Height();
      for (int i = 0; i < 100; ++i) {
        auto mix = [i](int e, int c) { return (e * (100 - i) + c * i) / 100; };
        const std::uint32_t pixel =
            Color::FromRgb(mix(edge.Red(), corner.Red()), mix(edge.Green(), corner.Green()),
                           mix(edge.Blue(), corner.Blue()))
                .ToPixel();
        const std::int64_t dx = w / (100 - i), dy = h / (100 - i);
        const int right = static_cast<int>(rect.left + w), bottom = static_cast<int>(rect.top + h);
        const ColorRun right_strip[] = {{static_cast<int>(right - dx), right, pixel}};
        const ColorRun bottom_strip[] = {{rect.left, right, pixel}};
        expected.FillRuns(rect.top, bottom, right_strip);
        expected.FillRuns(static_cast<int>(bottom - dy), bottom, bottom_strip);
        w -= dx;
        h -= dy;
      }
      for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 90; ++x)
          ASSERT_EQ(actual.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
      }
      EXPECT_EQ(actual.pen().width, 3);
      EXPECT_EQ(actual.ClipRegion() != nullptr, clipped);
    }
  }
  // Empty rectangles paint nothing.
  Canvas untouched(20, 20);
  FillGradient(untouched, {5, 5, 5, 15}, clWhite, clGreen);
  FillGradient(untouched, {5, 15, 15, 5}, clWhite, clGreen);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) ASSERT_EQ(untouched.Pixel(x, y), 0xff000000u);
  }
}

TEST(BackdropTest, TileCornersKeepTheBlendAndOutlinesCoverTheBorder) {
  Canvas canvas(688, 453);
  Backdrop(NoiseSheet()).Paint(canvas);
  Canvas blend(688, 453);
  FillGradient(blend, blend.Bounds(), clWhite, clGreen);
  // Tile 0 is (13, 13, 84, 109): three blend pixels at each corner.
  const int corners[][2] = {{13, 13},  {14, 13},  {13, 14},  {83, 13},  {82, 13},  {83, 14},
                            {13, 108}, {14, 108}, {13, 107}, {83, 108}, {82, 108}, {83, 107}};
  for (const auto& p : corners) EXPECT_EQ(canvas.Pixel(p[0], p[1]), blend.Pixel(p[0], p[1]));
  EXPECT_EQ(canvas.Pixel(15, 13), 0xff000000u);  // outline starts at left + 2
  EXPECT_EQ(canvas.Pixel(14, 14), 0xff000000u);  // the corner's diagonal pixel
  EXPECT_EQ(canvas.Pixel(15, 14), NoiseSheet().canvas().Pixel(2, 1));  // card just inside
  // Around the tiles nothing but the blend.
  EXPECT_EQ(canvas.Pixel(12, 50), blend.Pixel(12, 50));
  EXPECT_EQ(canvas.Pixel(84, 50), blend.Pixel(84, 50));
  // The card backs never show.
  Backdrop backdrop(NoiseSheet());
  for (const Expected& e : kMeasured) {
    Canvas any(e.width, e.height);
    backdrop.Paint(any);
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x) ASSERT_NE(any.Pixel(x, y), kBackColour) << e.width;
    }
  }
}

TEST(BackdropTest, OverlappingTilesShareAColumnThatCarriesTheLaterOutline) {
  Canvas canvas(560, 453);
  Backdrop(NoiseSheet()).Paint(canvas);
  Canvas blend(560, 453);
  FillGradient(blend, blend.Bounds(), clWhite, clGreen);
  for (int shared : {70, 140, 210, 280, 350, 420, 490}) {
    for (int y = 15; y <= 106; ++y)
      ASSERT_EQ(canvas.Pixel(shared, y), 0xff000000u) << shared << "," << y;
    for (int y : {13, 14, 107, 108})
      EXPECT_EQ(canvas.Pixel(shared, y), blend.Pixel(shared, y)) << shared;
    // Left of it the earlier tile's outline and picture, right of it the later tile's.
    EXPECT_EQ(canvas.Pixel(shared - 1, 14), 0xff000000u);
    EXPECT_EQ(canvas.Pixel(shared + 1, 14), 0xff000000u);
    EXPECT_EQ(canvas.Pixel(shared + 1, 60),
              NoiseSheet().canvas().Pixel((shared / 70) * 71 + 1, 47));
  }
}

TEST(BackdropTest, PaintSetsUpTheCanvasAndWorksOnABorrowedBuffer) {
  const int w = 300, h = 200, stride_pixels = 320;
  std::vector<std::uint32_t> buffer(static_cast<std::size_t>(stride_pixels) * h, 0x01020304u);
  Canvas borrowed(buffer.data(), w, h, stride_pixels * 4);
  borrowed.pen() = Pen{Color::FromRgb(255, 0, 0), 4};
  Backdrop backdrop(ShippedSheet());
  backdrop.Paint(borrowed);
  EXPECT_EQ(borrowed.pen().color, clBlack);
  EXPECT_EQ(borrowed.pen().width, 1);

  Canvas owned(w, h);
  backdrop.Paint(owned);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < stride_pixels; ++x) {
      std::uint32_t v = buffer[static_cast<std::size_t>(y) * stride_pixels + x];
      if (x >= w) {
        ASSERT_EQ(v, 0x01020304u);  // the row padding is not ours
      } else {
        ASSERT_EQ(v, owned.Pixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(BackdropTest, TinyAndEmptyPaintBoxes) {
  for (IntSize size : {IntSize{0, 0}, IntSize{1, 1}, IntSize{0, 50}, IntSize{3, 2}}) {
    Canvas canvas(size.width, size.height);
    Backdrop(ShippedSheet()).Paint(canvas);
    if (size.width > 0 && size.height > 0) {
      EXPECT_NE(canvas.Pixel(0, 0), 0u);
    }
  }
  // A sheet too small for the 9 x 4 grid gives empty tiles: only the blend.
  std::vector<std::byte> tiny(40 + 4);
  const std::uint32_t header[] = {40, 1, 1, 1 | 32 << 16, 0, 4, 0, 0, 0, 0};
  std::memcpy(tiny.data(), header, sizeof header);
  Canvas canvas(100, 80), blend(100, 80);
  Backdrop(tiny).Paint(canvas);
  FillGradient(blend, blend.Bounds(), clWhite, clGreen);
  EXPECT_EQ(std::memcmp(canvas.Row(0), blend.Row(0), 100 * 80 * 4), 0);
}

TEST(BackdropTest, DrawsFromTheBytesItIsGivenAndKeepsNoneOfThem) {
  // Whatever sheet the executable holds, the noise sheet's bytes are the ones
  // that must show. They are gone before the first paint.
  std::vector<std::byte> bytes = NoiseSheetBytes();
  Backdrop backdrop(bytes);
  std::fill(bytes.begin(), bytes.end(), std::byte{0});
  bytes = {};
  Canvas canvas(688, 453);
  backdrop.Paint(canvas);
  ExpectSame(canvas, ReferenceBackdrop(kMeasured[0], NoiseSheet().canvas()));

  // A sheet that is not a bitmap gives the decoder's own error, as the paint
  // handler reports it.
  static const std::byte kBroken[40] = {std::byte{40}};
  try {
    Backdrop broken(kBroken);
    ADD_FAILURE() << "made a backdrop";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
}

TEST(BackdropTest, PaintLeavesTheCanvasClipAsItWas) {
  // Each tile's copy selects its own clip shape; the clip the canvas had
  // before is back after every tile, and no saved state is left behind.
  const Region clip = TileRegion({100, 50, 400, 300});
  Canvas canvas(688, 453);
  canvas.SelectClipRgn(clip);
  Backdrop backdrop(NoiseSheet());
  backdrop.Paint(canvas);
  ASSERT_NE(canvas.ClipRegion(), nullptr);
  EXPECT_EQ(*canvas.ClipRegion(), clip);
  EXPECT_EQ(canvas.SaveDC(), 1);
  // The copies select their own clips, the outlines are drawn through the
  // canvas's: outside it tile (0, 0)'s top edge shows the card, inside it
  // tile (1, 1)'s is black.
  EXPECT_EQ(canvas.Pixel(40, 13), NoiseSheet().canvas().Pixel(27, 0));
  EXPECT_EQ(canvas.Pixel(115, 122), 0xff000000u);
}

// A 9 x 4 grid of 4 x 5 cells of noise: tiles smaller than their outline's
// corner ellipse, so that it is cut to size.
const Bitmap& SmallCellSheet() {
  static const Bitmap sheet = [] {
    const int w = 36, h = 20;
    std::vector<std::byte> dib(40 + static_cast<std::size_t>(w) * h * 4);
    const std::uint32_t header[] = {40, w, h, 1 | 32 << 16, 0, 0, 0, 0, 0, 0};
    std::memcpy(dib.data(), header, sizeof header);
    std::uint32_t seed = 777;
    for (std::size_t at = 40; at < dib.size(); ++at) {
      seed = seed * 1103515245u + 12345u;
      dib[at] = std::byte(seed >> 16 & 0xff);
    }
    return Bitmap::FromDib(dib);
  }();
  return sheet;
}

// A canvas of the size whose pixels none of the pictures has.
Canvas Stained(int w, int h) {
  Canvas canvas(w, h);
  for (int y = 0; y < h; ++y) std::fill_n(canvas.Row(y), w, 0xff123457u);
  return canvas;
}

TEST(BackdropTest, ACopyPaintsFromItsOwnSheet) {
  // A copy keeps its own sheet and tiles: it must not use the original's,
  // which is gone by the time the copy paints.
  auto original = std::make_unique<Backdrop>(NoiseSheet());
  Canvas first = Stained(688, 453);
  original->Paint(first);
  Backdrop copy(*original);
  Backdrop assigned(SmallCellSheet());
  assigned.Paint(first);
  assigned = *original;
  original.reset();
  for (Backdrop* backdrop : {&copy, &assigned}) {
    Canvas canvas = Stained(688, 453);
    backdrop->Paint(canvas);
    ExpectSame(canvas, ReferenceBackdrop(kMeasured[0], NoiseSheet().canvas()));
  }
}

}  // namespace
}  // namespace tessaline
