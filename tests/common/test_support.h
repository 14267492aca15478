// Helpers shared by the tests (and the benchmarks): a toolkit that records
// what would have been shown, a scratch folder, whole-file reads and writes,
// folder listings (and, through common/child_process.h, child processes). Nothing here needs GoogleTest, so
// benchmarks may use it too.
//
// Thread use: a RecordingToolkit records without locking; use it from the
// thread that runs the test (calls from other threads must be over before the
// test reads what it recorded).
#pragma once

#include <stdlib.h>
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
#include <system_error>
#include <vector>

#include "common/child_process.h"
#include "support/toolkit.h"

namespace tessaline::test {

// Records message boxes, plain messages, exception displays, beeps, the cursor
// and the title instead of showing them. Message boxes return `answer`.
// It does not install itself: use SetToolkit or a ScopedToolkit.
class RecordingToolkit : public Toolkit {
 public:
  struct Box {
    std::string text;
    std::string caption;
    std::int32_t flags;
    int cursor_while_shown;  // the screen cursor while the box was up
  };

  int MessageBox(const std::string& text, const std::string& caption, std::int32_t flags) override {
    boxes.push_back({text, caption, flags, cursor});
    return answer;
  }
  void ShowPlainMessage(const std::string& text) override { plain_messages.push_back(text); }
  void ShowException(const std::string& message) override { exceptions.push_back(message); }
  void Beep() override { ++beeps; }
  int ScreenCursor() const override { return cursor; }
  void SetScreenCursor(int value) override { cursor = value; }
  // Counts the call; a subclass may also handle real pending events.
  void ProcessMessages() override { ++process_messages_calls; }
  std::string Title() const override { return title; }
  void SetTitle(const std::string& value) override { title = value; }

  // True when nothing reached the user: no box, no exception display, no beep.
  bool Quiet() const { return boxes.empty() && exceptions.empty() && beeps == 0; }

  std::vector<Box> boxes;
  std::vector<std::string> plain_messages;
  std::vector<std::string> exceptions;
  int beeps = 0;
  int cursor = kCursorDefault;
  std::string title;
  int answer = kIdOk;
  int process_messages_calls = 0;
};

// The tests' name for the toolkit's own scoped installer.
using ::tessaline::ScopedToolkit;

// The bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Replaces the file at `path` with `bytes` (creating it); failures are silent.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes (even when a test took away the folder's rights).
// Aborts when the folder cannot be made.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessaline-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  // The folder's path, without a trailing "/".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to the file `name` in the folder; returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    WriteFile(*this / name, bytes);
    return *this / name;
  }

 private:
  std::string path_;
};

// `size` bytes from a generator seeded with `seed`, so that no two stretches
// of a file look alike and a piece copied twice or out of place shows. The
// same seed always gives the same bytes.
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

// An error text's first line, its fixed message, and what its second line
// says caused it (empty when it has none).
inline std::string FixedText(const std::string& message) {
  return message.substr(0, message.find("\r\n"));
}
inline std::string CauseText(const std::string& message) {
  const std::size_t at = message.find("\r\n");
  return at == std::string::npos ? std::string() : message.substr(at + 2);
}

// True when `path` is a folder this process may create files in.
inline bool DirectoryIsWritable(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(path.c_str(), W_OK) == 0;
}

}  // namespace tessaline::test
