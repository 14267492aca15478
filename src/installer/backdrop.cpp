#include "installer/backdrop.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/resources.h"

namespace tessaline {

namespace {

constexpr int kBands = 100;
constexpr int kTileCorner = 6;  // width and height of the outline's corner ellipse

// Steps 1 to 3 of a paint: the blend over the whole canvas, then the pen and
// brush for the outlines.
void PaintBlend(Canvas& canvas) {
  // The paint box's own colour. The solid fill with it that would come first
  // is left out: the blend paints every pixel of the same rectangle over it.
  canvas.brush() = CreateSolidBrush(clGreen);
  FillGradient(canvas, canvas.Bounds(), clWhite, clGreen);
  canvas.brush().style = BrushStyle::kClear;
  canvas.pen().width = 1;
  canvas.pen().color = clBlack;
}

// Steps 5 to 10: the 32 tiles, row by row, each row from left to right, so
// that where tiles overlap the later one covers the earlier.
void PaintTiles(Canvas& canvas, const Bitmap& sheet) {
  // The tiles' clip shapes depend only on the canvas's and the sheet's sizes,
  // which stay the same from one paint to the next: they are made again only
  // when a size changes.
  struct Shapes {
    IntSize canvas_size;
    IntSize sheet_size;
    TileLayout layout;
    std::array<Region, kTileRows * kTileColumns> regions;
  };
  static Shapes shapes = [] {
    Shapes empty;
    empty.canvas_size = empty.sheet_size = {-1, -1};
    return empty;
  }();
  const IntSize canvas_size{canvas.Width(), canvas.Height()};
  const IntSize sheet_size{sheet.Width(), sheet.Height()};
  if (shapes.canvas_size != canvas_size || shapes.sheet_size != sheet_size) {
    shapes.layout = TileLayout::Compute(canvas_size, sheet_size);
    for (int r = 0; r < kTileRows; ++r) {
      for (int c = 0; c < kTileColumns; ++c) {
        shapes.regions[r * kTileColumns + c] = TileRegion(shapes.layout.Tile(c, r));
      }
    }
    shapes.canvas_size = canvas_size;
    shapes.sheet_size = sheet_size;
  }
  const TileLayout& layout = shapes.layout;
  for (int r = 0; r < kTileRows; ++r) {
    for (int c = 0; c < kTileColumns; ++c) {
      IntRect tile = layout.Tile(c, r);
      canvas.SaveDC();
      canvas.SelectClipRgn(shapes.regions[r * kTileColumns + c]);
      canvas.set_copy_mode(SRCCOPY);
      canvas.CopyRect(tile, sheet.canvas(), layout.SourceCell(c, r));
      canvas.RestoreDC(-1);
      canvas.RoundRect(tile, kTileCorner, kTileCorner);
    }
  }
}

}  // namespace

void FillGradient(Canvas& canvas, const IntRect& rect, Color corner, Color edge) {
  if (rect.IsEmpty()) return;
  Color from = edge.ToRgb();
  Color to = corner.ToRgb();

  // The bands as the plain loop makes them: before band i the part not yet
  // painted is (left, top, left + width[i], top + height[i]); band i paints
  // the strip right of width[i + 1] over that height and the strip below
  // height[i + 1] over that width.
  std::array<std::int64_t, kBands + 1> width;
  std::array<std::int64_t, kBands + 1> height;
  std::array<std::uint32_t, kBands> pixel;
  width[0] = rect.Width();
  height[0] = rect.Height();
  for (int i = 0; i < kBands; ++i) {
    auto mix = [i](int e, int c) { return (e * (kBands - i) + c * i) / kBands; };
    pixel[i] = Color::FromRgb(mix(from.Red(), to.Red()), mix(from.Green(), to.Green()),
                              mix(from.Blue(), to.Blue()))
                   .ToPixel();
    width[i + 1] = width[i] - width[i] / (kBands - i);
    height[i + 1] = height[i] - height[i] / (kBands - i);
  }

  // A pixel's band is the first whose strips reach it: the band of its column
  // or that of its row, whichever comes first. So each group of rows that lies
  // in one band's bottom strip looks the same, and is written row by row in
  // one pass instead of band after band: on the rows of band j's bottom strip,
  // columns 0..width[j]-1 are band j, and right of them come the right strips
  // of the bands before it.
  std::array<ColorRun, kBands> runs;
  for (int j = kBands - 1; j >= 0; --j) {
    std::int64_t top = rect.top + height[j + 1];
    std::int64_t bottom = rect.top + height[j];
    if (top >= bottom) continue;
    std::size_t count = 0;
    runs[count++] = {rect.left, ClampToInt(rect.left + width[j]), pixel[j]};
    for (int k = j - 1; k >= 0; --k) {
      if (width[k + 1] == width[k]) continue;
      runs[count++] = {ClampToInt(rect.left + width[k + 1]), ClampToInt(rect.left + width[k]),
                       pixel[k]};
    }
    canvas.FillRuns(ClampToInt(top), ClampToInt(bottom), std::span(runs.data(), count));
  }
}

Region TileRegion(const IntRect& rect) {
  const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
  const IntPoint points[] = {{l + 2, t}, {r - 2, t}, {r, t + 2}, {r, b - 3},
                             {r - 3, b}, {l + 3, b}, {l, b - 3}, {l, t + 2}};
  return CreatePolygonRgn(points, PolyFillMode::kWinding);
}

TileLayout TileLayout::Compute(IntSize paint_box, IntSize sheet) {
  TileLayout layout;
  layout.cell_width = sheet.width / kSheetColumns;
  layout.cell_height = sheet.height / kTileRows;
  std::int64_t spare_width =
      std::int64_t{paint_box.width} - std::int64_t{kTileColumns} * layout.cell_width;
  std::int64_t across = spare_width / 9;
  layout.gap_across = ClampToInt(across >= 1 ? across : spare_width / 7);
  layout.left_margin = ClampToInt(across >= 1 ? across : 0);
  std::int64_t spare_height =
      std::int64_t{paint_box.height} - std::int64_t{kTileRows} * layout.cell_height;
  std::int64_t down = spare_height / 5;
  layout.gap_down = ClampToInt(down >= 1 ? down : spare_height / 3);
  layout.top_margin = ClampToInt(down >= 1 ? down : 0);
  return layout;
}

IntRect TileLayout::Tile(int c, int r) const {
  std::int64_t left = left_margin + std::int64_t{c} * (std::int64_t{cell_width} + gap_across);
  std::int64_t top = top_margin + std::int64_t{r} * (std::int64_t{cell_height} + gap_down);
  return {ClampToInt(left), ClampToInt(top), ClampToInt(left + cell_width),
          ClampToInt(top + cell_height)};
}

IntRect TileLayout::SourceCell(int c, int r) const {
  return {c * cell_width, r * cell_height, (c + 1) * cell_width, (r + 1) * cell_height};
}

void PBPaint(Canvas& canvas, const Bitmap& sheet) {
  PaintBlend(canvas);
  PaintTiles(canvas, sheet);
}

void PBPaint(Canvas& canvas) {
  PaintBlend(canvas);
  // The sheet is decoded on the first paint and kept while the resource's
  // bytes stay the same; decoding it on every paint would give the same
  // pixels at many times the cost.
  struct Cache {
    const std::byte* data = nullptr;
    std::size_t size = 0;
    std::unique_ptr<Bitmap> sheet;
  };
  static Cache cache;
  std::span<const std::byte> bytes = FindResource("PACK");
  if (!cache.sheet || cache.data != bytes.data() || cache.size != bytes.size()) {
    cache.sheet.reset();
    auto sheet = std::make_unique<Bitmap>(Bitmap::FromDib(bytes));
    cache.data = bytes.data();
    cache.size = bytes.size();
    cache.sheet = std::move(sheet);
  }
  PaintTiles(canvas, *cache.sheet);
}

}  // namespace tessaline
