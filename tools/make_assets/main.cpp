// Draws the shipped pictures and writes them into a folder:
//   pack.bmp   the card sheet, a bitmap without file header, 639 x 384, 8 bits
//   logo1.bmp  the heading strip's logo, a 130 x 34, 4-bit bitmap file
//   logo2.bmp  its left-to-right mirror image
//   icon.ico   the program's icon, one 32 x 32, 16-colour image
//   icon.png   the same picture for the desktop
// Usage: tessaline_make_assets <folder> [--preview <sheet.png>]
#include <cstdio>
#include <exception>
#include <string>

#include "make_assets/card_sheet.h"
#include "make_assets/emblems.h"
#include "make_assets/image_files.h"

namespace assets {
namespace {

std::vector<PaletteEntry> Standard16() {
  return {kStandard16.begin(), kStandard16.end()};
}

Indexed Logo(const std::vector<bool>& ink, bool mirrored) {
  Indexed image{Standard16(), std::vector<std::uint8_t>(ink.size())};
  for (int y = 0; y < kLogoHeight; ++y) {
    for (int x = 0; x < kLogoWidth; ++x) {
      int from = mirrored ? kLogoWidth - 1 - x : x;
      // Index 0 is black and 15 white in the standard palette.
      image.indices[static_cast<std::size_t>(y * kLogoWidth + x)] =
          ink[static_cast<std::size_t>(y * kLogoWidth + from)] ? 0 : 15;
    }
  }
  return image;
}

void Run(const std::string& folder, const std::string& preview) {
  Indexed sheet = Quantize(DrawCardSheet(), 256);
  WriteFile(folder + "/pack.bmp", EncodeDib8(kSheetWidth, kSheetHeight, sheet));
  if (!preview.empty()) {
    std::vector<std::uint8_t> rgba;
    for (std::uint8_t index : sheet.indices) {
      const PaletteEntry& e = sheet.palette[index];
      rgba.insert(rgba.end(), {e.red, e.green, e.blue, 255});
    }
    WriteFile(preview, EncodePng(kSheetWidth, kSheetHeight, rgba));
  }

  std::vector<bool> ink = DrawLogo();
  WriteFile(folder + "/logo1.bmp", EncodeBmp4(kLogoWidth, kLogoHeight, Logo(ink, false)));
  WriteFile(folder + "/logo2.bmp", EncodeBmp4(kLogoWidth, kLogoHeight, Logo(ink, true)));

  IconPicture icon = DrawIcon();
  Indexed indexed{Standard16(), {}};
  std::vector<std::uint8_t> rgba;
  for (std::size_t i = 0; i < icon.pixels.size(); ++i) {
    std::uint8_t index = Nearest(indexed.palette, icon.pixels[i]);
    indexed.indices.push_back(index);
    const PaletteEntry& e = indexed.palette[index];
    rgba.insert(rgba.end(),
                {e.red, e.green, e.blue, static_cast<std::uint8_t>(icon.opaque[i] ? 255 : 0)});
  }
  WriteFile(folder + "/icon.ico", EncodeIco4(kIconSize, kIconSize, indexed, icon.opaque));
  WriteFile(folder + "/icon.png", EncodePng(kIconSize, kIconSize, rgba));
}

}  // namespace
}  // namespace assets

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: %s <folder> [--preview <sheet.png>]\n", argv[0]);
    return 2;
  }
  try {
    assets::Run(argv[1], argc == 4 ? argv[3] : "");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
