// The card sheet check: the sizes a sheet may have, the reasons a picture is
// refused, and a picture bomb refused from its header, within a memory limit.
#include "pack_sheet/card_sheet.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <span>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "drawing/bitmap.h"
#include "sheet_pictures.h"

namespace tessaline {
namespace {

using test::CardColours;
using test::MakeDib;
using test::MakePng;

std::span<const std::byte> Bytes(const std::string& data) {
  return std::as_bytes(std::span(data.data(), data.size()));
}

// What CheckCardSheet says of `data`: "ok", "ok, warning: ..." or the reason.
std::string Verdict(const std::string& data) {
  try {
    const CardSheet sheet = CheckCardSheet(Bytes(data));
    return sheet.warning.empty() ? "ok" : "ok, warning: " + sheet.warning;
  } catch (const SheetError& error) {
    return error.what();
  }
}

const std::string kTooLarge = " picture is larger than a card sheet may be (at most 2556 x 1536";

TEST(CardSheetTest, SizesAndKindsOfPictures) {
  const std::string bomb = test::WithDeclaredSize(MakePng(9, 4, CardColours(1, 1)), 16384, 16384);
  std::string cut_png = MakePng(18, 8, CardColours(2, 2));
  cut_png.resize(cut_png.size() / 2);
  struct Case {
    const char* what;
    std::string data;
    std::string verdict;  // its beginning
  };
  const std::vector<Case> cases = {
      {"the design size", MakePng(639, 384, CardColours(71, 96)), "ok"},
      {"the design size as a bitmap", MakeDib(639, 384, CardColours(71, 96)), "ok"},
      {"cells of one pixel", MakePng(9, 4, CardColours(1, 1)), "ok"},
      {"the widest", MakePng(2556, 4, CardColours(284, 1)), "ok"},
      {"the highest", MakeDib(9, 1536, CardColours(1, 384)), "ok"},
      {"a part beyond the grid", MakePng(640, 385, CardColours(71, 96)),
       "ok, warning: 640 x 385 is not a whole 9 x 4 grid; cells are 71 x 96"},
      {"too narrow", MakePng(8, 4, CardColours(1, 1)),
       "a 8 x 4 picture cannot hold the 9 x 4 grid"},
      {"too low", MakeDib(9, 3, CardColours(1, 1)), "a 9 x 3 picture cannot hold the 9 x 4 grid"},
      {"one column too wide", MakePng(2557, 4, CardColours(284, 1)), "a 2557 x 4" + kTooLarge},
      {"one row too high", MakeDib(9, 1537, CardColours(1, 384), false), "a 9 x 1537" + kTooLarge},
      {"a PNG bomb", bomb, "a 16384 x 16384" + kTooLarge},
      {"a bitmap bomb", MakeDib(16384, -16384, CardColours(1, 1), false),
       "a 16384 x 16384" + kTooLarge},
      {"a cut PNG", cut_png, "not a card sheet: PNG image is not valid: "},
      {"a cut bitmap", MakeDib(18, 8, CardColours(2, 2)).substr(0, 60),
       "not a card sheet: Bitmap image is not valid (an uncompressed bitmap"},
      {"text", "a card sheet, honestly", "not a card sheet: Bitmap image is not valid"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Verdict(c.data).substr(0, c.verdict.size()), c.verdict) << c.what;
  }
}

// The sheet a pack carries shows the picture given, without a file header,
// at 8 bits when the picture has at most 256 colours.
TEST(CardSheetTest, TheBitmapCarriedIsThePicture) {
  const auto colours = CardColours(3, 5);
  const CardSheet sheet = CheckCardSheet(Bytes(MakePng(27, 20, colours)));
  const Bitmap shown = Bitmap::FromDib(sheet.dib);
  EXPECT_EQ(std::to_integer<int>(sheet.dib[0]), 40);
  EXPECT_EQ(shown.BitsPerPixel(), 8);
  ASSERT_EQ(shown.Width(), 27);
  ASSERT_EQ(shown.Height(), 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 27; ++x) {
      ASSERT_EQ(shown.canvas().Pixel(x, y), 0xff000000u | colours(x, y)) << x << "," << y;
    }
  }
  // A bare bitmap is carried as it is.
  const std::string dib = MakeDib(27, 20, colours);
  const CardSheet same = CheckCardSheet(Bytes(dib));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(same.dib.data()), same.dib.size()), dib);
}

// A small PNG declaring 16384 x 16384 would need gigabytes to decode; it is
// refused from its header at once, within a 1 GiB address space.
TEST(CardSheetTest, APictureBombIsRefusedQuicklyWithinAMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  const std::string bomb = test::WithDeclaredSize(MakePng(9, 4, CardColours(1, 1)), 16384, 16384);
  ASSERT_LT(bomb.size(), 200u);
  const auto start = std::chrono::steady_clock::now();
  test::Child child([&] {
    const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) return 3;
    return Verdict(bomb).find(kTooLarge) != std::string::npos ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
#endif
}

}  // namespace
}  // namespace tessaline
