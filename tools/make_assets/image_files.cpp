#include "make_assets/image_files.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <stdexcept>

namespace assets {

const std::array<PaletteEntry, 16> kStandard16 = {{{0, 0, 0},
                                                   {128, 0, 0},
                                                   {0, 128, 0},
                                                   {128, 128, 0},
                                                   {0, 0, 128},
                                                   {128, 0, 128},
                                                   {0, 128, 128},
                                                   {192, 192, 192},
                                                   {128, 128, 128},
                                                   {255, 0, 0},
                                                   {0, 255, 0},
                                                   {255, 255, 0},
                                                   {0, 0, 255},
                                                   {255, 0, 255},
                                                   {0, 255, 255},
                                                   {255, 255, 255}}};

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}
void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t RowBytes(int width, int bits) {
  return (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bits,
                   std::uint32_t image_size, std::uint32_t colours_used) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bits));
  Put32(out, 0);  // no compression
  Put32(out, image_size);
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, colours_used);
  Put32(out, 0);
}

void PutTable(std::vector<std::uint8_t>& out, const std::vector<PaletteEntry>& palette,
              std::size_t entries) {
  for (std::size_t i = 0; i < entries; ++i) {
    PaletteEntry e = i < palette.size() ? palette[i] : PaletteEntry{};
    out.push_back(e.blue);
    out.push_back(e.green);
    out.push_back(e.red);
    out.push_back(0);
  }
}

