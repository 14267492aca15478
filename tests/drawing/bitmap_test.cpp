#include "drawing/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/exception.h"

namespace tessaline {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// Colour table entry i of the test pictures: a colour made from the index.
std::uint32_t TableColour(int i) {
  return 0xff000000u | (i * 3 & 0xff) << 16 | (i * 5 & 0xff) << 8 | (i * 7 & 0xff);
}

// A bitmap as the platform stores it: info header, `table` entries, rows in
// storage order padded to 4 bytes. `value(x, y)` gives a pixel (y = 0 is the
// top row): an index for 1 to 8 bits, 0x00RRGGBB for 24 and 32.
Bytes MakeDib(int width, int height, int bits, int table,
              std::function<std::uint32_t(int, int)> value, bool file_header = false, int gap = 0) {
  const int rows = height < 0 ? -height : height;
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
  Bytes out;
  if (file_header) {
    std::uint32_t offset = 14 + 40 + 4 * table + gap;
    out = {'B', 'M'};
    Put32(out, offset + stride * rows);
    Put32(out, 0);
    Put32(out, offset);
  }
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);
  Put32(out, stride * rows);
  Put32(out, 3780);
  Put32(out, 3780);
  Put32(out, bits <= 8 && table != (1 << bits) ? table : 0);
  Put32(out, 0);
  for (int i = 0; i < table; ++i) {
    std::uint32_t c = TableColour(i);
    out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c >> 16), 0});
  }
  out.insert(out.end(), gap, 0xee);
  for (int stored = 0; stored < rows; ++stored) {
    int y = height < 0 ? stored : rows - 1 - stored;
    Bytes row(stride, 0);
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = value(x, y);
      if (bits <= 8) {
        int bit = x * bits;  // leftmost pixel in the highest bits
        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
      } else {
        for (int k = 0; k < bits / 8; ++k)
          row[x * bits / 8 + k] = k < 3 ? static_cast<std::uint8_t>(v >> (8 * k)) : 0x55;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

Bitmap Decode(const Bytes& bytes) {
  return Bitmap::FromDib(std::as_bytes(std::span(bytes)));
}

void ExpectInvalid(const Bytes& bytes, const std::string& what) {
  SCOPED_TRACE(what);
  try {
    Decode(bytes);
    ADD_FAILURE() << "decoded";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
}

void Patch32(Bytes& bytes, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

TEST(BitmapTest, IndexedPicturesOfEveryDepthAndRowOrder) {
  for (int bits : {1, 4, 8}) {
    for (int width : {1, 3, 5, 9, 33}) {
      for (int height : {2, -2, 3}) {
        for (bool header : {false, true}) {
          SCOPED_TRACE(testing::Message() << bits << " bits " << width << "x" << height
                                          << (header ? " file" : " bare"));
          const std::uint32_t colours = 1u << bits;
          auto index = [&](int x, int y) {
            return static_cast<std::uint32_t>(x * 7 + y * 3) % colours;
          };
          Bitmap bitmap = Decode(MakeDib(width, height, bits, static_cast<int>(colours), index,
                                         header, header ? 6 : 0));
          ASSERT_EQ(bitmap.Width(), width);
          ASSERT_EQ(bitmap.Height(), height < 0 ? -height : height);
          EXPECT_EQ(bitmap.BitsPerPixel(), bits);
          for (int y = 0; y < bitmap.Height(); ++y) {
            for (int x = 0; x < width; ++x) {
              ASSERT_EQ(bitmap.canvas().Pixel(x, y), TableColour(static_cast<int>(index(x, y))))
                  << x << "," << y;
            }
          }
        }
      }
    }
  }
}

TEST(BitmapTest, DirectColourPictures) {
  for (int bits : {24, 32}) {
    for (int width : {1, 2, 3, 7}) {
      auto colour = [](int x, int y) {
        return static_cast<std::uint32_t>(0x102030 + x * 0x010203 + y * 0x300000);
      };
      Bitmap bitmap = Decode(MakeDib(width, 3, bits, 0, colour));
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < width; ++x) {
          ASSERT_EQ(bitmap.canvas().Pixel(x, y), 0xff000000u | colour(x, y))
              << bits << " " << x << "," << y;
        }
      }
    }
  }
}

TEST(BitmapTest, ShortColourTableGivesBlackBeyondIt) {
  // Two colours used by an 8-bit picture; index 9 has no entry.
  Bitmap bitmap = Decode(
      MakeDib(3, 1, 8, 2, [](int x, int) { return x == 2 ? 9u : static_cast<std::uint32_t>(x); }));
  EXPECT_EQ(bitmap.canvas().Pixel(0, 0), TableColour(0));
  EXPECT_EQ(bitmap.canvas().Pixel(1, 0), TableColour(1));
  EXPECT_EQ(bitmap.canvas().Pixel(2, 0), 0xff000000u);
}

TEST(BitmapTest, EveryTruncationIsRefused) {
  for (bool header : {false, true}) {
    Bytes full = MakeDib(
        5, 3, 4, 16, [](int x, int y) { return static_cast<std::uint32_t>(x + y); }, header);
    ASSERT_NO_THROW(Decode(full));
    for (std::size_t size = 0; size < full.size(); ++size) {
      Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
      ExpectInvalid(cut, "cut to " + std::to_string(size));
    }
  }
}

TEST(BitmapTest, DamagedOrUnsupportedHeadersAreRefused) {
  const Bytes good =
      MakeDib(4, 2, 8, 256, [](int x, int) { return static_cast<std::uint32_t>(x); });
  struct Damage {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  };
  const Damage damages[] = {
      {"header size 12", 0, 12},
      {"header size beyond the data", 0, 1u << 30},
      {"width 0", 4, 0},
      {"negative width", 4, static_cast<std::uint32_t>(-4)},
      {"height 0", 8, 0},
      {"most negative height", 8, 0x80000000u},
      {"two planes", 12, 0x00080002u},
      {"16 bits per pixel", 12, 0x00100001u},
      {"run-length compressed", 16, 1},
      {"bit fields", 16, 3},
      {"more colours than an index reaches", 32, 257},
      {"huge picture", 4, 0x7fffffffu},
      {"rows beyond the data", 8, 3},
  };
  for (const Damage& d : damages) {
    Bytes bad = good;
    Patch32(bad, d.at, d.value);
    ExpectInvalid(bad, d.what);
  }
  // A file header whose pixel offset lies beyond the file.
  Bytes file = MakeDib(
      4, 2, 8, 256, [](int, int) { return 1u; }, true);
  Patch32(file, 10, static_cast<std::uint32_t>(file.size()) - 2);
  ExpectInvalid(file, "pixel offset beyond the file");
  Patch32(file, 10, 0xfffffff0u);
  ExpectInvalid(file, "pixel offset overflowing");
}

}  // namespace
}  // namespace tessaline
