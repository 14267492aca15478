// Device-independent bitmaps: decoding the platform's bitmap format into a
// canvas, as the toolkit's bitmap object does when it loads a bitmap resource.
//
// Accepted: a bitmap information header of 40 bytes or more (the later, longer
// headers are read as far as the 40-byte part), with or without the 14-byte
// file header in front ("BM"); 1, 4 or 8 bits per pixel with a colour table
// (blue, green, red, 0 per entry), or 24 or 32 bits per pixel; rows stored
// bottom-up (positive height) or top-down (negative height), each padded to a
// multiple of 4 bytes; no compression. Colour indices beyond the table give
// black.
//
// Anything else, and any data too short for what its header says, raises
// tessaline::Exception "Bitmap image is not valid". Decoding never reads
// outside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drawing/canvas.h"

namespace tessaline {

class Bitmap {
 public:
  // An empty (0 x 0) bitmap.
  Bitmap() = default;

  // Decodes a bitmap (see above). Throws "Bitmap image is not valid".
  static Bitmap FromDib(std::span<const std::byte> data);

  int Width() const { return canvas_.Width(); }
  int Height() const { return canvas_.Height(); }
  int BitsPerPixel() const { return bits_per_pixel_; }

  // The decoded pixels (0xffRRGGBB), to draw from or onto.
  Canvas& canvas() { return canvas_; }
  const Canvas& canvas() const { return canvas_; }

 private:
  Canvas canvas_;
  int bits_per_pixel_ = 0;
};

// Largest number of pixels a bitmap may have (keeps the decoded canvas's size
// within reach of int arithmetic).
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;

}  // namespace tessaline
