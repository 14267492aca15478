// Small value types of the drawing layer: points, sizes, rectangles and
// colours. All are plain values, cheap to copy, safe to share between threads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tessaline {

// The nearest int to a 64-bit value: coordinates computed in 64 bits are
// brought back into range this way rather than wrapped.
constexpr int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

struct IntPoint {
  int x = 0;
  int y = 0;
};

struct IntSize {
  int width = 0;
  int height = 0;

  friend bool operator==(const IntSize&, const IntSize&) = default;
};

// A rectangle (left, top, right, bottom) whose right and bottom are exclusive:
// it covers the columns left..right-1 and the rows top..bottom-1. One whose
// right is not greater than its left, or whose bottom is not greater than its
// top, covers nothing.
struct IntRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  // Width and height as 64-bit values: right - left may not fit in an int.
  constexpr std::int64_t Width() const { return std::int64_t{right} - left; }
  constexpr std::int64_t Height() const { return std::int64_t{bottom} - top; }
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  // The common part of both rectangles (empty when they do not meet).
  constexpr IntRect Intersected(const IntRect& other) const {
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
  }

  friend bool operator==(const IntRect&, const IntRect&) = default;
};

// A colour as the platform passes it: red + 256 * green + 65536 * blue.
class Color {
 public:
  constexpr Color() = default;
  constexpr explicit Color(std::int32_t value) : value_(value) {}

  static constexpr Color FromRgb(int red, int green, int blue) {
    return Color((red & 0xff) | (green & 0xff) << 8 | (blue & 0xff) << 16);
  }
  // The colour of a pixel of a canvas (0xffRRGGBB).
  static constexpr Color FromPixel(std::uint32_t pixel) {
    return FromRgb((pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
  }

  constexpr std::int32_t Value() const { return value_; }
  constexpr int Red() const { return value_ & 0xff; }
  constexpr int Green() const { return (value_ >> 8) & 0xff; }
  constexpr int Blue() const { return (value_ >> 16) & 0xff; }

  // The canvas pixel of this colour (0xffRRGGBB).
  constexpr std::uint32_t ToPixel() const {
    return 0xff000000u | static_cast<std::uint32_t>(Red()) << 16 |
           static_cast<std::uint32_t>(Green()) << 8 | static_cast<std::uint32_t>(Blue());
  }

  friend constexpr bool operator==(const Color&, const Color&) = default;

 private:
  std::int32_t value_ = 0;
};

// Named colours of the toolkit.
inline constexpr Color clBlack = Color::FromRgb(0, 0, 0);
inline constexpr Color clGreen = Color::FromRgb(0, 128, 0);
inline constexpr Color clWhite = Color::FromRgb(255, 255, 255);

}  // namespace tessaline
