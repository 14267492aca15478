#include "installer/destination.h"

#include <string_view>
#include <vector>

#include "os/process.h"

namespace tessaline {
namespace {

// `path` without "." names, empty names and the names ".." takes back. A
// relative path keeps the ".." names that reach above its start.
std::vector<std::string_view> NormalNames(std::string_view path) {
  const bool absolute = path.starts_with('/');
  std::vector<std::string_view> names;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    if (name.empty() || name == ".") continue;
    if (name != "..") {
      names.push_back(name);
    } else if (!names.empty() && names.back() != "..") {
      names.pop_back();
    } else if (!absolute) {
      names.push_back(name);  // the root's ".." is the root itself
    }
  }
  return names;
}

}  // namespace

std::string DestinationForFolder(std::string folder) {
  if (folder.empty()) return {};
  if (folder.front() != '/') {
    const std::string base = CurrentFolder();
    if (!base.empty()) folder = base + "/" + folder;
  }
  std::string destination = folder.front() == '/' ? "/" : "";
  for (const std::string_view name : NormalNames(folder)) {
    destination.append(name);
    destination += '/';
  }
  // A relative folder that comes to nothing ("a/..") is the current one.
  return destination.empty() ? "./" : destination;
}

}  // namespace tessaline
