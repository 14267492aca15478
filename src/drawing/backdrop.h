// The installer window's backdrop: a blend of 100 bands from green at the
// right and bottom edges to almost white in the top-left corner, and over it
// the pack's 32 card faces from the card sheet, four rows of eight tiles, each
// clipped to a shape with cut corners and outlined by a thin black rounded
// rectangle.
//
// Everything draws on a Canvas (drawing/canvas.h) and is clipped to it. Thread
// use: the free functions keep nothing between calls and may be used from any
// thread on canvases of their own; a Backdrop is used by one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/geometry.h"
#include "drawing/region.h"

namespace tessaline {

// Fills `rect` with the blend: 100 bands, each an L-shaped strip round the
// right and bottom sides of the part not yet painted, band i (0..99) in
// (edge * (100 - i) + corner * i) / 100 per channel, about a hundredth of the
// width and height wide; the last band paints what remains. Every pixel of the
// rectangle gets exactly one band. Leaves the canvas's pen and clip region as
// they were; an empty rectangle paints nothing.
void FillGradient(Canvas& canvas, const IntRect& rect, Color corner, Color edge);

// The clip shape of a tile occupying `rect`: the polygon (left+2, top),
// (right-2, top), (right, top+2), (right, bottom-3), (right-3, bottom),
// (left+3, bottom), (left, bottom-3), (left, top+2). Of the rectangle's pixels
// it leaves out exactly three at each corner.
Region TileRegion(const IntRect& rect);

// Where the tiles go on a paint box of a given size for a sheet of a given
// size. Divisions are signed and truncate toward zero; gaps may be negative,
// so that tiles overlap.
struct TileLayout {
  int cell_width = 0;   // sheet width / 9
  int cell_height = 0;  // sheet height / 4
  int gap_across = 0;
  int left_margin = 0;
  int gap_down = 0;
  int top_margin = 0;

  static TileLayout Compute(IntSize paint_box, IntSize sheet);

  // The tile of column c (0..7) and row r (0..3) on the paint box.
  IntRect Tile(int c, int r) const;
  // Its cell on the sheet (the ninth column of the sheet is never used).
  IntRect SourceCell(int c, int r) const;
};

inline constexpr int kTileColumns = 8;
inline constexpr int kTileRows = 4;
inline constexpr int kSheetColumns = 9;  // eight faces and a card back per suit
inline constexpr int kTileCorner = 6;    // width and height of the outline's corner ellipse

// The backdrop of one card sheet. It keeps the decoded sheet and, for the
// canvas size it last painted, the tiles' layout and clip shapes, made again
// only when the size changes.
class Backdrop {
 public:
  // Decodes the card sheet from its bytes (as Bitmap::FromDib takes them);
  // the bytes are not kept. Throws "Bitmap image is not valid".
  explicit Backdrop(std::span<const std::byte> sheet);
  explicit Backdrop(Bitmap sheet);

  // Paints the whole canvas (its size is the paint box's size): PaintBlend,
  // then PaintTiles. The canvas's clip region stays as it was.
  void Paint(Canvas& canvas);

  // The blend over the whole canvas, which is all that shows where there is
  // no card sheet. The canvas's pen ends black and one pixel wide.
  static void PaintBlend(Canvas& canvas);
  // The 32 tiles from the card sheet over what the canvas holds, row by row,
  // each row from left to right, so that where tiles overlap the later one
  // covers the earlier; each outlined with the canvas's pen. The clip region
  // is left as it was.
  void PaintTiles(Canvas& canvas);

 private:
  // Makes the tiles' layout and clip shapes for a canvas of `size`, unless
  // they are for that size already.
  void PrepareTiles(IntSize size);

  Bitmap sheet_;
  IntSize tiles_size_{-1, -1};  // the canvas size the layout and clips are for
  TileLayout layout_;
  std::array<Region, kTileRows * kTileColumns> clips_;
};

}  // namespace tessaline
