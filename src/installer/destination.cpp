#include "installer/destination.h"

#include "os/process.h"

namespace tessaline {

std::string DestinationForFolder(std::string folder) {
  if (folder.empty()) return {};
  if (folder.front() != '/') {
    std::string base = CurrentFolder();
    if (!base.empty()) {
      if (base.back() != '/') base += '/';
      folder = base + folder;
    }
  }
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/";
}

}  // namespace tessaline
