// A clip region: a set of pixels stored as bands of rows that share the same
// sorted horizontal spans, so that filling and copying through it costs one
// range test per span, not one per pixel, and a tall rectangle costs one band.
// Regions are values. Not synchronised: share only for reading.
#pragma once

#include <span>
#include <vector>

#include "drawing/geometry.h"

namespace tessaline {

// Pixels x0..x1-1 of one row.
struct Span {
  int x0 = 0;
  int x1 = 0;

  friend bool operator==(const Span&, const Span&) = default;
};

class Region {
 public:
  // The empty region.
  Region() = default;

  // The pixels of a polygon (closed from the last vertex back to the first)
  // under the non-zero winding rule. A pixel (x, y) belongs to it when the
  // point (x, y) lies inside, a point on a left or top edge counting as inside
  // and one on a right or bottom edge as outside, so a rectangle's four
  // corners give exactly its pixels. Costs one step per row that meets a
  // slanted edge or a vertex, and one per stretch of rows between them.
  static Region FromPolygon(std::span<const IntPoint> points);

  // Smallest rectangle holding every pixel (empty for the empty region).
  const IntRect& Bounds() const { return bounds_; }

  // Spans of row y, sorted left to right, disjoint and not touching; empty for
  // a row outside the bounds.
  std::span<const Span> Row(int y) const;

  friend bool operator==(const Region&, const Region&) = default;

 private:
  // Rows top..bottom-1 all hold spans_[first..last).
  struct Band {
    int top;
    int bottom;
    std::size_t first;
    std::size_t last;

    friend bool operator==(const Band&, const Band&) = default;
  };

  // Appends rows y0..y1-1, all with the given spans (rows must come in
  // increasing order).
  void AppendRows(int y0, int y1, const std::vector<Span>& spans);

  IntRect bounds_;
  std::vector<Band> bands_;
  std::vector<Span> spans_;
};

}  // namespace tessaline
