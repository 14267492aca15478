#include "installer/folders.h"

#include "support/exception.h"
#include "os/process.h"

namespace tessaline {

std::string TempFolder() {
  std::string folder = EnvironmentValue("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  return folder;
}

namespace {

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

Status CreateFolderPath(std::string path) {
  if (path.empty()) throw Exception("Unable to create directory");
  if (path.back() == '/') path.pop_back();
  if (!ReachesExistingLevel(path)) throw Exception("Unable to create directory");
  // A level that cannot be made is not reported here: creating the file in it
  // fails later with a message that names the file.
  return path.empty() ? Status::Ok() : CreateFolders(path, 0777);
}

}  // namespace tessaline
