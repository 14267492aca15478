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
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace tessaline {

// Whether `data` starts with the PNG signature.
bool IsPng(std::span<const std::byte> data);

// A PNG that declares a picture larger than the caller takes.
class PngTooLarge : public std::runtime_error {
 public:
  PngTooLarge(std::uint32_t w, std::uint32_t h)
      : std::runtime_error("PNG image is too large: " + std::to_string(w) + " x " +
                           std::to_string(h)),
        width(w),
        height(h) {}
  std::uint32_t width;
  std::uint32_t height;
};

// Decodes the PNG `data` with libpng and returns the bitmap. Only the header
// is read before the picture's size is checked: one wider than `max_width`
// or higher than `max_height` throws PngTooLarge before any memory is taken
// for its pixels. Throws std::runtime_error with libpng's reason for data
// that is not a PNG it can decode.
std::vector<std::byte> PngToDib(std::span<const std::byte> data, std::uint32_t max_width,
                                std::uint32_t max_height);

}  // namespace tessaline
