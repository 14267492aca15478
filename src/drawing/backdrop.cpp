#include "drawing/backdrop.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <tuple>
#include <utility>

namespace tessaline {

namespace {

constexpr int kBands = 100;

// Shares out the length `count` cells leave spare: an equal gap before,
// between and after them, or, when that would be under a pixel, no margin and
// gaps only between them (negative where the cells overlap). {gap, margin}.
std::pair<int, int> GapAndMargin(std::int64_t spare, int count) {
  const std::int64_t even = spare / (count + 1);
  if (even >= 1) return {ClampToInt(even), ClampToInt(even)};
  return {ClampToInt(spare / (count - 1)), 0};
}

}  // namespace

void FillGradient(Canvas& canvas, const IntRect& rect, Color corner, Color edge) {
  if (rect.IsEmpty()) return;
  // Before band i the part not yet painted is the width[i] x height[i]
  // rectangle at the top-left corner.
  std::array<std::int64_t, kBands + 1> width, height;
  std::array<std::uint32_t, kBands> pixel;
  width[0] = rect.Width();
  height[0] = rect.Height();
  for (int i = 0; i < kBands; ++i) {
    auto mix = [i](int e, int c) { return (e * (kBands - i) + c * i) / kBands; };
    pixel[i] = Color::FromRgb(mix(edge.Red(), corner.Red()), mix(edge.Green(), corner.Green()),
                              mix(edge.Blue(), corner.Blue()))
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
  return Region::FromPolygon(points);
}

TileLayout TileLayout::Compute(IntSize paint_box, IntSize sheet) {
  TileLayout layout;
  layout.cell_width = sheet.width / kSheetColumns;
  layout.cell_height = sheet.height / kTileRows;
  std::tie(layout.gap_across, layout.left_margin) = GapAndMargin(
      std::int64_t{paint_box.width} - std::int64_t{kTileColumns} * layout.cell_width, kTileColumns);
  std::tie(layout.gap_down, layout.top_margin) = GapAndMargin(
      std::int64_t{paint_box.height} - std::int64_t{kTileRows} * layout.cell_height, kTileRows);
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
  canvas.pen() = Pen{clBlack, 1};  // the tiles' outlines
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
