// Decodes arbitrary bytes as a bitmap: it must either give a picture whose
// size the data can hold or refuse it with the library's error, never read
// outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "drawing/bitmap.h"
#include "support/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    tessaline::Bitmap bitmap = tessaline::Bitmap::FromDib(std::as_bytes(std::span(data, size)));
    // Every pixel needs at least one bit of input.
    if (static_cast<std::uint64_t>(bitmap.Width()) * static_cast<std::uint64_t>(bitmap.Height()) >
        static_cast<std::uint64_t>(size) * 8) {
      std::abort();
    }
    volatile std::uint32_t sink = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
      sink = sink + bitmap.canvas().Pixel(bitmap.Width() - 1, y);
  } catch (const tessaline::Exception&) {
  }
  return 0;
}
