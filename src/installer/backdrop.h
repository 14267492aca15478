// The installer window's backdrop: a blend of 100 bands from green at the
// right and bottom edges to almost white in the top-left corner, and over it
// the pack's 32 card faces from the card sheet, four rows of eight tiles, each
// clipped to a shape with cut corners and outlined by a thin black rounded
// rectangle.
//
// Everything draws on a Canvas (platform/canvas.h) and is clipped to it. Thread
// use: the user-interface thread (the decoded sheet and the tiles' clip shapes
// are cached there).
#pragma once

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/geometry.h"
#include "platform/region.h"

namespace tessaline {

// Fills `rect` with the blend: 100 bands, each an L-shaped strip round the
// right and bottom sides of the part not yet painted, band i (0..99) in
// (edge * (100 - i) + corner * i) / 100 per channel, about a hundredth of the
// width and height wide; the last band paints what remains. Every pixel of the
// rectangle gets exactly one band. System colours are resolved first. Leaves
// the canvas's pen, brush and clip region as they were; an empty rectangle
// paints nothing.
void FillGradient(Canvas& canvas, const IntRect& rect, Color corner, Color edge);

// The clip shape of a tile occupying `rect`: the polygon (left+2, top),
// (right-2, top), (right, top+2), (right, bottom-3), (right-3, bottom),
// (left+3, bottom), (left, bottom-3), (left, top+2) with winding fill. Of the
// rectangle's pixels it leaves out exactly three at each corner.
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

// Paints the whole canvas (its size is the paint box's size) with the blend
// and the 32 tiles from the card sheet. The canvas's brush ends clear, its pen
// black and one pixel wide, its copy mode SRCCOPY.
void PBPaint(Canvas& canvas, const Bitmap& sheet);

// The same with the card sheet from the executable's bitmap resource "PACK"
// (decoded once, then cached). When the resource is missing or damaged the
// blend is drawn all the same and the error propagates: "Resource PACK not
// found" or "Bitmap image is not valid".
void PBPaint(Canvas& canvas);

}  // namespace tessaline
