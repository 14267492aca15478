// The shipped pictures: their file formats, and that they hold what a player
// expects to see.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "drawing/bitmap.h"
#include "os/process.h"
#include "support/resources.h"

namespace tessaline {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes Resource(const char* name) {
  return ReadFile(std::string(TESSALINE_RESOURCE_DIR) + "/" + name);
}

std::uint32_t U16(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}
std::uint32_t Big32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b.at(at)} << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

Bitmap Decode(const Bytes& b) {
  return Bitmap::FromDib(std::as_bytes(std::span(b)));
}

struct InfoHeader {
  std::uint32_t size, width, height, planes, bits, compression, image_size, xres, yres, used,
      important;
};

InfoHeader ReadInfo(const Bytes& b, std::size_t at) {
  return {U32(b, at),      U32(b, at + 4),  U32(b, at + 8),  U16(b, at + 12),
          U16(b, at + 14), U32(b, at + 16), U32(b, at + 20), U32(b, at + 24),
          U32(b, at + 28), U32(b, at + 32), U32(b, at + 36)};
}

TEST(AssetsTest, CardSheetIsAHeaderlessEightBitBitmap) {
  const Bytes pack = Resource("pack.bmp");
  ASSERT_EQ(pack.size(), 246824u);
  InfoHeader h = ReadInfo(pack, 0);
  EXPECT_EQ(h.size, 40u);
  EXPECT_EQ(h.width, 639u);
  EXPECT_EQ(h.height, 384u);  // positive: bottom row first
  EXPECT_EQ(h.planes, 1u);
  EXPECT_EQ(h.bits, 8u);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_EQ(h.image_size, 245760u);
  EXPECT_EQ(h.xres, 3780u);
  EXPECT_EQ(h.yres, 3780u);
  EXPECT_EQ(h.used, 0u);
  EXPECT_EQ(h.important, 0u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(pack[40 + 4 * i + 3], 0) << "table entry " << i;
  // Row padding bytes are zero.
  for (int row = 0; row < 384; ++row) EXPECT_EQ(pack[40 + 1024 + row * 640 + 639], 0);
}

TEST(AssetsTest, CardSheetHoldsThirtyTwoDifferentFacesAndFourBacks) {
  const Bitmap sheet = Decode(Resource("pack.bmp"));
  ASSERT_EQ(sheet.Width(), 639);
  ASSERT_EQ(sheet.Height(), 384);
  const Canvas& c = sheet.canvas();
  auto cell_colours = [&](int col, int row) {
    std::set<std::uint32_t> colours;
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 71; ++x) colours.insert(c.Pixel(col * 71 + x, row * 96 + y));
    }
    return colours;
  };
  auto count = [&](int col, int row, auto&& pred) {
    int n = 0;
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 71; ++x) n += pred(Color::FromPixel(c.Pixel(col * 71 + x, row * 96 + y)));
    }
    return n;
  };
  auto white = [](Color k) { return k.Red() == 255 && k.Green() == 255 && k.Blue() == 255; };
  auto red = [](Color k) { return k.Red() > 150 && k.Green() < 80 && k.Blue() < 80; };
  auto dark = [](Color k) { return k.Red() < 60 && k.Green() < 60 && k.Blue() < 60; };
  for (int row = 0; row < 4; ++row) {
    const bool red_suit = row >= 2;  // diamonds and hearts
    for (int col = 0; col < 8; ++col) {
      SCOPED_TRACE(testing::Message() << "cell " << col << "," << row);
      // A white face with smooth edges in the suit's colour.
      EXPECT_GT(count(col, row, white), 71 * 96 / 3);
      EXPECT_GT(cell_colours(col, row).size(), 8u);
      if (col < 4 || col == 7) {  // number cards and aces: only one ink
        EXPECT_GT(count(col, row, red_suit ? red : dark), 100);
        EXPECT_EQ(count(col, row, red_suit ? dark : red), 0);
      }
      // The centre of the card face differs from every other face in the sheet.
      for (int other = 0; other < col; ++other) {
        bool same = true;
        for (int y = 20; y < 76 && same; ++y) {
          for (int x = 14; x < 57 && same; ++x) {
            same = c.Pixel(col * 71 + x, row * 96 + y) == c.Pixel(other * 71 + x, row * 96 + y);
          }
        }
        EXPECT_FALSE(same) << "same as column " << other;
      }
    }
    // The card back: mostly not white, and different from the other backs.
    EXPECT_LT(count(8, row, white), 71 * 96 / 3) << "back " << row;
    for (int other = 0; other < row; ++other) {
      EXPECT_NE(c.Pixel(8 * 71 + 35, row * 96 + 20), c.Pixel(8 * 71 + 35, other * 96 + 20))
          << "backs " << row << " and " << other;
    }
  }
  // Black-suit faces are not red-suit faces with another palette: the
  // symbols' shapes differ between rows.
  EXPECT_NE(cell_colours(7, 0), cell_colours(7, 3));
}

