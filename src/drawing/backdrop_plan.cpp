#include "drawing/backdrop_plan.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "drawing/gradient_bands.h"

namespace tessaline {

namespace {

// The part a..b-1 of a run.
PixelRun PartOf(const PixelRun& run, int a, int b) {
  PixelRun part = run;
  part.x0 = a;
  part.x1 = b;
  if (part.source != nullptr) part.source += a - run.x0;
  return part;
}

// Whether `later`'s source starts right where `run`'s ends, on every row.
bool SourceContinues(const PixelRun& run, const PixelRun& later) {
  if (run.source == nullptr || later.source == nullptr || run.step != later.step) return false;
  return reinterpret_cast<std::uintptr_t>(run.source + (run.x1 - run.x0)) ==
         reinterpret_cast<std::uintptr_t>(later.source);
}

// The runs of one row as they are being drawn over: sorted, adjoining runs.
class RowRuns {
 public:
  void Clear() { runs_.clear(); }
  void Append(const PixelRun& run) {
    if (run.x0 < run.x1) runs_.push_back(run);
  }

  // Draws `run` over what the row holds, clipped to columns 0..width-1.
  void Cover(PixelRun run, int width) {
    const int a = std::max(run.x0, 0), b = std::min(run.x1, width);
    if (a >= b) return;
    run = PartOf(run, a, b);
    next_.clear();
    bool placed = false;
    for (const PixelRun& old : runs_) {
      if (old.x1 <= a) {
        next_.push_back(old);
        continue;
      }
      if (old.x0 < a) next_.push_back(PartOf(old, old.x0, a));
      if (!placed) next_.push_back(run), placed = true;
      if (old.x1 > b) next_.push_back(PartOf(old, std::max(old.x0, b), old.x1));
    }
    if (!placed) next_.push_back(run);
    runs_.swap(next_);
  }

  // Joins neighbours that write as one run.
  const std::vector<PixelRun>& Joined() {
    std::size_t kept = 0;
    for (const PixelRun& run : runs_) {
      if (kept > 0) {
        PixelRun& last = runs_[kept - 1];
        const bool same_fill =
            last.source == nullptr && run.source == nullptr && last.pixel == run.pixel;
        if (same_fill || SourceContinues(last, run)) {
          last.x1 = run.x1;
          continue;
        }
      }
      runs_[kept++] = run;
    }
    runs_.resize(kept);
    return runs_;
  }

