#include "drawing/backdrop.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>

#include "drawing/gradient_bands.h"

namespace tessaline {

namespace {

constexpr int kBands = GradientBands::kCount;

// The pen and brush the tiles' outlines are drawn with, as PaintBlend leaves
// them: the paint box's own colour in a clear brush, a black one-pixel pen.
void SelectOutlineTools(Canvas& canvas) {
  canvas.brush() = CreateSolidBrush(clGreen);
  canvas.brush().style = BrushStyle::kClear;
  canvas.pen().width = 1;
  canvas.pen().color = clBlack;
}

}  // namespace

void FillGradient(Canvas& canvas, const IntRect& rect, Color corner, Color edge) {
  if (rect.IsEmpty()) return;
  const GradientBands bands = GradientBands::Compute(rect.Width(), rect.Height(), corner, edge);
  const auto& width = bands.width;
  const auto& height = bands.height;
  const auto& pixel = bands.pixel;

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
  return Region::FromPolygon(points, PolyFillMode::kWinding);
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

Backdrop::Backdrop(std::span<const std::byte> sheet) : Backdrop(Bitmap::FromDib(sheet)) {}

Backdrop::Backdrop(Bitmap sheet) : sheet_(std::move(sheet)) {}

void Backdrop::Paint(Canvas& canvas) {
  PaintBlend(canvas);
  PaintTiles(canvas);
}

void Backdrop::PaintBlend(Canvas& canvas) {
  // The solid fill with the paint box's own colour that would come first is
  // left out: the blend paints every pixel of the same rectangle over it.
  FillGradient(canvas, canvas.Bounds(), clWhite, clGreen);
  SelectOutlineTools(canvas);
}

void Backdrop::PaintTiles(Canvas& canvas) {
  PrepareTiles({canvas.Width(), canvas.Height()});
  for (int r = 0; r < kTileRows; ++r) {
    for (int c = 0; c < kTileColumns; ++c) {
      const IntRect tile = layout_.Tile(c, r);
      {
        CanvasStateSaver saved(canvas);
        canvas.SelectClipRgn(clips_[r * kTileColumns + c]);
        canvas.CopyRect(tile, sheet_.canvas(), layout_.SourceCell(c, r));
      }
      canvas.RoundRect(tile, kTileCorner, kTileCorner);
    }
  }
}

void Backdrop::PrepareTiles(IntSize size) {
  if (size == tiles_size_) return;
  layout_ = TileLayout::Compute(size, {sheet_.Width(), sheet_.Height()});
  for (int r = 0; r < kTileRows; ++r) {
    for (int c = 0; c < kTileColumns; ++c) {
      clips_[r * kTileColumns + c] = TileRegion(layout_.Tile(c, r));
    }
  }
  tiles_size_ = size;
}

}  // namespace tessaline
