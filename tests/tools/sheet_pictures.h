// Card sheets made by the tests: PNG files written with libpng and bare
// bitmaps, of any size, their pixels coloured by where they are.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessaline::test {

// 0xRRGGBB of the pixel at x, y.
using PixelColour = std::function<std::uint32_t(int x, int y)>;

// Each card of a 9 x 4 sheet in a colour of its own, `seed` changing them all
// (cells narrower or lower than a pixel are taken as one pixel).
inline PixelColour CardColours(int cell_width, int cell_height, std::uint32_t seed = 0) {
  cell_width = cell_width < 1 ? 1 : cell_width;
  cell_height = cell_height < 1 ? 1 : cell_height;
  return [=](int x, int y) {
    const std::uint32_t card = static_cast<std::uint32_t>(y / cell_height * 9 + x / cell_width);
    return (card * 0x0a1b2cu + seed * 0x331100u) & 0xffffffu;
  };
}

// A PNG of `width` x `height` RGB pixels.
inline std::string MakePng(int width, int height, const PixelColour& colour) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      std::uint8_t* at = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      at[0] = static_cast<std::uint8_t>(c >> 16);
      at[1] = static_cast<std::uint8_t>(c >> 8);
      at[2] = static_cast<std::uint8_t>(c);
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::string png(size, '\0');
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr)) return {};
  png.resize(size);
  return png;
}

// `png` declaring `width` x `height` in its header (its CRC made to match),
// its pixel data left as it was: a picture bomb when the size is large.
inline std::string WithDeclaredSize(std::string png, std::uint32_t width, std::uint32_t height) {
  // The signature (8), the IHDR chunk's length (4) and type (4), then the size.
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  const uLong crc =
      crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 4 + 13);  // type and data
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return png;
}

// A bare 24-bit bitmap (40-byte header, rows bottom-up); with `pixels` false
// only its header, which declares the size all the same.
inline std::string MakeDib(std::int32_t width, std::int32_t height, const PixelColour& colour,
                           bool pixels = true) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::string dib(40, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(0, 40);
  put(4, static_cast<std::uint32_t>(width));
  put(8, static_cast<std::uint32_t>(height));
  put(12, 1u | 24u << 16);
  if (!pixels) return dib;
  for (int y = height - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      row[3 * x] = static_cast<char>(c);
      row[3 * x + 1] = static_cast<char>(c >> 8);
      row[3 * x + 2] = static_cast<char>(c >> 16);
    }
    dib += row;
  }
  return dib;
}

}  // namespace tessaline::test
