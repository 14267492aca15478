#include "installer/folders.h"

#include <string_view>
#include <vector>

#include "os/process.h"
#include "support/exception.h"

namespace tessaline {

std::string TempFolder() {
  std::string folder = EnvironmentValue("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  return folder;
}

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

// Whether climbing `path` by its directory parts reaches an existing level
// (or the root) before the parts run out; a relative path whose top level is
// missing does not.
bool ReachesExistingLevel(std::string path) {
  for (;;) {
    if (path.empty() || DirectoryExists(path) || path == DirectoryPart(path)) return true;
    path = DirectoryPart(path);
    if (path.empty()) return false;
    path.pop_back();
  }
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

Status CreateFolderPath(std::string path) {
  if (path.empty()) throw Exception("Unable to create directory");
  if (path.back() == '/') path.pop_back();
  if (!ReachesExistingLevel(path)) throw Exception("Unable to create directory");
  // A level that cannot be made is not reported here: creating the file in it
  // fails later with a message that names the file.
  return path.empty() ? Status::Ok() : CreateFolders(path, 0777);
}

}  // namespace tessaline
