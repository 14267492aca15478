// Converting a PNG picture into the device-independent bitmap a pack carries:
// a 40-byte information header, a colour table and bottom-up rows, without
// the 14-byte file header. A picture of at most 256 colours becomes 8 bits
// per pixel with a table of exactly its colours (in order of first
// appearance, top-left first); any other becomes 24 bits per pixel.
// Transparency is composited onto black, as the game draws no alpha.
//
// Thread use: no shared state.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tessaline {

// Whether `data` starts with the PNG signature.
bool IsPng(std::span<const std::byte> data);

// Decodes the PNG `data` with libpng and returns the bitmap. Throws
// std::runtime_error with libpng's reason for data that is not a PNG it can
// decode, and for pictures larger than kMaxBitmapPixels (drawing/bitmap.h).
std::vector<std::byte> PngToDib(std::span<const std::byte> data);

}  // namespace tessaline
