#include "installer/identity.h"

namespace tessaline {

std::int32_t PackNo = 0;
std::string PackNameCyr = "Карты х";
std::string PackName = "Pack x";

void InstallerStartup(const PackIdentity& identity) {
  PackNo = identity.number;
  PackNameCyr = identity.cyrillic_name;
  PackName = identity.name;
}

void InstallerShutdown() {
  // Swapping with empty strings gives the memory back, not just the length.
  std::string().swap(PackName);
  std::string().swap(PackNameCyr);
}

}  // namespace tessaline
