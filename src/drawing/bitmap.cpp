#include "drawing/bitmap.h"

#include <algorithm>
#include <array>
#include <limits>

#include "support/exception.h"

namespace tessaline {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

[[noreturn]] void Invalid() {
  throw Exception("Bitmap image is not valid");
}

std::uint32_t U16(const std::byte* p) {
  return std::to_integer<std::uint32_t>(p[0]) | std::to_integer<std::uint32_t>(p[1]) << 8;
}
std::uint32_t U32(const std::byte* p) {
  return U16(p) | U16(p + 2) << 16;
}
std::int32_t I32(const std::byte* p) {
  return static_cast<std::int32_t>(U32(p));  // two's complement
}

// A canvas pixel from the blue, green and red bytes at `p`.
std::uint32_t PixelFromBgr(const std::byte* p) {
  return 0xff000000u | std::to_integer<std::uint32_t>(p[2]) << 16 |
         std::to_integer<std::uint32_t>(p[1]) << 8 | std::to_integer<std::uint32_t>(p[0]);
}

// The fields of the 40-byte information header that decoding uses.
struct InfoHeader {
  std::uint32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top-down
  std::uint32_t planes = 0;
  std::uint32_t bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t colors_used = 0;
};

// Where everything lies in the data, all checked to fit inside it.
struct DibLayout {
  int width = 0;
  int rows = 0;
  bool top_down = false;
  std::uint32_t bits = 0;
  std::uint64_t table_offset = 0;
  std::uint64_t table_entries = 0;
  std::uint64_t pixel_offset = 0;
  std::uint64_t stride = 0;  // bytes from one stored row to the next
};

using Palette = std::array<std::uint32_t, 256>;

// Refuses what cannot be decoded: a short or overlong header, compression,
// depths other than 1, 4, 8, 24 and 32, sizes out of range.
void CheckInfoHeader(const InfoHeader& h, std::size_t room) {
  if (h.size < kInfoHeaderSize || h.size > room) Invalid();
  if (h.planes != 1 || h.compression != 0) Invalid();
  if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24 && h.bits != 32) Invalid();
  if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min()) {
    Invalid();
  }
  const std::int64_t rows = h.height < 0 ? -std::int64_t{h.height} : h.height;
  if (std::int64_t{h.width} * rows > kMaxBitmapPixels) Invalid();
}

// The colour table's length: for indexed pixels `colors_used` entries, or the
// whole range of an index when it is 0; direct colours may carry an unused
// table.
std::uint64_t TableEntries(const InfoHeader& h) {
  std::uint64_t entries = h.colors_used;
  if (h.bits <= 8) {
    const std::uint64_t full = std::uint64_t{1} << h.bits;
    if (entries == 0) entries = full;
    if (entries > full) Invalid();
  }
  return entries;
}

// Reads the headers and checks that the table and every row lie inside the
// data. A file starts with "BM"; a bare information header starts with its
// size (40 or more), never with those two bytes.
DibLayout ReadLayout(std::span<const std::byte> data) {
  std::size_t info = 0;
  DibLayout layout;  // pixel_offset 0 until known: right after the table
  if (data.size() >= 2 && data[0] == std::byte{'B'} && data[1] == std::byte{'M'}) {
    if (data.size() < kFileHeaderSize) Invalid();
    layout.pixel_offset = U32(data.data() + 10);
    info = kFileHeaderSize;
  }
  if (data.size() - info < kInfoHeaderSize) Invalid();
  const std::byte* h = data.data() + info;
  const InfoHeader header{U32(h),      I32(h + 4),  I32(h + 8), U16(h + 12),
                          U16(h + 14), U32(h + 16), U32(h + 32)};
  CheckInfoHeader(header, data.size() - info);
  layout.width = header.width;
  layout.top_down = header.height < 0;
  layout.rows = static_cast<int>(layout.top_down ? -std::int64_t{header.height} : header.height);
  layout.bits = header.bits;
  layout.table_entries = TableEntries(header);
  layout.table_offset = info + std::uint64_t{header.size};
  if (layout.table_entries > (data.size() - layout.table_offset) / 4) Invalid();
  if (layout.pixel_offset == 0) {
    layout.pixel_offset = layout.table_offset + 4 * layout.table_entries;
  }
  // Rows are padded to whole 32-bit words.
  layout.stride = (std::uint64_t(layout.width) * layout.bits + 31) / 32 * 4;
  const std::uint64_t needed = layout.stride * static_cast<std::uint64_t>(layout.rows);
  if (layout.pixel_offset > data.size() || needed > data.size() - layout.pixel_offset) Invalid();
  return layout;
}

// The colour table as canvas pixels; indices it does not cover give black.
Palette ReadPalette(std::span<const std::byte> data, const DibLayout& layout) {
  Palette palette;
  palette.fill(0xff000000u);
  if (layout.bits > 8) return palette;  // a direct-colour table is not used
  for (std::uint64_t i = 0; i < layout.table_entries; ++i) {
    palette[i] = PixelFromBgr(data.data() + layout.table_offset + 4 * i);
  }
  return palette;
}

// One row of colour indices, the leftmost pixel in a byte's highest bits.
// Walks the row byte by byte, so that no pixel costs a division: at 8 bits a
// byte is one index, below it each byte gives 8 / bits pixels.
void DecodeIndexedRow(const std::byte* in, int width, std::uint32_t bits, const Palette& palette,
                      std::uint32_t* out) {
  if (bits == 8) {
    for (int x = 0; x < width; ++x) out[x] = palette[std::to_integer<std::uint8_t>(in[x])];
    return;
  }
  const int per_byte = static_cast<int>(8 / bits);
  const std::uint32_t mask = (1u << bits) - 1;
  int x = 0;
  for (const std::byte* byte = in; x < width; ++byte) {
    const std::uint32_t value = std::to_integer<std::uint32_t>(*byte);
    const int count = std::min(per_byte, width - x);
    for (int k = 0; k < count; ++k, ++x) {
      out[x] = palette[(value >> (8 - bits * static_cast<std::uint32_t>(k + 1))) & mask];
    }
  }
}

// One row of 24- or 32-bit pixels (blue, green, red and, at 32 bits, a byte
// that is not used).
void DecodeDirectRow(const std::byte* in, int width, std::uint32_t bits, std::uint32_t* out) {
  const int step = static_cast<int>(bits / 8);
  for (int x = 0; x < width; ++x) out[x] = PixelFromBgr(in + std::int64_t{x} * step);
}

}  // namespace

Bitmap Bitmap::FromDib(std::span<const std::byte> data) {
  const DibLayout layout = ReadLayout(data);
  const Palette palette = ReadPalette(data, layout);
  Bitmap bitmap;
  bitmap.bits_per_pixel_ = static_cast<int>(layout.bits);
  bitmap.canvas_ = Canvas(layout.width, layout.rows);
  const std::byte* pixels = data.data() + layout.pixel_offset;
  for (int stored = 0; stored < layout.rows; ++stored) {
    const std::byte* in = pixels + static_cast<std::uint64_t>(stored) * layout.stride;
    std::uint32_t* out = bitmap.canvas_.Row(layout.top_down ? stored : layout.rows - 1 - stored);
    if (layout.bits <= 8) {
      DecodeIndexedRow(in, layout.width, layout.bits, palette, out);
    } else {
      DecodeDirectRow(in, layout.width, layout.bits, out);
    }
  }
  return bitmap;
}

}  // namespace tessaline
