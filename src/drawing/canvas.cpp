#include "drawing/canvas.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

namespace tessaline {

namespace {

// The top-left corner of a rounded rectangle as offsets from its (left, top).
struct RoundCorner {
  // The quarter of the corner ellipse from its top end to the left edge.
  std::vector<IntPoint> arc;
  int top_inset = 0;   // the top row starts at left + top_inset
  int side_inset = 0;  // the left column starts at top + side_inset
};

// The top-left quarter of a corner ellipse ew x eh pixels (both at least 1),
// traced from its top end (x = (ew-1)/2, y = 0) to the left edge (x = 0). The
// ellipse has semi-axes (ew-1)/2 and (eh-1)/2 around ((ew-1)/2, (eh-1)/2);
// working in doubled coordinates keeps half pixels exact. Each step moves
// left, down or diagonally to the candidate closest to the curve.
std::vector<IntPoint> TraceQuarterEllipse(std::int64_t ew, std::int64_t eh) {
  const std::int64_t a2 = ew - 1, b2 = eh - 1;  // doubled semi-axes
  auto error = [&](std::int64_t x, std::int64_t y) {
    const std::int64_t u = 2 * x - a2, v = 2 * y - b2;
    const std::int64_t e = b2 * b2 * u * u + a2 * a2 * v * v - a2 * a2 * b2 * b2;
    return e < 0 ? -e : e;
  };
  std::int64_t x = a2 / 2, y = 0;
  std::vector<IntPoint> arc{{static_cast<int>(x), 0}};
  if (a2 == 0) return arc;
  while (x > 0) {
    const std::int64_t left = error(x - 1, y), diag = error(x - 1, y + 1), down = error(x, y + 1);
    if (y >= b2 / 2) {
      --x;  // at the ellipse's middle row: only leftwards remains
    } else if (diag <= left && diag <= down) {
      --x, ++y;
    } else if (left < down) {
      --x;
    } else {
      ++y;
    }
    arc.push_back({static_cast<int>(x), static_cast<int>(y)});
  }
  return arc;
}

// The corner of a rounded rectangle with an ew x eh corner ellipse, and where
// its straight edges start (mirrored at the far sides).
RoundCorner TraceRoundCorner(std::int64_t ew, std::int64_t eh) {
  RoundCorner corner{TraceQuarterEllipse(ew, eh)};
  corner.top_inset = corner.arc.front().x;
  corner.side_inset = corner.arc.back().y;
  for (const IntPoint& p : corner.arc) {
    if (p.y == 0) corner.top_inset = p.x;
    if (p.x == 0) corner.side_inset = std::min(corner.side_inset, p.y);
  }
  return corner;
}

}  // namespace

Canvas::Canvas(std::uint32_t* pixels, int width, int height, int stride_bytes)
    : bytes_(reinterpret_cast<unsigned char*>(pixels)),
      width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      stride_(stride_bytes) {
  assert(stride_bytes >= 4 * width_ && stride_bytes % 4 == 0);
}

Canvas::Canvas(int width, int height)
    : owned_(static_cast<std::size_t>(std::max(width, 0)) *
                 static_cast<std::size_t>(std::max(height, 0)),
             0xff000000u),
      bytes_(reinterpret_cast<unsigned char*>(owned_.data())),
      width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      stride_(std::ptrdiff_t{width_} * 4) {}

Canvas::Canvas(const Canvas& other) : Canvas(other.width_, other.height_) {
  for (int y = 0; y < height_; ++y) std::copy_n(other.Row(y), width_, Row(y));
  pen_ = other.pen_;
  clip_ = other.clip_;
  saved_ = other.saved_;
}

Canvas& Canvas::operator=(const Canvas& other) {
  if (this != &other) *this = Canvas(other);
  return *this;
}

Canvas::Canvas(Canvas&& other) noexcept {
  *this = std::move(other);
}

Canvas& Canvas::operator=(Canvas&& other) noexcept {
  if (this != &other) {
    // A moved vector keeps its buffer, so bytes_ stays valid for an owning canvas.
    owned_ = std::move(other.owned_);
    bytes_ = std::exchange(other.bytes_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    pen_ = other.pen_;
    clip_ = std::move(other.clip_);
    saved_ = std::move(other.saved_);
  }
  return *this;
}

template <typename Fn>
void Canvas::ForEachVisible(int y, int x0, int x1, Fn&& fn) const {
  if (y < 0 || y >= height_) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width_);
  if (x1 <= x0) return;
  if (!clip_) {
    fn(x0, x1);
    return;
  }
  for (const Span& span : clip_->Row(y)) {
    if (span.x0 >= x1) break;
    int a = std::max(x0, span.x0);
    int b = std::min(x1, span.x1);
    if (a < b) fn(a, b);
  }
}

void Canvas::FillSpan(int y, int x0, int x1, std::uint32_t pixel) {
  // The row's address only once the row is known to lie on the canvas.
  ForEachVisible(y, x0, x1, [&](int a, int b) { std::fill(Row(y) + a, Row(y) + b, pixel); });
}

void Canvas::FillRuns(int top, int bottom, std::span<const ColorRun> runs) {
  top = std::max(top, 0);
  bottom = std::min(bottom, height_);
  if (top >= bottom || runs.empty()) return;
  // Runs that follow on from each other without a gap cover one stretch of
  // every row completely: without a clip, the first row is filled run by run
  // and the others copy its stretch, which is much cheaper than many short fills.
  bool contiguous = true;
  for (std::size_t i = 1; i < runs.size() && contiguous; ++i) {
    contiguous = runs[i].x0 == runs[i - 1].x1 && runs[i].x1 >= runs[i].x0;
  }
  if (!clip_ && contiguous && runs.front().x1 >= runs.front().x0) {
    int a = std::max(runs.front().x0, 0);
    int b = std::min(runs.back().x1, width_);
    if (a >= b) return;
    for (const ColorRun& run : runs) FillSpan(top, run.x0, run.x1, run.pixel);
    const std::uint32_t* first = Row(top);
    for (int y = top + 1; y < bottom; ++y) {
      std::memcpy(Row(y) + a, first + a, static_cast<std::size_t>(b - a) * sizeof(std::uint32_t));
    }
    return;
  }
  for (int y = top; y < bottom; ++y) {
    for (const ColorRun& run : runs) FillSpan(y, run.x0, run.x1, run.pixel);
  }
}

int Canvas::SaveDC() {
  saved_.push_back(clip_);
  return static_cast<int>(saved_.size());
}

bool Canvas::RestoreDC(int saved) {
  std::int64_t index =
      saved < 0 ? static_cast<std::int64_t>(saved_.size()) + saved : std::int64_t{saved} - 1;
  if (saved == 0 || index < 0 || index >= static_cast<std::int64_t>(saved_.size())) return false;
  clip_ = std::move(saved_[static_cast<std::size_t>(index)]);
  saved_.resize(static_cast<std::size_t>(index));
  return true;
}

void Canvas::SelectClipRgn(const Region* region) {
  if (region == nullptr) {
    clip_.reset();
  } else {
    clip_ = *region;  // reuses the current clip's storage
  }
}

void Canvas::CopyRect(const IntRect& dest, const Canvas& source, const IntRect& source_rect) {
  if (dest.IsEmpty() || source_rect.IsEmpty()) return;
  assert(&source != this);
  // The destination part whose source lies inside `source`.
  const std::int64_t dx = std::int64_t{source_rect.left} - dest.left;
  const std::int64_t dy = std::int64_t{source_rect.top} - dest.top;
  IntRect visible = dest.Intersected(Bounds());
  visible =
      visible.Intersected({ClampToInt(-dx), ClampToInt(-dy), ClampToInt(source_rect.right - dx),
                           ClampToInt(source_rect.bottom - dy)});
  visible = visible.Intersected({ClampToInt(-dx), ClampToInt(-dy), ClampToInt(source.width_ - dx),
                                 ClampToInt(source.height_ - dy)});
  if (visible.IsEmpty()) return;
  for (int y = visible.top; y < visible.bottom; ++y) {
    std::uint32_t* row = Row(y);
    const std::uint32_t* from = source.Row(static_cast<int>(y + dy)) + dx;
    ForEachVisible(y, visible.left, visible.right, [&](int a, int b) {
      std::memcpy(row + a, from + a, static_cast<std::size_t>(b - a) * sizeof(std::uint32_t));
    });
  }
}

void Canvas::RoundRect(const IntRect& rect, int ellipse_width, int ellipse_height) {
  if (rect.IsEmpty()) return;
  // The corner ellipse cannot be larger than the figure.
  const RoundCorner corner =
      TraceRoundCorner(std::clamp<std::int64_t>(ellipse_width, 1, rect.Width()),
                       std::clamp<std::int64_t>(ellipse_height, 1, rect.Height()));
  // Each pixel of the outline is a pen-wide square centred on it.
  const std::uint32_t ink = pen_.color.ToPixel();
  const int pen = std::max(pen_.width, 1), before = (pen - 1) / 2, after = pen - before;
  auto dot_row = [&](std::int64_t py, std::int64_t px0, std::int64_t px1) {
    // Pixels px0..px1 (inclusive) of row py, widened by the pen.
    for (std::int64_t yy = py - before; yy < py + after; ++yy) {
      FillSpan(ClampToInt(yy), ClampToInt(px0 - before), ClampToInt(px1 + after), ink);
    }
  };
  const std::int64_t l = rect.left, t = rect.top, r = std::int64_t{rect.right} - 1,
                     b = std::int64_t{rect.bottom} - 1;
  dot_row(t, l + corner.top_inset, r - corner.top_inset);
  if (b != t) dot_row(b, l + corner.top_inset, r - corner.top_inset);
  for (std::int64_t row = t + corner.side_inset; row <= b - corner.side_inset; ++row) {
    dot_row(row, l, l);
    if (r != l) dot_row(row, r, r);
  }
  for (const IntPoint& p : corner.arc) {
    if (p.y == 0 || p.x == 0) continue;  // already drawn as part of a straight edge
    dot_row(t + p.y, l + p.x, l + p.x);
    dot_row(t + p.y, r - p.x, r - p.x);
    dot_row(b - p.y, l + p.x, l + p.x);
    dot_row(b - p.y, r - p.x, r - p.x);
  }
}

}  // namespace tessaline
