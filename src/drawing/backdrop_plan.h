// The whole backdrop of one canvas size as a row program: the pixels that
// the blend over the canvas, then for each tile in turn the clipped copy of
// its cell and its outline, would leave, worked out once per size, so that a
// paint writes every pixel of the canvas exactly once, row by row.
//
// Ownership: a plan points into the card sheet it was built from (which must
// outlive it, unchanged) and into a buffer of its own. A copy of a plan is
// an unbuilt plan, as is a moved-from one. Thread use: one thread builds; a
// built plan may be painted from several threads onto canvases of their own.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/geometry.h"
#include "drawing/region.h"
#include "drawing/row_program.h"

namespace tessaline {

class BackdropPlan {
 public:
  BackdropPlan() = default;
  BackdropPlan(const BackdropPlan&) {}
  BackdropPlan& operator=(const BackdropPlan&) {
    *this = BackdropPlan();
    return *this;
  }
  // A moved-from plan is unbuilt.
  BackdropPlan(BackdropPlan&& other) noexcept { *this = std::move(other); }
  BackdropPlan& operator=(BackdropPlan&& other) noexcept {
    size_ = std::exchange(other.size_, IntSize{-1, -1});
    usable_ = std::exchange(other.usable_, false);
    columns_ = std::move(other.columns_);
    program_ = std::exchange(other.program_, RowProgram());
    return *this;
  }

  // One tile: where it goes, the cell of the sheet it shows, and the clip
  // shape of that copy.
  struct Tile {
    IntRect rect;
    IntRect cell;
    const Region* clip;
  };

  // Works out the picture on an unclipped canvas of `size`: FillGradient of
  // the whole canvas (white corner, green edges), then for each tile in
  // order the copy of its cell through its clip and its one-pixel black
  // outline with a corner ellipse of `corner` x `corner`, each clipped to the
  // canvas. The tiles' clips are read only here. A tile whose size differs
  // from its cell's would need a scaled copy, which the plan does not do: it
  // then stays unusable.
  void Build(IntSize size, const Bitmap& sheet, std::span<const Tile> tiles, int corner);

  // Whether the plan was built for a canvas of `size`, and whether it can
  // paint it.
  bool IsBuiltFor(IntSize size) const { return size == size_; }
  bool IsUsableFor(IntSize size) const { return usable_ && size == size_; }

  // Writes the picture onto a canvas of the size it was built for, ignoring
  // the canvas's clip region and drawing objects.
  void Paint(Canvas& canvas, RowStores stores = RowStores::kBySize) const {
    program_.Paint(canvas, stores);
  }

 private:
  IntSize size_{-1, -1};
  bool usable_ = false;
  // Each column's blend colour right of the band of a row: the colour of
  // the band whose right strip holds the column.
  std::vector<std::uint32_t> columns_;
  RowProgram program_;
};

}  // namespace tessaline
