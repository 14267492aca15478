// A raster canvas standing in for a Windows device context and the toolkit's
// canvas on it: row fills, clip regions, saved states, rectangle copies and
// rounded rectangles, drawing the same pixels as the platform's graphics
// interface.
//
// Pixels are 32-bit values 0xffRRGGBB laid out like QImage::Format_RGB32, rows
// `stride_bytes` apart, so a window can wrap the same memory without a copy.
// Every operation is clipped to the canvas and to its clip region.
//
// Ownership: a canvas either borrows a caller's buffer (which must outlive it)
// or owns one. Pens and regions are values; nothing is released by hand.
// Thread use: one thread at a time per canvas.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "drawing/geometry.h"
#include "drawing/region.h"

namespace tessaline {

struct Pen {
  Color color = clBlack;
  int width = 1;  // in pixels; 0 draws as 1
};

// One run of a row fill: pixels x0..x1-1 in one colour (a canvas pixel value).
struct ColorRun {
  int x0 = 0;
  int x1 = 0;
  std::uint32_t pixel = 0;
};

class Canvas {
 public:
  // A canvas over a caller's buffer of `height` rows of `width` pixels, rows
  // `stride_bytes` apart (at least 4 * width, a multiple of 4). Not owned.
  Canvas(std::uint32_t* pixels, int width, int height, int stride_bytes);
  // A canvas owning a buffer of width x height pixels, all black.
  Canvas(int width, int height);
  // An empty (0 x 0) canvas.
  Canvas() : Canvas(0, 0) {}

  // Copies share nothing: a copy of a borrowing canvas owns a copy of the pixels.
  Canvas(const Canvas& other);
  Canvas& operator=(const Canvas& other);
  Canvas(Canvas&& other) noexcept;
  Canvas& operator=(Canvas&& other) noexcept;

  int Width() const { return width_; }
  int Height() const { return height_; }
  IntRect Bounds() const { return {0, 0, width_, height_}; }

  // Row y (0 <= y < Height()) and single pixels: no clipping and no checks,
  // the caller stays inside the canvas.
  std::uint32_t* Row(int y) {
    return reinterpret_cast<std::uint32_t*>(bytes_ + std::ptrdiff_t{y} * stride_);
  }
  const std::uint32_t* Row(int y) const {
    return reinterpret_cast<const std::uint32_t*>(bytes_ + std::ptrdiff_t{y} * stride_);
  }
  std::uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
  void SetPixel(int x, int y, std::uint32_t pixel) { Row(y)[x] = pixel; }

  // The canvas's pen, as the toolkit's canvas offers it.
  Pen& pen() { return pen_; }
  const Pen& pen() const { return pen_; }

  // On every row top..bottom-1, fills each run: the same pixels as filling
  // the runs' rectangles one after the other, but written row by row.
  void FillRuns(int top, int bottom, std::span<const ColorRun> runs);

  // Saves the device context's clip region; returns the number of saved
  // states (1 for the first save). The pen, as on the toolkit's canvas, is
  // not saved.
  int SaveDC();
  // Restores a saved clip region: a negative `saved` counts back from the
  // latest (-1 restores the most recent save), a positive one is the number
  // SaveDC returned. States saved after it are dropped. False when there is no
  // such saved state (nothing changes).
  bool RestoreDC(int saved);

  // Makes a copy of the region the clip region, replacing the previous one;
  // nullptr removes the clip. Coordinates are the canvas's own.
  void SelectClipRgn(const Region* region);
  void SelectClipRgn(const Region& region) { SelectClipRgn(&region); }
  const Region* ClipRegion() const { return clip_ ? &*clip_ : nullptr; }

  // Copies `source_rect` of `source` (not this canvas) pixel for pixel to the
  // top-left corner of `dest` (StretchBlt with SRCCOPY between rectangles of
  // one size), cut to `dest`; pixels whose source lies outside `source` are
  // left alone.
  void CopyRect(const IntRect& dest, const Canvas& source, const IntRect& source_rect);

  // Outline of the rectangle (right and bottom exclusive) with rounded corners
  // whose corner ellipse is ellipse_width x ellipse_height, drawn with the pen;
  // the inside is left alone. For a
  // 71 x 96 rectangle and a 6 x 6 ellipse the one-pixel outline has 322 pixels:
  // the top and bottom rows from left+2 to right-3, the left and right columns
  // from top+2 to bottom-3 and one diagonal pixel at each corner.
  void RoundRect(const IntRect& rect, int ellipse_width, int ellipse_height);

 private:
  // Fills pixels x0..x1-1 of row y, clipped to the canvas and the clip region.
  void FillSpan(int y, int x0, int x1, std::uint32_t pixel);
  // Calls fn(x0, x1) for every part of x0..x1-1 on row y that lies inside the
  // canvas and the clip region.
  template <typename Fn>
  void ForEachVisible(int y, int x0, int x1, Fn&& fn) const;

  std::vector<std::uint32_t> owned_;
  unsigned char* bytes_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::ptrdiff_t stride_ = 0;
  Pen pen_;
  std::optional<Region> clip_;
  std::vector<std::optional<Region>> saved_;  // what SaveDC saved
};

// Saves the canvas's device-context state (SaveDC) for the life of a scope and
// restores exactly that state (RestoreDC) when the scope is left by any path,
// an exception included; states saved inside the scope and not restored are
// dropped with it. The canvas must outlive the saver. Code inside the scope
// must not restore a state saved before the saver (the saver then restores
// nothing).
class CanvasStateSaver {
 public:
  explicit CanvasStateSaver(Canvas& canvas) : canvas_(canvas), saved_(canvas.SaveDC()) {}
  ~CanvasStateSaver() { canvas_.RestoreDC(saved_); }

  CanvasStateSaver(const CanvasStateSaver&) = delete;
  CanvasStateSaver& operator=(const CanvasStateSaver&) = delete;

 private:
  Canvas& canvas_;
  int saved_;
};

}  // namespace tessaline
