// Checking a pack author's card sheet and bringing it into the form a pack
// carries as its resource PACK: a device-independent bitmap without the
// 14-byte file header (a 40-byte information header, the colour table, the
// pixel rows).
//
// A sheet is a bitmap the installer can decode (drawing/bitmap.h), with or
// without its file header, or a PNG (converted by png_sheet.h), whose
// picture holds 9 x 4 cells of at least one pixel. The design's cells are
// 71 x 96 (a 639 x 384 sheet); a sheet may have cells up to four times as
// wide and as high, so it is at most 2,556 x 1,536 pixels. The size a file
// declares is checked before any pixel is decoded, so a small file that
// declares a huge picture is refused at once. Columns and rows beyond the
// grid are allowed (they are never shown) but reported.
//
// Thread use: no shared state.
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaline {

inline constexpr int kSheetColumns = 9;
inline constexpr int kSheetRows = 4;
inline constexpr int kMaxCellWidth = 4 * 71;
inline constexpr int kMaxCellHeight = 4 * 96;
inline constexpr int kMaxSheetWidth = kSheetColumns * kMaxCellWidth;  // 2556
inline constexpr int kMaxSheetHeight = kSheetRows * kMaxCellHeight;   // 1536

// The largest sheet file read, in bytes: room for the largest sheet at 32
// bits per pixel, or as a PNG stored without compression at 16 bits per
// channel.
inline constexpr std::size_t kMaxSheetFileSize = std::size_t{64} << 20;

// A sheet that cannot be a pack's; what() is the reason ("not a card sheet:
// Bitmap image is not valid (...)", "a 8 x 4 picture cannot hold ...").
class SheetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CardSheet {
  std::vector<std::byte> dib;  // the bitmap without file header
  std::string warning;         // why part of the picture is never shown, or empty
};

// Checks the sheet file's bytes `data` and returns the bitmap a pack
// carries. Throws SheetError.
CardSheet CheckCardSheet(std::span<const std::byte> data);

}  // namespace tessaline
