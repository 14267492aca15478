// Helpers shared by the installer's tests: a scratch folder, file contents,
// and running a piece of code in a child process.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tessaline::testing {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/tessaline-d-XXXXXX";
    path_ = ::mkdtemp(pattern.data());
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // The folder's path, without a trailing "/".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// `size` bytes that differ from one run of 61,440 to the next, so a piece
// copied twice or out of place shows.
inline std::string PatternBytes(std::size_t size, unsigned seed = 1) {
  std::string data(size, '\0');
  std::mt19937_64 generator(seed);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t word = generator();
    std::memcpy(data.data() + i, &word, std::min<std::size_t>(8, size - i));
  }
  return data;
}

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

}  // namespace tessaline::testing
