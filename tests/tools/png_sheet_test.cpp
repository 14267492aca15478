#include "pack_sheet/png_sheet.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/test_support.h"
#include "drawing/bitmap.h"
#include "pack_sheet/card_sheet.h"

namespace tessaline {
namespace {

std::vector<std::byte> Load(const std::string& relative) {
  const std::string text = test::ReadFile(TESSALINE_SOURCE_DIR "/" + relative);
  const auto* bytes = reinterpret_cast<const std::byte*>(text.data());
  return {bytes, bytes + text.size()};
}

void ExpectSamePixels(const Bitmap& a, const Bitmap& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      ASSERT_EQ(a.canvas().Pixel(x, y), b.canvas().Pixel(x, y)) << x << "," << y;
    }
  }
}

// kestrel.png is kestrel.bmp (24 bits, 72 colours) saved as PNG.
TEST(PngSheetTest, FewColoursGiveAnIndexedBitmapOfTheSamePicture) {
  const std::vector<std::byte> png = Load("tests/packs/kestrel.png");
  ASSERT_TRUE(IsPng(png));
  const std::vector<std::byte> dib = PngToDib(png, kMaxSheetWidth, kMaxSheetHeight);
  const Bitmap converted = Bitmap::FromDib(dib);
  EXPECT_EQ(converted.BitsPerPixel(), 8);
  EXPECT_EQ(std::to_integer<int>(dib[0]), 40);   // no file header
  EXPECT_EQ(std::to_integer<int>(dib[32]), 72);  // the table holds just the picture's colours
  ExpectSamePixels(converted, Bitmap::FromDib(Load("tests/packs/kestrel.bmp")));
}

TEST(PngSheetTest, ManyColoursGiveTwentyFourBits) {
  const Bitmap converted = Bitmap::FromDib(PngToDib(
      Load("fuzz/corpus/png_sheet_fuzz/many_colours.png"), kMaxSheetWidth, kMaxSheetHeight));
  EXPECT_EQ(converted.BitsPerPixel(), 24);
  ASSERT_EQ(converted.Width(), 18);
  ASSERT_EQ(converted.Height(), 16);
  // Written as red x * 14, green y * 16, blue (x + 18 y) mod 256, top row first.
  for (int y : {0, 7, 15}) {
    for (int x : {0, 5, 17}) {
      const std::uint32_t expected = 0xff000000u | std::uint32_t(x * 14) << 16 |
                                     std::uint32_t(y * 16) << 8 | std::uint32_t((x + 18 * y) % 256);
      EXPECT_EQ(converted.canvas().Pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(PngSheetTest, DamagedDataIsRefusedWithTheReason) {
  std::vector<std::byte> png = Load("tests/packs/kestrel.png");
  png.resize(png.size() / 2);
  EXPECT_THROW(PngToDib(png, kMaxSheetWidth, kMaxSheetHeight), std::runtime_error);
  EXPECT_FALSE(IsPng(Load("tests/packs/kestrel.bmp")));
  try {
    PngToDib(Load("tests/packs/kestrel.bmp"), kMaxSheetWidth, kMaxSheetHeight);
    FAIL() << "a bitmap was taken for a PNG";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("PNG image is not valid: ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace tessaline
