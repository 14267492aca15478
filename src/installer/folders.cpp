#include "installer/folders.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/exception.h"

namespace tessaline {

std::string TempFolder() {
  const char* value = std::getenv("TMPDIR");
  std::string folder = (value != nullptr && *value != '\0') ? value : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder != "/") folder += '/';
  return folder;
}

std::string DirectoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void CreateFolderPath(std::string path) {
  if (path.empty()) throw Exception("Unable to create directory");
  if (path.back() == '/') path.pop_back();
  // The root (now empty), an existing level, or a path made of separators
  // only ("//" leaves "/", its own directory part) ends the climb.
  if (path.empty() || DirectoryExists(path) || path == DirectoryPart(path)) return;
  CreateFolderPath(DirectoryPart(path));
  // A level that cannot be made is not reported here: creating the file in it
  // fails later with a message that names the file.
  ::mkdir(path.c_str(), 0777);
}

}  // namespace tessaline
