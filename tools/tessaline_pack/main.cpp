// tessaline-pack: writes a new card pack from a card sheet, two titles and a
// number, as a copy of a finished Tessaline program (make_pack.h).
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "tessaline_pack/make_pack.h"
#include "tessaline_pack/pack_options.h"

#ifndef TESSALINE_VERSION
#define TESSALINE_VERSION "0"
#endif

int main(int argc, char** argv) {
  using tessaline::PackOptions;
  const PackOptions options =
      tessaline::ParsePackOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  switch (options.mode) {
    case PackOptions::Mode::kHelp:
      std::cout << tessaline::PackUsageText();
      return 0;
    case PackOptions::Mode::kVersion:
      std::cout << "tessaline-pack " TESSALINE_VERSION "\n";
      return 0;
    case PackOptions::Mode::kError:
      std::cerr << "tessaline-pack: " << options.error
                << "\nTry 'tessaline-pack --help' for more information.\n";
      return 2;
    case PackOptions::Mode::kMake:
      break;
  }
  try {
    return tessaline::MakePack(options, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "tessaline-pack: out of memory; nothing was written\n";
    return 1;
  }
}