// 4-bit rows, bottom row first, left pixel in the high half of each byte.
void PutRows4(std::vector<std::uint8_t>& out, int width, int height,
              const std::vector<std::uint8_t>& indices) {
  std::uint32_t stride = RowBytes(width, 4);
  for (int y = height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < width; ++x) {
      std::uint8_t v = indices[static_cast<std::size_t>(y) * width + x] & 0x0f;
      row[x / 2] |= x % 2 == 0 ? static_cast<std::uint8_t>(v << 4) : v;
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

float Distance2(const PaletteEntry& e, Rgb c) {
  float dr = e.red - c.r, dg = e.green - c.g, db = e.blue - c.b;
  // Weighted toward green, as the eye is.
  return 2 * dr * dr + 4 * dg * dg + 3 * db * db;
}

std::uint8_t Channel(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::uint8_t Nearest(const std::vector<PaletteEntry>& palette, Rgb colour) {
  std::size_t best = 0;
  float best_distance = Distance2(palette[0], colour);
  for (std::size_t i = 1; i < palette.size(); ++i) {
    float d = Distance2(palette[i], colour);
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return static_cast<std::uint8_t>(best);
}

Indexed Quantize(const std::vector<Rgb>& pixels, int colours) {
  // Distinct colours with their counts, so that large plain areas do not
  // crowd out the fine blends of edges.
  struct Entry {
    Rgb colour;
    double weight;
  };
  std::vector<std::uint32_t> keys(pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    keys[i] = std::uint32_t{Channel(pixels[i].r)} << 16 | std::uint32_t{Channel(pixels[i].g)} << 8 |
              Channel(pixels[i].b);
  }
  std::vector<std::uint32_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i;
    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
    Rgb c{static_cast<float>(sorted[i] >> 16), static_cast<float>((sorted[i] >> 8) & 0xff),
          static_cast<float>(sorted[i] & 0xff)};
    // Square root of the count: frequent colours matter more, but not overwhelmingly.
    entries.push_back({c, std::sqrt(static_cast<double>(j - i))});
    i = j;
  }

  // Median cut: split the box with the widest weighted channel range until
  // there are enough boxes.
  struct Range {
    std::size_t begin, end;
  };
  std::vector<Range> boxes{{0, entries.size()}};
  auto spread = [&](const Range& r, int& channel) {
    float lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (std::size_t i = r.begin; i < r.end; ++i) {
      const float v[3] = {entries[i].colour.r, entries[i].colour.g, entries[i].colour.b};
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], v[k]);
        hi[k] = std::max(hi[k], v[k]);
      }
    }
    const float w[3] = {2, 4, 3};
    float best = -1;
    for (int k = 0; k < 3; ++k) {
      if ((hi[k] - lo[k]) * w[k] > best) {
        best = (hi[k] - lo[k]) * w[k];
        channel = k;
      }
    }
    return best;
  };
  while (static_cast<int>(boxes.size()) < colours) {
    int widest = -1, channel = 0;
    float widest_spread = 0;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      int k = 0;
      float s = boxes[b].end - boxes[b].begin > 1 ? spread(boxes[b], k) : 0;
      if (s > widest_spread) {
        widest_spread = s;
        widest = static_cast<int>(b);
        channel = k;
      }
    }
    if (widest < 0) break;
    Range r = boxes[static_cast<std::size_t>(widest)];
    auto value = [channel](const Entry& e) {
      return channel == 0 ? e.colour.r : channel == 1 ? e.colour.g : e.colour.b;
    };
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(r.begin),
              entries.begin() + static_cast<std::ptrdiff_t>(r.end),
              [&](const Entry& a, const Entry& b) { return value(a) < value(b); });
    double total = 0;
    for (std::size_t i = r.begin; i < r.end; ++i) total += entries[i].weight;
    double half = 0;
    std::size_t cut = r.begin;
    while (cut < r.end - 1 && half + entries[cut].weight < total / 2) half += entries[cut++].weight;
    cut = std::clamp(cut, r.begin + 1, r.end - 1);
    boxes[static_cast<std::size_t>(widest)] = {r.begin, cut};
    boxes.push_back({cut, r.end});
  }

  std::vector<Rgb> centres;
  for (const Range& r : boxes) {
    double sum[3] = {0, 0, 0}, weight = 0;
    for (std::size_t i = r.begin; i < r.end; ++i) {
      sum[0] += entries[i].colour.r * entries[i].weight;
      sum[1] += entries[i].colour.g * entries[i].weight;
      sum[2] += entries[i].colour.b * entries[i].weight;
      weight += entries[i].weight;
    }
    centres.push_back({static_cast<float>(sum[0] / weight), static_cast<float>(sum[1] / weight),
                       static_cast<float>(sum[2] / weight)});
  }

  // A few rounds of k-means over the distinct colours.
  Indexed result;
  for (int round = 0; round < 6; ++round) {
    result.palette.clear();
    for (const Rgb& c : centres)
      result.palette.push_back({Channel(c.r), Channel(c.g), Channel(c.b)});
    std::vector<double> sum(centres.size() * 4, 0.0);
    for (const Entry& e : entries) {
      std::size_t k = Nearest(result.palette, e.colour);
      sum[k * 4] += e.colour.r * e.weight;
      sum[k * 4 + 1] += e.colour.g * e.weight;
      sum[k * 4 + 2] += e.colour.b * e.weight;
      sum[k * 4 + 3] += e.weight;
    }
    for (std::size_t k = 0; k < centres.size(); ++k) {
      if (sum[k * 4 + 3] > 0) {
        centres[k] = {static_cast<float>(sum[k * 4] / sum[k * 4 + 3]),
                      static_cast<float>(sum[k * 4 + 1] / sum[k * 4 + 3]),
                      static_cast<float>(sum[k * 4 + 2] / sum[k * 4 + 3])};
      }
    }
  }
  result.palette.clear();
  for (const Rgb& c : centres) result.palette.push_back({Channel(c.r), Channel(c.g), Channel(c.b)});
  // Pure white and black stay exact: the card faces and outlines use them.
  auto pin = [&](PaletteEntry want) {
    Rgb c{static_cast<float>(want.red), static_cast<float>(want.green),
          static_cast<float>(want.blue)};
    result.palette[Nearest(result.palette, c)] = want;
  };
  pin({255, 255, 255});
  pin({0, 0, 0});
  result.indices.resize(pixels.size());
  std::vector<std::int32_t> cache(1 << 24, -1);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    std::int32_t& slot = cache[keys[i]];
    if (slot < 0) slot = Nearest(result.palette, pixels[i]);
    result.indices[i] = static_cast<std::uint8_t>(slot);
  }
  return result;
}

std::vector<std::uint8_t> EncodeDib8(int width, int height, const Indexed& image) {
  std::vector<std::uint8_t> out;
  std::uint32_t stride = RowBytes(width, 8);
  PutInfoHeader(out, width, height, 8, stride * static_cast<std::uint32_t>(height), 0);
  PutTable(out, image.palette, 256);
  for (int y = height - 1; y >= 0; --y) {
    auto row = image.indices.begin() + static_cast<std::ptrdiff_t>(y) * width;
    out.insert(out.end(), row, row + width);
    out.insert(out.end(), stride - static_cast<std::uint32_t>(width), 0);
  }
  return out;
}

std::vector<std::uint8_t> EncodeBmp4(int width, int height, const Indexed& image) {
  std::uint32_t image_size = RowBytes(width, 4) * static_cast<std::uint32_t>(height);
  std::uint32_t offset = 14 + 40 + 16 * 4;
  std::vector<std::uint8_t> out{'B', 'M'};
  Put32(out, offset + image_size);
  Put32(out, 0);  // reserved
  Put32(out, offset);
  PutInfoHeader(out, width, height, 4, image_size, 16);
  PutTable(out, image.palette, 16);
  PutRows4(out, width, height, image.indices);
  return out;
}

std::vector<std::uint8_t> EncodeIco4(int width, int height, const Indexed& image,
                                     const std::vector<bool>& opaque) {
  std::uint32_t colour_size = RowBytes(width, 4) * static_cast<std::uint32_t>(height);
  std::uint32_t mask_stride = RowBytes(width, 1);
  std::uint32_t mask_size = mask_stride * static_cast<std::uint32_t>(height);
  std::uint32_t image_bytes = 40 + 16 * 4 + colour_size + mask_size;
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // icon
  Put16(out, 1);  // one image
  out.push_back(static_cast<std::uint8_t>(width));
  out.push_back(static_cast<std::uint8_t>(height));
  out.push_back(16);  // colours
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, image_bytes);
  Put32(out, 6 + 16);
  // The image's header counts the colour picture and the mask: twice the height.
  PutInfoHeader(out, width, height * 2, 4, colour_size + mask_size, 16);
  PutTable(out, image.palette, 16);
  Indexed masked = image;
  for (std::size_t i = 0; i < masked.indices.size(); ++i) {
    if (!opaque[i]) masked.indices[i] = 0;  // black under a transparent mask bit
  }
  PutRows4(out, width, height, masked.indices);
  for (int y = height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(mask_stride, 0);
    for (int x = 0; x < width; ++x) {
      if (!opaque[static_cast<std::size_t>(y) * width + x]) row[x / 8] |= 0x80 >> (x % 8);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba) {
  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<std::uint8_t> header;
  PutBig32(header, static_cast<std::uint32_t>(width));
  PutBig32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(),
                {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  PutChunk(out, "IHDR", header);

  // Each row: filter type 0, then the pixels.
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    auto row = rgba.begin() + static_cast<std::ptrdiff_t>(y) * width * 4;
    raw.insert(raw.end(), row, row + width * 4);
  }
  // A zlib stream of stored blocks (at most 65,535 bytes each), then Adler-32.
  std::vector<std::uint8_t> z{0x78, 0x01};
  for (std::size_t pos = 0; pos < raw.size() || pos == 0;) {
    std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    Put16(z, static_cast<std::uint32_t>(n));
    Put16(z, static_cast<std::uint32_t>(~n & 0xffff));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
             raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
    pos += n;
    if (last) break;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(z, b << 16 | a);
  PutChunk(out, "IDAT", z);
  PutChunk(out, "IEND", {});
  return out;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace assets
