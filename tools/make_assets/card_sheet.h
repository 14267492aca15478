// The card sheet: 9 columns by 4 rows of 71 x 96 cells. Row by row the suits
// spades, clubs, diamonds and hearts; in each row the ranks 7, 8, 9, 10, jack,
// queen, king and ace, then one of four card-back designs.
#pragma once

#include <vector>

#include "make_assets/raster.h"

namespace assets {

inline constexpr int kCardWidth = 71;
inline constexpr int kCardHeight = 96;
inline constexpr int kSheetWidth = 9 * kCardWidth;    // 639
inline constexpr int kSheetHeight = 4 * kCardHeight;  // 384

// The sheet's pixels, row-major, top row first, smoothed by supersampling.
std::vector<Rgb> DrawCardSheet();

}  // namespace assets
