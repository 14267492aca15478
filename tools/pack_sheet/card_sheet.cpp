#include "pack_sheet/card_sheet.h"

#include <cstdint>
#include <cstring>

#include "drawing/bitmap.h"
#include "pack_sheet/png_sheet.h"
#include "support/exception.h"

namespace tessaline {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint32_t U32(std::span<const std::byte> d, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | std::to_integer<std::uint32_t>(d[at + i]);
  return v;
}

void PutU32(std::vector<std::byte>& d, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = std::byte(v >> (8 * i));
}

bool HasFileHeader(std::span<const std::byte> data) {
  return data.size() >= 2 && data[0] == std::byte{'B'} && data[1] == std::byte{'M'};
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

[[noreturn]] void TooLarge(std::int64_t width, std::int64_t height) {
  throw SheetError("a " + SizeText(width, height) +
                   " picture is larger than a card sheet may be (at most " +
                   SizeText(kMaxSheetWidth, kMaxSheetHeight) + ": cards of at most " +
                   SizeText(kMaxCellWidth, kMaxCellHeight) + ")");
}

// Refuses a bitmap that declares more than a sheet may hold, before its
// pixels are decoded. Anything that does not begin like a bitmap's header
// (of 40 to 124 bytes) is left to the decoder to refuse.
void CheckDeclaredBitmapSize(std::span<const std::byte> data) {
  const std::size_t info = HasFileHeader(data) ? kFileHeaderSize : 0;
  if (data.size() < info + 12) return;
  const std::uint32_t header_size = U32(data, info);
  if (header_size < kInfoHeaderSize || header_size > 124) return;
  const std::int64_t width = static_cast<std::int32_t>(U32(data, info + 4));
  const std::int64_t height = static_cast<std::int32_t>(U32(data, info + 8));
  const std::int64_t rows = height < 0 ? -height : height;
  if (width > kMaxSheetWidth || rows > kMaxSheetHeight) TooLarge(width, rows);
}

// The sheet as a bare DIB. `data` has been decoded successfully, so every
// field read here lies inside it. A bare DIB is returned unchanged; a file
// loses its file header, any longer header is cut to its 40-byte part, and
// the pixels move up to follow the colour table directly.
std::vector<std::byte> BareDib(std::span<const std::byte> data) {
  const bool has_file_header = HasFileHeader(data);
  const std::size_t info = has_file_header ? kFileHeaderSize : 0;
  const std::uint32_t header_size = U32(data, info);
  if (!has_file_header && header_size == kInfoHeaderSize) return {data.begin(), data.end()};

  const auto width = static_cast<std::int32_t>(U32(data, info + 4));
  const auto height = static_cast<std::int32_t>(U32(data, info + 8));
  const std::uint32_t bits = U32(data, info + 14) & 0xffff;
  const std::uint32_t colors_used = U32(data, info + 32);
  // Indexed pixels need their table; direct colours may carry an unused one.
  const std::size_t table_entries = bits <= 8 && colors_used == 0 ? 1u << bits : colors_used;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  const std::size_t table_at = info + header_size;
  const std::size_t pixels_at =
      has_file_header && U32(data, 10) != 0 ? U32(data, 10) : table_at + 4 * table_entries;

  std::vector<std::byte> out(kInfoHeaderSize);
  std::memcpy(out.data(), data.data() + info, kInfoHeaderSize);
  PutU32(out, 0, kInfoHeaderSize);
  PutU32(out, 32, static_cast<std::uint32_t>(table_entries));
  out.insert(out.end(), data.begin() + table_at, data.begin() + table_at + 4 * table_entries);
  out.insert(out.end(), data.begin() + pixels_at, data.begin() + pixels_at + stride * rows);
  return out;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.canvas().Row(y), b.canvas().Row(y), sizeof(std::uint32_t) * a.Width()) != 0)
      return false;
  }
  return true;
}

Bitmap Decode(std::span<const std::byte> dib) {
  try {
    return Bitmap::FromDib(dib);
  } catch (const Exception& e) {
    throw SheetError("not a card sheet: " + e.Message() +
                     " (an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel is needed)");
  }
}

}  // namespace

CardSheet CheckCardSheet(std::span<const std::byte> data) {
  std::vector<std::byte> converted;
  if (IsPng(data)) {
    try {
      converted = PngToDib(data, kMaxSheetWidth, kMaxSheetHeight);
    } catch (const PngTooLarge& e) {
      TooLarge(e.width, e.height);
    } catch (const std::runtime_error& e) {
      throw SheetError(std::string("not a card sheet: ") + e.what());
    }
    data = converted;
  }
  CheckDeclaredBitmapSize(data);
  const Bitmap picture = Decode(data);
  const int cell_width = picture.Width() / kSheetColumns;
  const int cell_height = picture.Height() / kSheetRows;
  if (cell_width < 1 || cell_height < 1) {
    throw SheetError(
        "a " + SizeText(picture.Width(), picture.Height()) +
        " picture cannot hold the 9 x 4 grid of cards (8 faces and a back in each of 4 rows)");
  }
  CardSheet sheet;
  if (picture.Width() % kSheetColumns != 0 || picture.Height() % kSheetRows != 0) {
    sheet.warning = SizeText(picture.Width(), picture.Height()) +
                    " is not a whole 9 x 4 grid; cells are " + SizeText(cell_width, cell_height) +
                    " and the rest is never shown";
  }
  sheet.dib = BareDib(data);
  try {
    if (SamePixels(picture, Bitmap::FromDib(sheet.dib))) return sheet;
  } catch (const Exception&) {
  }
  throw SheetError("could not be converted faithfully");
}

}  // namespace tessaline
