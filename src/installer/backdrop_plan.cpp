#include "installer/backdrop_plan.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "installer/gradient_bands.h"

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
  std::size_t next = 0;           // the first outline span not yet drawn
};

}  // namespace

namespace {

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

// What tile `t` draws on row y: its copy through its clip, then its outline.
void TileRow(PlacedTile& t, const Canvas& sheet, std::ptrdiff_t sheet_step, int y, int width,
             RowRuns& row) {
  if (y >= t.visible.top && y < t.visible.bottom) {
    const std::uint32_t* from = sheet.Row(static_cast<int>(y + t.dy));
    for (const Span& span : t.clip->Row(y)) {
      const int a = std::max({span.x0, t.visible.left, 0});
      const int b = std::min({span.x1, t.visible.right, width});
      if (a < b) row.Cover({a, b, 0, from + (a + t.dx), sheet_step}, width);
    }
  }
  while (t.next < t.outline.size() && t.outline[t.next].y < y) ++t.next;
  for (std::size_t i = t.next; i < t.outline.size() && t.outline[i].y == y; ++i) {
    row.Cover({t.outline[i].x0, t.outline[i].x1, clBlack.ToPixel(), nullptr, 0}, width);
  }
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
    PlacedTile& t = placed.emplace_back();
    t.rect = tile.rect;
    t.clip = tile.clip;
    t.dx = std::int64_t{tile.cell.left} - tile.rect.left;
    t.dy = std::int64_t{tile.cell.top} - tile.rect.top;
    t.visible =
        tile.rect.Intersected({0, 0, width, height})
            .Intersected({ClampToInt(-t.dx), ClampToInt(-t.dy), ClampToInt(pixels.Width() - t.dx),
                          ClampToInt(pixels.Height() - t.dy)});
    if (t.visible.IsEmpty()) t.visible = {};
    t.outline = RoundRectOutline(tile.rect, corner, corner, 1);
    std::stable_sort(t.outline.begin(), t.outline.end(),
                     [](const RowSpan& l, const RowSpan& r) { return l.y < r.y; });
  }

  const GradientBands bands = GradientBands::Compute(width, height, clWhite, clGreen);
  columns_.assign(static_cast<std::size_t>(width), 0);
  for (int k = 0; k < GradientBands::kCount; ++k) {
    std::fill(columns_.begin() + bands.width[k + 1], columns_.begin() + bands.width[k],
              bands.pixel[k]);
  }
  RowRuns row;
  int band = GradientBands::kCount - 1;
  for (int y = 0; y < height; ++y) {
    while (band > 0 && y >= bands.height[band]) --band;
    BlendRow(bands, band, columns_, row);
    for (PlacedTile& t : placed) {
      if (y >= t.rect.top && y < t.rect.bottom + 1) TileRow(t, pixels, sheet_step, y, width, row);
    }
    program_.AddRow(y, row.Joined());
  }
  usable_ = true;
}

}  // namespace tessaline
