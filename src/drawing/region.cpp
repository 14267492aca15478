#include "drawing/region.h"

#include <algorithm>
#include <cstdint>

namespace tessaline {

namespace {

// Smallest integer not less than num / den, for den > 0.
std::int64_t CeilDiv(std::int64_t num, std::int64_t den) {
  std::int64_t q = num / den;
  if (num % den != 0 && num > 0) ++q;
  return q;
}

struct Crossing {
  std::int64_t x;  // first pixel column at or right of the crossing point
  int direction;   // +1 for an edge going down, -1 going up
};

// An edge of a polygon that crosses rows: from its upper end (included) to its
// lower end (excluded), so a point on the lowest vertex row lies on a bottom
// edge and outside.
struct Edge {
  std::int64_t top, bottom, x, dx, dy;  // x at row `top`; dx, dy along the edge
  int direction;                        // +1 going down, -1 going up
};

// The polygon's edges that cross rows (horizontal edges cross no sampled row).
std::vector<Edge> RowCrossingEdges(std::span<const IntPoint> points) {
  std::vector<Edge> edges;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const IntPoint& a = points[i];
    const IntPoint& b = points[(i + 1) % points.size()];
    if (a.y == b.y) continue;
    const IntPoint& upper = a.y < b.y ? a : b;
    const IntPoint& lower = a.y < b.y ? b : a;
    edges.push_back({upper.y, lower.y, upper.x, std::int64_t{lower.x} - upper.x,
                     std::int64_t{lower.y} - upper.y, a.y < b.y ? 1 : -1});
  }
  return edges;
}

// The edges' crossings of row y, sorted left to right, and the first row that
// may differ: when only vertical edges cross row y, every row up to the next
// vertex row (or `bottom`) is the same.
std::int64_t FindRowCrossings(const std::vector<Edge>& edges, int y, int bottom,
                              std::vector<Crossing>& out) {
  out.clear();
  std::int64_t next_change = bottom;
  bool all_vertical = true;
  for (const Edge& e : edges) {
    if (e.top > y) {
      next_change = std::min(next_change, e.top);
      continue;
    }
    if (e.bottom <= y) continue;
    next_change = std::min(next_change, e.bottom);
    // x of the edge at row y is x + (y - top) * dx / dy, exactly; a pixel
    // belongs to the inside from the first column at or right of it.
    std::int64_t x = e.x;
    if (e.dx != 0) {
      all_vertical = false;
      x = CeilDiv(e.x * e.dy + (y - e.top) * e.dx, e.dy);
    }
    out.push_back({x, e.direction});
  }
  std::sort(out.begin(), out.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
  return all_vertical ? next_change : std::int64_t{y} + 1;
}

// The spans between sorted crossings where the winding number is not 0,
// touching spans joined.
void SpansInside(const std::vector<Crossing>& crossings, std::vector<Span>& row) {
  row.clear();
  int winding = 0;
  for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
    winding += crossings[i].direction;
    if (winding == 0) continue;
    const int x0 = ClampToInt(crossings[i].x);
    const int x1 = ClampToInt(crossings[i + 1].x);
    if (x1 <= x0) continue;
    if (!row.empty() && row.back().x1 >= x0) {
      row.back().x1 = std::max(row.back().x1, x1);  // joins the previous span
    } else {
      row.push_back({x0, x1});
    }
  }
}

}  // namespace

Region Region::FromPolygon(std::span<const IntPoint> points) {
  Region region;
  if (points.size() < 3) return region;
  const auto [lowest, highest] = std::minmax_element(
      points.begin(), points.end(), [](const IntPoint& a, const IntPoint& b) { return a.y < b.y; });
  const int top = lowest->y, bottom = highest->y;
  const std::vector<Edge> edges = RowCrossingEdges(points);
  std::vector<Crossing> crossings;
  std::vector<Span> row;
  // Only the rows where something changes are computed; the rows after them
  // that meet only vertical edges repeat them.
  for (int y = top; y < bottom;) {
    const int end = static_cast<int>(FindRowCrossings(edges, y, bottom, crossings));
    SpansInside(crossings, row);
    region.AppendRows(y, end, row);
    y = end;
  }
  return region;
}

void Region::AppendRows(int y0, int y1, const std::vector<Span>& spans) {
  if (spans.empty() || y1 <= y0) return;
  if (!bands_.empty()) {
    Band& last = bands_.back();
    if (last.bottom == y0 && std::equal(spans_.begin() + last.first, spans_.begin() + last.last,
                                        spans.begin(), spans.end())) {
      last.bottom = y1;
      bounds_.bottom = y1;
      return;
    }
  }
  std::size_t first = spans_.size();
  spans_.insert(spans_.end(), spans.begin(), spans.end());
  bands_.push_back({y0, y1, first, spans_.size()});
  if (bands_.size() == 1) {
    bounds_ = {spans.front().x0, y0, spans.back().x1, y1};
  } else {
    bounds_.left = std::min(bounds_.left, spans.front().x0);
    bounds_.right = std::max(bounds_.right, spans.back().x1);
    bounds_.bottom = y1;
  }
}

std::span<const Span> Region::Row(int y) const {
  if (y < bounds_.top || y >= bounds_.bottom) return {};
  auto band = std::upper_bound(bands_.begin(), bands_.end(), y,
                               [](int value, const Band& b) { return value < b.bottom; });
  if (band == bands_.end() || y < band->top) return {};
  return std::span<const Span>(spans_).subspan(band->first, band->last - band->first);
}

}  // namespace tessaline
