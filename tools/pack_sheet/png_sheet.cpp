#include "pack_sheet/png_sheet.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "drawing/bitmap.h"

namespace tessaline {
namespace {

constexpr std::size_t kInfoHeaderSize = 40;

void PutU32(std::vector<std::byte>& d, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = std::byte(v >> (8 * i));
}

// The 40-byte header of a bottom-up bitmap.
std::vector<std::byte> InfoHeader(std::uint32_t width, std::uint32_t height, int bits,
                                  std::uint32_t colours, std::uint32_t image_size) {
  std::vector<std::byte> out(kInfoHeaderSize);
  PutU32(out, 0, kInfoHeaderSize);
  PutU32(out, 4, width);
  PutU32(out, 8, height);
  PutU32(out, 12, 1u | static_cast<std::uint32_t>(bits) << 16);  // planes, bits per pixel
  PutU32(out, 20, image_size);
  PutU32(out, 24, 2835);  // 72 dots per inch
  PutU32(out, 28, 2835);
  PutU32(out, 32, colours);
  return out;
}

// The picture's colours (0xRRGGBB) in order of first appearance, or nothing
// when it has more than 256.
std::optional<std::vector<std::uint32_t>> Palette(const std::vector<std::uint8_t>& bgr) {
  std::vector<std::uint32_t> palette;
  std::map<std::uint32_t, std::size_t> seen;
  for (std::size_t at = 0; at < bgr.size(); at += 3) {
    const std::uint32_t colour = bgr[at + 2] << 16 | bgr[at + 1] << 8 | bgr[at];
    if (seen.emplace(colour, palette.size()).second) {
      if (palette.size() == 256) return std::nullopt;
      palette.push_back(colour);
    }
  }
  return palette;
}

std::vector<std::byte> Indexed(std::uint32_t width, std::uint32_t height,
                               const std::vector<std::uint8_t>& bgr,
                               const std::vector<std::uint32_t>& palette) {
  std::map<std::uint32_t, std::uint8_t> index;
  for (std::size_t i = 0; i < palette.size(); ++i) index[palette[i]] = static_cast<std::uint8_t>(i);
  const std::size_t stride = (width + 3) / 4 * 4;
  std::vector<std::byte> out =
      InfoHeader(width, height, 8, static_cast<std::uint32_t>(palette.size()),
                 static_cast<std::uint32_t>(stride * height));
  for (std::uint32_t colour : palette) {
    for (int shift : {0, 8, 16, 24}) out.push_back(std::byte((colour >> shift) & 0xff));
  }
  for (std::uint32_t y = height; y-- > 0;) {
    std::vector<std::byte> row(stride);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
      row[x] = std::byte(index[bgr[at + 2] << 16 | bgr[at + 1] << 8 | bgr[at]]);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<std::byte> Direct(std::uint32_t width, std::uint32_t height,
                              const std::vector<std::uint8_t>& bgr) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<std::byte> out =
      InfoHeader(width, height, 24, 0, static_cast<std::uint32_t>(stride * height));
  for (std::uint32_t y = height; y-- > 0;) {
    std::vector<std::byte> row(stride);
    std::memcpy(row.data(), bgr.data() + static_cast<std::size_t>(y) * width * 3,
                static_cast<std::size_t>(width) * 3);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

bool IsPng(std::span<const std::byte> data) {
  return data.size() >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(data.data()), 0, 8) == 0;
}

std::vector<std::byte> PngToDib(std::span<const std::byte> data, std::uint32_t max_width,
                                std::uint32_t max_height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  // Whatever way this ends (an allocation that fails included), libpng's
  // state goes with it; png_image_free does nothing once it is gone.
  struct Release {
    png_image& image;
    ~Release() { png_image_free(&image); }
  } release{image};
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
    throw std::runtime_error(std::string("PNG image is not valid: ") + image.message);
  }
  if (image.width > max_width || image.height > max_height ||
      static_cast<std::int64_t>(image.width) * image.height > kMaxBitmapPixels) {
    throw PngTooLarge(image.width, image.height);
  }
  if (image.width == 0 || image.height == 0) {
    throw std::runtime_error("PNG image is not valid: it has no pixels");
  }
  image.format = PNG_FORMAT_BGR;
  std::vector<std::uint8_t> bgr(PNG_IMAGE_SIZE(image));
  const png_color black{0, 0, 0};
  if (!png_image_finish_read(&image, &black, bgr.data(), 0, nullptr)) {
    throw std::runtime_error(std::string("PNG image is not valid: ") + image.message);
  }
  if (const auto palette = Palette(bgr)) return Indexed(image.width, image.height, bgr, *palette);
  return Direct(image.width, image.height, bgr);
}

}  // namespace tessaline
