// A picture described row by row as runs of pixels, and written onto a canvas
// in one pass: every pixel the runs cover is stored exactly once, row after
// row, left to right. Consecutive rows whose runs are the same, but for
// sources that move on by a fixed step each row (a picture copied from the
// rows of another), are kept once as a group.
//
// Ownership: the runs point into pixels owned by the caller, which must stay
// alive and unchanged while the program is painted. Thread use: building is
// not synchronised; a built program may be painted from several threads onto
// different canvases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "drawing/canvas.h"

namespace tessaline {

// Pixels x0..x1-1 of a row: all `pixel` when `source` is null, else copied
// from source[0..x1-x0-1] on a group's first row, and from `step` pixels
// further on each following row of the group.
struct PixelRun {
  int x0 = 0;
  int x1 = 0;
  std::uint32_t pixel = 0;
  const std::uint32_t* source = nullptr;
  std::ptrdiff_t step = 0;
};

// How the rows reach memory: through the caches, bypassing them
// (non-temporal stores, for pictures too large to stay in the caches), or by
// the canvas's size: bypassing them when it is more than half the
// last-level cache (os/cache_size.h).
enum class RowStores { kCached, kStreaming, kBySize };

class RowProgram {
 public:
  // Adds row y. Rows come in increasing order, without gaps. The runs are
  // sorted, each starting where the one before ends, non-empty, and lie
  // inside the canvases the program will be painted on.
  void AddRow(int y, std::span<const PixelRun> runs);
  // Adds the row after the last one added: the same runs, their sources
  // moved on by their steps. There must be a row before it.
  void RepeatLastRow();

  // Writes the program's rows onto the canvas, ignoring its clip region.
  // Rows beyond the canvas are not written.
  void Paint(Canvas& canvas, RowStores stores = RowStores::kBySize) const;

  std::size_t GroupCount() const { return groups_.size(); }

 private:
  // Rows top..bottom-1, all made from runs_[first..last).
  struct Group {
    int top;
    int bottom;
    std::size_t first;
    std::size_t last;
  };

  // Whether row `y` with `runs` is the last group's runs moved on to it.
  bool ContinuesLastGroup(int y, std::span<const PixelRun> runs) const;
  void PaintCached(Canvas& canvas) const;
  void PaintStreaming(Canvas& canvas) const;

  std::vector<Group> groups_;
  std::vector<PixelRun> runs_;
  int widest_ = 0;  // the largest x1 of any run
};

}  // namespace tessaline
