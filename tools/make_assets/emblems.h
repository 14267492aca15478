// The small pictures: the heading strip's logo (130 x 34, black on white in a
// one-pixel black frame) and the program's icon (32 x 32, 16 colours).
#pragma once

#include <vector>

#include "make_assets/raster.h"

namespace assets {

inline constexpr int kLogoWidth = 130;
inline constexpr int kLogoHeight = 34;
inline constexpr int kIconSize = 32;

// The logo as black (true) and white (false) pixels, row-major, top row first.
std::vector<bool> DrawLogo();

struct IconPicture {
  std::vector<Rgb> pixels;   // row-major, top row first
  std::vector<bool> opaque;  // false where the desktop shows through
};

IconPicture DrawIcon();

}  // namespace assets