 private:
  std::vector<PixelRun> runs_;
  std::vector<PixelRun> next_;
};

// A tile as the rows meet it: its copy and its outline's spans by row.
struct PlacedTile {
  IntRect rect;
  const Region* clip;
  IntRect visible;                // the part whose source pixels exist
  std::ptrdiff_t dx = 0, dy = 0;  // from the canvas to the sheet
  std::vector<RowSpan> outline;   // sorted by row
};

// Row y of the blend: band j's colour up to its width, then the columns'
// colours of the bands before it.
void BlendRow(const GradientBands& bands, int j, const std::vector<std::uint32_t>& columns,
              RowRuns& row) {
  const int width = static_cast<int>(columns.size());
  const int band_width = static_cast<int>(bands.width[j]);
  row.Clear();
  row.Append({0, band_width, bands.pixel[j], nullptr, 0});
  row.Append({band_width, width, 0, columns.data() + band_width, 0});
}

// The outline's spans on row y.
std::span<const RowSpan> OutlineRow(const PlacedTile& t, int y) {
  const auto [first, last] =
      std::equal_range(t.outline.begin(), t.outline.end(), RowSpan{y, 0, 0},
                       [](const RowSpan& l, const RowSpan& r) { return l.y < r.y; });
  return {first, last};
}

bool InRows(const IntRect& rect, int y) {
  return y >= rect.top && y < rect.bottom;
}

// Whether tile `t` draws row y as it draws the row above, but for the sheet
// row its copy comes from.
bool SameAsRowAbove(const PlacedTile& t, int y) {
  if (InRows(t.rect, y) != InRows(t.rect, y - 1)) return false;
  if (!InRows(t.rect, y)) return true;
  if (InRows(t.visible, y) != InRows(t.visible, y - 1)) return false;
  if (InRows(t.visible, y) && !std::ranges::equal(t.clip->Row(y), t.clip->Row(y - 1))) {
    return false;
  }
  return std::ranges::equal(
      OutlineRow(t, y), OutlineRow(t, y - 1),
      [](const RowSpan& a, const RowSpan& b) { return a.x0 == b.x0 && a.x1 == b.x1; });
}

// What tile `t` draws on row y: its copy through its clip, then its outline.
void TileRow(const PlacedTile& t, const Canvas& sheet, std::ptrdiff_t sheet_step, int y, int width,
             RowRuns& row) {
  if (InRows(t.visible, y)) {
    const std::uint32_t* from = sheet.Row(static_cast<int>(y + t.dy));
    for (const Span& span : t.clip->Row(y)) {
      const int a = std::max({span.x0, t.visible.left, 0});
      const int b = std::min({span.x1, t.visible.right, width});
      if (a < b) row.Cover({a, b, 0, from + (a + t.dx), sheet_step}, width);
    }
  }
  for (const RowSpan& span : OutlineRow(t, y)) {
    row.Cover({span.x0, span.x1, clBlack.ToPixel(), nullptr, 0}, width);
  }
}

// A tile as the rows will meet it, on a canvas of `width` x `height`.
PlacedTile PlaceTile(const BackdropPlan::Tile& tile, const Canvas& sheet, int width, int height,
                     int corner) {
  PlacedTile t;
  t.rect = tile.rect;
  t.clip = tile.clip;
  t.dx = std::int64_t{tile.cell.left} - tile.rect.left;
  t.dy = std::int64_t{tile.cell.top} - tile.rect.top;
  t.visible =
      tile.rect.Intersected({0, 0, width, height})
          .Intersected({ClampToInt(-t.dx), ClampToInt(-t.dy), ClampToInt(sheet.Width() - t.dx),
                        ClampToInt(sheet.Height() - t.dy)});
  if (t.visible.IsEmpty()) t.visible = {};
  // Sorted by row, each row's spans in drawing order; a one-pixel pen keeps
  // the outline inside the rectangle.
  t.outline = RoundRectOutline(tile.rect, corner, corner, 1);
  std::ranges::stable_sort(t.outline, {}, &RowSpan::y);
  return t;
}

}  // namespace

void BackdropPlan::Build(IntSize size, const Bitmap& sheet, std::span<const Tile> tiles,
                         int corner) {
  *this = BackdropPlan();
  size_ = size;
  const int width = std::max(size.width, 0), height = std::max(size.height, 0);
  const Canvas& pixels = sheet.canvas();
  const std::ptrdiff_t sheet_step = pixels.Height() > 1 ? pixels.Row(1) - pixels.Row(0) : 0;
  std::vector<PlacedTile> placed;
  for (const Tile& tile : tiles) {
    if (tile.rect.IsEmpty() || tile.cell.IsEmpty()) continue;  // copies and draws nothing
    if (tile.rect.Width() != tile.cell.Width() || tile.rect.Height() != tile.cell.Height()) {
      return;  // a scaled copy
    }
    placed.push_back(PlaceTile(tile, pixels, width, height, corner));
  }

  const GradientBands bands = GradientBands::Compute(width, height, clWhite, clGreen);
  columns_.assign(static_cast<std::size_t>(width), 0);
  for (int k = 0; k < GradientBands::kCount; ++k) {
    std::fill(columns_.begin() + bands.width[k + 1], columns_.begin() + bands.width[k],
              bands.pixel[k]);
  }
  // Only the rows where something starts or ends are worked out; the others
  // are the row above with the copies one sheet row further on.
  std::vector<bool> changes(static_cast<std::size_t>(height), false);
  for (const PlacedTile& t : placed) {
    const int last = std::min<std::int64_t>(std::int64_t{t.rect.bottom}, height - 1);
    for (int y = std::max(t.rect.top, 1); y <= last; ++y) {
      if (!SameAsRowAbove(t, y)) changes[static_cast<std::size_t>(y)] = true;
    }
  }
  RowRuns row;
  int band = GradientBands::kCount - 1;
  for (int y = 0; y < height; ++y) {
    const int band_above = band;
    while (band > 0 && y >= bands.height[band]) --band;
    if (y > 0 && band == band_above && !changes[static_cast<std::size_t>(y)]) {
      program_.RepeatLastRow();
      continue;
    }
    BlendRow(bands, band, columns_, row);
    for (const PlacedTile& t : placed) {
      if (InRows(t.rect, y)) TileRow(t, pixels, sheet_step, y, width, row);
    }
    program_.AddRow(y, row.Joined());
  }
  usable_ = true;
}

}  // namespace tessaline
