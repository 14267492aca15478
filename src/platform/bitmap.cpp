#include "platform/bitmap.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/exception.h"
#include "platform/resources.h"

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
  std::uint32_t u = U32(p);
  std::int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

}  // namespace

Bitmap Bitmap::FromDib(std::span<const std::byte> data) {
  // A file starts with "BM"; a bare information header starts with its size
  // (40 or more), never with those two bytes.
  std::size_t info = 0;
  std::uint64_t pixel_offset = 0;  // from the file header; 0 = right after the table
  if (data.size() >= 2 && data[0] == std::byte{'B'} && data[1] == std::byte{'M'}) {
    if (data.size() < kFileHeaderSize) Invalid();
    pixel_offset = U32(data.data() + 10);
    info = kFileHeaderSize;
  }
  if (data.size() - info < kInfoHeaderSize) Invalid();
  const std::byte* h = data.data() + info;
  std::uint32_t header_size = U32(h);
  std::int32_t width = I32(h + 4);
  std::int32_t height = I32(h + 8);
  std::uint32_t planes = U16(h + 12);
  std::uint32_t bits = U16(h + 14);
  std::uint32_t compression = U32(h + 16);
  std::uint32_t colors_used = U32(h + 32);

  if (header_size < kInfoHeaderSize || header_size > data.size() - info) Invalid();
  if (planes != 1 || compression != 0) Invalid();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) Invalid();
  if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) Invalid();
  bool top_down = height < 0;
  std::int64_t rows = top_down ? -std::int64_t{height} : height;
  if (std::int64_t{width} * rows > kMaxBitmapPixels) Invalid();

  // The colour table: for indexed pixels `colors_used` entries, or the whole
  // range of an index when it is 0; direct colours may carry an unused table.
  std::uint64_t table_entries = colors_used;
  if (bits <= 8) {
    std::uint64_t full = std::uint64_t{1} << bits;
    if (table_entries == 0) table_entries = full;
    if (table_entries > full) Invalid();
  }
  std::uint64_t table_offset = info + std::uint64_t{header_size};
  if (table_entries > (data.size() - table_offset) / 4) Invalid();
  std::array<std::uint32_t, 256> palette;
  palette.fill(0xff000000u);
  if (bits <= 8) {
    for (std::uint64_t i = 0; i < table_entries; ++i) {
      const std::byte* e = data.data() + table_offset + 4 * i;
      palette[i] = 0xff000000u | std::to_integer<std::uint32_t>(e[2]) << 16 |
                   std::to_integer<std::uint32_t>(e[1]) << 8 | std::to_integer<std::uint32_t>(e[0]);
    }
  }
  if (pixel_offset == 0) pixel_offset = table_offset + 4 * table_entries;

  // Rows are padded to whole 32-bit words.
  std::uint64_t stride = (std::uint64_t(width) * bits + 31) / 32 * 4;
  std::uint64_t needed = stride * static_cast<std::uint64_t>(rows);
  if (pixel_offset > data.size() || needed > data.size() - pixel_offset) Invalid();

  Bitmap bitmap;
  bitmap.bits_per_pixel_ = static_cast<int>(bits);
  bitmap.canvas_ = Canvas(width, static_cast<int>(rows));
  const std::byte* pixels = data.data() + pixel_offset;
  for (std::int64_t stored = 0; stored < rows; ++stored) {
    const std::byte* in = pixels + stored * static_cast<std::int64_t>(stride);
    int y = static_cast<int>(top_down ? stored : rows - 1 - stored);
    std::uint32_t* out = bitmap.canvas_.Row(y);
    switch (bits) {
      case 1:
      case 4:
      case 8: {
        const std::uint32_t per_byte = 8 / bits;
        const std::uint32_t mask = (1u << bits) - 1;
        for (std::int32_t x = 0; x < width; ++x) {
          std::uint32_t byte = std::to_integer<std::uint32_t>(in[x / per_byte]);
          // The leftmost pixel sits in the byte's highest bits.
          std::uint32_t shift = (per_byte - 1 - x % per_byte) * bits;
          out[x] = palette[(byte >> shift) & mask];
        }
        break;
      }
      case 24:
      case 32: {
        const int step = static_cast<int>(bits / 8);
        for (std::int32_t x = 0; x < width; ++x) {
          const std::byte* p = in + std::int64_t{x} * step;
          out[x] = 0xff000000u | std::to_integer<std::uint32_t>(p[2]) << 16 |
                   std::to_integer<std::uint32_t>(p[1]) << 8 | std::to_integer<std::uint32_t>(p[0]);
        }
        break;
      }
    }
  }
  return bitmap;
}

Bitmap Bitmap::FromResource(std::string_view name) {
  return FromDib(FindResource(name));
}

}  // namespace tessaline