void ExpectLogo(const Bytes& logo) {
  ASSERT_EQ(logo.size(), 2430u);
  EXPECT_EQ(logo[0], 'B');
  EXPECT_EQ(logo[1], 'M');
  EXPECT_EQ(U32(logo, 2), 2430u);
  EXPECT_EQ(U32(logo, 6), 0u);
  EXPECT_EQ(U32(logo, 10), 118u);
  InfoHeader h = ReadInfo(logo, 14);
  EXPECT_EQ(h.size, 40u);
  EXPECT_EQ(h.width, 130u);
  EXPECT_EQ(h.height, 34u);
  EXPECT_EQ(h.planes, 1u);
  EXPECT_EQ(h.bits, 4u);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_EQ(h.image_size, 2312u);
  EXPECT_EQ(h.used, 16u);
  const std::uint8_t kStandard[16][3] = {
      {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
      {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
      {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(logo[54 + 4 * i + 2], kStandard[i][0]) << i;
    EXPECT_EQ(logo[54 + 4 * i + 1], kStandard[i][1]) << i;
    EXPECT_EQ(logo[54 + 4 * i + 0], kStandard[i][2]) << i;
    EXPECT_EQ(logo[54 + 4 * i + 3], 0) << i;
  }
  // Only black (0) and white (15), framed in black, with a drawing inside.
  int black_inside = 0;
  for (int y = 0; y < 34; ++y) {
    for (int x = 0; x < 130; ++x) {
      std::uint8_t byte = logo[118 + (33 - y) * 68 + x / 2];
      int index = x % 2 == 0 ? byte >> 4 : byte & 15;
      ASSERT_TRUE(index == 0 || index == 15) << x << "," << y;
      bool frame = x == 0 || y == 0 || x == 129 || y == 33;
      if (frame) {
        EXPECT_EQ(index, 0) << x << "," << y;
      }
      if (!frame && index == 0) ++black_inside;
    }
  }
  EXPECT_GT(black_inside, 300);
  EXPECT_LT(black_inside, 128 * 32 * 2 / 3);
}

TEST(AssetsTest, LogosAreFramedBlackOnWhiteMirrorImages) {
  const Bytes logo1 = Resource("logo1.bmp"), logo2 = Resource("logo2.bmp");
  ExpectLogo(logo1);
  ExpectLogo(logo2);
  const Bitmap one = Decode(logo1), two = Decode(logo2);
  ASSERT_EQ(one.Width(), 130);
  bool symmetric = true;
  for (int y = 0; y < 34; ++y) {
    for (int x = 0; x < 130; ++x) {
      ASSERT_EQ(one.canvas().Pixel(x, y), two.canvas().Pixel(129 - x, y)) << x << "," << y;
      symmetric = symmetric && one.canvas().Pixel(x, y) == one.canvas().Pixel(129 - x, y);
    }
  }
  EXPECT_FALSE(symmetric);  // otherwise the mirror would prove nothing
}

// The pixels of a PNG file made of stored deflate blocks (as ours is), after
// checking its chunks' CRCs and the stream's Adler-32.
Bytes PngPixels(const Bytes& png, std::uint32_t& width, std::uint32_t& height) {
  const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  Bytes idat;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    std::uint32_t length = Big32(png, at);
    std::string type(png.begin() + at + 4, png.begin() + at + 8);
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = at + 4; i < at + 8 + length; ++i) {
      crc ^= png[i];
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    EXPECT_EQ(~crc, Big32(png, at + 8 + length)) << type;
    if (type == "IHDR") {
      width = Big32(png, at + 8);
      height = Big32(png, at + 12);
      EXPECT_EQ(png[at + 16], 8);  // bits per channel
      EXPECT_EQ(png[at + 17], 6);  // RGBA
    }
    if (type == "IDAT")
      idat.insert(idat.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    at += 12 + length;
  }
  Bytes raw;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    last = idat.at(at) & 1;
    EXPECT_EQ(idat[at] & 6, 0);  // stored block
    std::uint32_t n = U16(idat, at + 1);
    EXPECT_EQ(n ^ U16(idat, at + 3), 0xffffu);
    raw.insert(raw.end(), idat.begin() + at + 5, idat.begin() + at + 5 + n);
    at += 5 + n;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  EXPECT_EQ(Big32(idat, at), b << 16 | a);
  return raw;
}

TEST(AssetsTest, IconFileAndPngShowTheSamePicture) {
  const Bytes ico = Resource("icon.ico");
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // an icon
  EXPECT_EQ(U16(ico, 4), 1u);  // one image
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[8], 16);  // colours
  EXPECT_EQ(U16(ico, 12), 4u);
  const std::uint32_t bytes = U32(ico, 14), offset = U32(ico, 18);
  ASSERT_EQ(offset + bytes, ico.size());
  InfoHeader h = ReadInfo(ico, offset);
  EXPECT_EQ(h.width, 32u);
  EXPECT_EQ(h.height, 64u);  // picture and mask
  EXPECT_EQ(h.bits, 4u);
  const std::size_t pixels = offset + 40 + 64, mask = pixels + 32 * 16;
  ASSERT_EQ(mask + 32 * 4, ico.size());

  std::uint32_t width = 0, height = 0;
  const Bytes png = Resource("icon.png");
  const Bytes raw = PngPixels(png, width, height);
  ASSERT_EQ(width, 32u);
  ASSERT_EQ(height, 32u);
  ASSERT_EQ(raw.size(), 32u * (1 + 32 * 4));
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    EXPECT_EQ(raw[y * 129], 0);  // no row filter
    for (int x = 0; x < 32; ++x) {
      const std::uint8_t* rgba = &raw[y * 129 + 1 + x * 4];
      int stored = 31 - y;
      bool transparent = ico[mask + stored * 4 + x / 8] & (0x80 >> (x % 8));
      EXPECT_EQ(rgba[3], transparent ? 0 : 255) << x << "," << y;
      if (transparent) continue;
      ++opaque;
      std::uint8_t byte = ico[pixels + stored * 16 + x / 2];
      int index = x % 2 == 0 ? byte >> 4 : byte & 15;
      const std::uint8_t* entry = &ico[offset + 40 + 4 * index];
      EXPECT_EQ(rgba[0], entry[2]) << x << "," << y;
      EXPECT_EQ(rgba[1], entry[1]);
      EXPECT_EQ(rgba[2], entry[0]);
    }
  }
  EXPECT_GT(opaque, 32 * 32 / 3);
  EXPECT_LT(opaque, 32 * 32);
}

TEST(AssetsTest, ExecutableCarriesEachResourceInItsOwnSection) {
  const char* names[][2] = {{"PACK", "pack.bmp"},
                            {"LOGO1", "logo1.bmp"},
                            {"LOGO2", "logo2.bmp"},
                            {"ICON", "icon.ico"},
                            {"ICONPNG", "icon.png"}};
  // A copy of this executable, as an installed pack is a copy of the installer.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tessaline_assets_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path copy = dir / "Tessaline.wpk";
  std::filesystem::copy_file(ExecutablePath(), copy);
  for (const auto& [name, file] : names) {
    SCOPED_TRACE(name);
    const Bytes expected = Resource(file);
    std::span<const std::byte> embedded = FindResource(name);
    ASSERT_EQ(embedded.size(), expected.size());
    EXPECT_EQ(std::memcmp(embedded.data(), expected.data(), expected.size()), 0);
    std::vector<std::byte> from_file = ReadResourceFromFile(copy.string(), name);
    ASSERT_EQ(from_file.size(), expected.size());
    EXPECT_EQ(std::memcmp(from_file.data(), expected.data(), expected.size()), 0);
  }
  // The platform's binary tools see the same bytes.
  if (std::system("objcopy --version > /dev/null 2>&1") == 0) {
    const std::filesystem::path out = dir / "pack.bmp";
    std::string command = "objcopy --dump-section .rsrc.PACK=" + out.string() + " " +
                          copy.string() + " " + (dir / "stripped").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(out.string()), Resource("pack.bmp"));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessaline
