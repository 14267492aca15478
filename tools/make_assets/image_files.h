// Writing the shipped picture formats: device-independent bitmaps (with and
// without the file header), an icon file and PNG; and reducing a colour
// picture to an indexed one with a palette of its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "make_assets/raster.h"

namespace assets {

struct PaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// The standard 16-colour palette in its usual order: black, maroon, green,
// olive, navy, purple, teal, silver, grey, red, lime, yellow, blue, fuchsia,
// aqua, white.
extern const std::array<PaletteEntry, 16> kStandard16;

struct Indexed {
  std::vector<PaletteEntry> palette;
  std::vector<std::uint8_t> indices;  // row-major, top row first
};

// Chooses a palette of at most `colours` entries for the pixels (median cut,
// refined by a few rounds of k-means) and maps each pixel to its nearest
// entry. Deterministic.
Indexed Quantize(const std::vector<Rgb>& pixels, int colours);

// Index of the palette entry nearest to a colour.
std::uint8_t Nearest(const std::vector<PaletteEntry>& palette, Rgb colour);

// A bitmap without the file header: 40-byte information header, 256-entry
// colour table, 8 bits per pixel, bottom row first, rows padded to 4 bytes.
std::vector<std::uint8_t> EncodeDib8(int width, int height, const Indexed& image);

// A complete 4-bit bitmap file: file header, information header (16 colours
// used), the 16-entry table, bottom row first, two pixels per byte.
std::vector<std::uint8_t> EncodeBmp4(int width, int height, const Indexed& image);

// An icon file with one 4-bit image; `opaque` (row-major) says which pixels are
// drawn, the others are transparent through the icon's mask.
std::vector<std::uint8_t> EncodeIco4(int width, int height, const Indexed& image,
                                     const std::vector<bool>& opaque);

// A PNG file, 8-bit RGBA (4 bytes per pixel, row-major), with stored
// (uncompressed) deflate blocks.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgba);

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace assets
