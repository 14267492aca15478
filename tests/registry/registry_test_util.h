// Helpers shared by the registry tests: a scratch folder and a toolkit that
// records what would have been shown.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/toolkit.h"

namespace tessaline::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessaline-registry-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Records message boxes, exception displays and beeps instead of showing them.
class RecordingToolkit : public Toolkit {
 public:
  RecordingToolkit() { SetToolkit(this); }
  ~RecordingToolkit() override { SetToolkit(nullptr); }

  int MessageBox(const std::string& text, const std::string& caption, std::int32_t flags) override {
    boxes.push_back(text);
    captions.push_back(caption);
    box_flags.push_back(flags);
    return kIdOk;
  }
  void ShowPlainMessage(const std::string& text) override { plain.push_back(text); }
  void ShowException(const std::string& message) override { exceptions.push_back(message); }
  void Beep() override { ++beeps; }
  int ScreenCursor() const override { return cursor; }
  void SetScreenCursor(int value) override { cursor = value; }
  void ProcessMessages() override {}
  std::string Title() const override { return title; }
  void SetTitle(const std::string& value) override { title = value; }

  bool Quiet() const { return boxes.empty() && exceptions.empty() && beeps == 0; }

  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  std::vector<std::int32_t> box_flags;
  std::vector<std::string> plain;
  std::vector<std::string> exceptions;
  int beeps = 0;
  int cursor = kCursorDefault;
  std::string title;
};

}  // namespace tessaline::testing
