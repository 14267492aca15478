// Converts arbitrary bytes as a PNG card sheet: libpng either refuses them
// (a picture larger than a sheet before its pixels are decoded) or gives a
// bitmap that the installer's own decoder reads back; nothing reads outside
// the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <stdexcept>

#include "drawing/bitmap.h"
#include "pack_sheet/card_sheet.h"
#include "pack_sheet/png_sheet.h"
#include "support/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto input = std::as_bytes(std::span(data, size));
  std::vector<std::byte> dib;
  try {
    dib = tessaline::PngToDib(input, tessaline::kMaxSheetWidth, tessaline::kMaxSheetHeight);
  } catch (const std::runtime_error&) {
    return 0;
  }
  try {
    const tessaline::Bitmap bitmap = tessaline::Bitmap::FromDib(dib);
    if (bitmap.BitsPerPixel() != 8 && bitmap.BitsPerPixel() != 24) std::abort();
  } catch (const tessaline::Exception&) {
    std::abort();  // every converted picture must decode
  }
  return 0;
}
