#include "installer/destination.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tessaline {
namespace {

// The current directory; empty when it cannot be read.
std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

std::string DestinationForFolder(std::string folder) {
  if (folder.empty()) return {};
  if (folder.front() != '/') {
    std::string base = CurrentDirectory();
    if (!base.empty()) {
      if (base.back() != '/') base += '/';
      folder = base + folder;
    }
  }
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder + "/";
}

}  // namespace tessaline
