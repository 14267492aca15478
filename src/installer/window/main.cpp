// The installer of one card pack. Every pack is this same program; its
// identity and card sheet are its resources IDENTITY and PACK, which
// tessaline-pack writes into a copy of it (tools/tessaline_pack).
#include <exception>
#include <iostream>

#include "installer/window/installer_main.h"

int main(int argc, char** argv) {
  tessaline::PackIdentity identity;
  try {
    identity = tessaline::ProgramIdentity();
  } catch (const std::exception& error) {
    std::cerr << (argc > 0 && argv[0] != nullptr ? argv[0] : "tessaline") << ": " << error.what()
              << "\n";
    return 1;
  }
  return tessaline::InstallerMain(argc, argv, identity);
}
