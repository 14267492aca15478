// The end-to-end tests' picture helper (tests/packs/pack_tool.sh):
//
//   draw_sheet sheet FILE WIDTH HEIGHT SEED   a 9 x 4 sheet, each card in a
//                                             colour of its own (.png, or a
//                                             bare bitmap for .bmp)
//   draw_sheet bomb FILE                      a small PNG declaring 16384 x 16384
//   draw_sheet find PICTURE WIDTH HEIGHT SEED exit 0 when every face card's
//                                             colour of that sheet is in the PNG
//                                             PICTURE (the backs are never shown)
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "sheet_pictures.h"

namespace {

using tessaline::test::CardColours;

int Find(const std::string& path, int width, int height, std::uint32_t seed) {
  std::ifstream in(path, std::ios::binary);
  const std::string data(std::istreambuf_iterator<char>(in), {});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return 2;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return 2;
  std::set<std::uint32_t> seen;
  for (std::size_t at = 0; at + 2 < rgb.size(); at += 3) {
    seen.insert(std::uint32_t{rgb[at]} << 16 | std::uint32_t{rgb[at + 1]} << 8 | rgb[at + 2]);
  }
  const auto colour = CardColours(width / 9, height / 4, seed);
  int missing = 0;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 8; ++column) {
      const std::uint32_t card = colour(column * (width / 9), row * (height / 4));
      if (!seen.contains(card)) {
        std::cerr << "draw_sheet: card " << column << "," << row << " (" << std::hex << card
                  << std::dec << ") is not in " << path << "\n";
        ++missing;
      }
    }
  }
  return missing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 5 && (args[0] == "sheet" || args[0] == "find")) {
    const int width = std::atoi(args[2].c_str()), height = std::atoi(args[3].c_str());
    const auto seed = static_cast<std::uint32_t>(std::atoi(args[4].c_str()));
    if (args[0] == "find") return Find(args[1], width, height, seed);
    const auto colour = CardColours(width / 9, height / 4, seed);
    std::ofstream(args[1], std::ios::binary)
        << (args[1].ends_with(".bmp") ? tessaline::test::MakeDib(width, height, colour)
                                      : tessaline::test::MakePng(width, height, colour));
    return 0;
  }
  if (args.size() == 2 && args[0] == "bomb") {
    std::ofstream(args[1], std::ios::binary) << tessaline::test::WithDeclaredSize(
        tessaline::test::MakePng(9, 4, CardColours(1, 1)), 16384, 16384);
    return 0;
  }
  std::cerr << "usage: draw_sheet sheet FILE W H SEED | bomb FILE | find PICTURE W H SEED\n";
  return 2;
}
