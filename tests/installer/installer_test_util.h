// Helpers shared by the installer's tests: folder listings and rights, and
// running a piece of code in a child process. The scratch folder and file
// helpers come from the tests' common header.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace tessaline::test {

// The names in folder `path`, sorted, without "." and "..".
inline std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// True when `path` is a folder this process may create files in.
inline bool DirectoryIsWritable(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(path.c_str(), W_OK) == 0;
}

// Runs `body` in a child process and returns its exit code (128 + the signal
// when a signal ended it). The child leaves through _exit, so no test
// machinery of the parent runs twice.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tessaline::test
