// The bands of the backdrop's blend over a rectangle: where each of the 100
// bands lies and its colour. Plain values, computed on demand; any thread.
#pragma once

#include <array>
#include <cstdint>

#include "drawing/geometry.h"

namespace tessaline {

struct GradientBands {
  static constexpr int kCount = 100;

  // Before band i the part not yet painted is the width[i] x height[i]
  // rectangle at the top-left corner; band i paints the strip right of
  // width[i + 1] over that height and the strip below height[i + 1] over
  // that width. width[0] and height[0] are the rectangle's size, both fall
  // to 0 at the last band.
  std::array<std::int64_t, kCount + 1> width;
  std::array<std::int64_t, kCount + 1> height;
  // Band i's canvas pixel: (edge * (100 - i) + corner * i) / 100 per channel.
  std::array<std::uint32_t, kCount> pixel;

  // The bands of a w x h rectangle; system colours are resolved first.
  static GradientBands Compute(std::int64_t w, std::int64_t h, Color corner, Color edge);
};

}  // namespace tessaline
