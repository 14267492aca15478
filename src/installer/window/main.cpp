// The installer of one card pack. Its identity comes from the build (see
// cmake/TessalinePack.cmake), so every pack is built from this same file.
#include "installer/window/installer_main.h"

#ifndef TESSALINE_PACK_NUMBER
#error "TESSALINE_PACK_NUMBER, TESSALINE_PACK_NAME and TESSALINE_PACK_NAME_CYR must be defined"
#endif

int main(int argc, char** argv) {
  const tessaline::PackIdentity identity{TESSALINE_PACK_NUMBER, TESSALINE_PACK_NAME,
                                         TESSALINE_PACK_NAME_CYR};
  return tessaline::InstallerMain(argc, argv, identity);
}
