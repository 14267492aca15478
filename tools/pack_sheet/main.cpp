// tessaline_pack_sheet SHEET OUTPUT
//
// Checks a pack author's card sheet and writes it in the form a pack carries
// as its resource "PACK": a device-independent bitmap without the 14-byte file
// header (a 40-byte information header, the colour table, the pixel rows).
// A sheet is a bitmap the installer can decode whose picture holds 9 x 4
// cells of at least one pixel; columns and rows beyond the grid are allowed
// (they are never shown) but reported. On any fault it prints
// "<SHEET>: <reason>" and exits 1, so the build stops with that message.
// A PNG sheet is first converted into a bitmap (png_sheet.h).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack_sheet/png_sheet.h"
#include "drawing/bitmap.h"
#include "support/exception.h"

namespace {

using tessaline::Bitmap;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint32_t U32(const std::vector<std::byte>& d, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | std::to_integer<std::uint32_t>(d[at + i]);
  return v;
}

void PutU32(std::vector<std::byte>& d, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = std::byte(v >> (8 * i));
}

// The sheet as a bare DIB. `data` has been decoded successfully, so every
// field read here lies inside it. A bare DIB is returned unchanged; a file
// loses its file header, any longer header is cut to its 40-byte part, and
// the pixels move up to follow the colour table directly.
std::vector<std::byte> BareDib(const std::vector<std::byte>& data) {
  bool has_file_header = data.size() >= 2 && data[0] == std::byte{'B'} && data[1] == std::byte{'M'};
  std::size_t info = has_file_header ? kFileHeaderSize : 0;
  std::uint32_t header_size = U32(data, info);
  if (!has_file_header && header_size == kInfoHeaderSize) return data;

  std::int32_t width = static_cast<std::int32_t>(U32(data, info + 4));
  std::int32_t height = static_cast<std::int32_t>(U32(data, info + 8));
  std::uint32_t bits = U32(data, info + 14) & 0xffff;
  std::uint32_t colors_used = U32(data, info + 32);
  // Indexed pixels need their table; direct colours may carry an unused one.
  std::size_t table_entries = bits <= 8 && colors_used == 0 ? 1u << bits : colors_used;
  std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  std::size_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  std::size_t table_at = info + header_size;
  std::size_t pixels_at =
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tessaline_pack_sheet SHEET OUTPUT\n";
    return 2;
  }
  const std::string sheet = argv[1];
  auto fail = [&](const std::string& reason) {
    std::cerr << sheet << ": " << reason << "\n";
    return 1;
  };

  std::ifstream in(sheet, std::ios::binary);
  if (!in) return fail("cannot be read");
  std::vector<std::byte> data;
  for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) data.push_back(std::byte(*it));

  if (tessaline::IsPng(data)) {
    try {
      data = tessaline::PngToDib(data);
    } catch (const std::runtime_error& e) {
      return fail(std::string("not a card sheet: ") + e.what());
    }
  }

  Bitmap picture;
  try {
    picture = Bitmap::FromDib(data);
  } catch (const tessaline::Exception& e) {
    return fail("not a card sheet: " + e.Message() +
                " (an uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel is needed)");
  }
  int cell_width = picture.Width() / 9;
  int cell_height = picture.Height() / 4;
  if (cell_width < 1 || cell_height < 1) {
    return fail(
        "a " + std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) +
        " picture cannot hold the 9 x 4 grid of cards (8 faces and a back in each of 4 rows)");
  }
  if (picture.Width() % 9 != 0 || picture.Height() % 4 != 0) {
    std::cerr << sheet << ": warning: " << picture.Width() << " x " << picture.Height()
              << " is not a whole 9 x 4 grid; cells are " << cell_width << " x " << cell_height
              << " and the rest is never shown\n";
  }

  std::vector<std::byte> dib = BareDib(data);
  try {
    if (!SamePixels(picture, Bitmap::FromDib(dib)))
      return fail("could not be converted faithfully");
  } catch (const tessaline::Exception&) {
    return fail("could not be converted faithfully");
  }

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(dib.data()), static_cast<std::streamsize>(dib.size()));
  out.close();
  if (!out) return fail(std::string("cannot write ") + argv[2]);
  return 0;
}
