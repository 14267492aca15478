// Helpers for the window's tests: a toolkit that records instead of showing,
// a private registry hive per test, and a way to answer modal dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/scoped_env.h"
#include "common/test_support.h"
#include "support/toolkit.h"

namespace tessaline::test {

// The recording toolkit that also handles Qt's pending events when the code
// under test asks for its messages to be processed.
class QtRecordingToolkit : public RecordingToolkit {
 public:
  void ProcessMessages() override {
    RecordingToolkit::ProcessMessages();
    if (on_process_messages) on_process_messages();
    QCoreApplication::processEvents();
  }
  // Called first whenever the code under test asks for its messages to be
  // processed, so that a test can see what the window was like then.
  std::function<void()> on_process_messages;
};

// A fixture with a fresh temporary folder, a registry store on a hive file
// inside it (WENLORA_REGISTRY), a recording toolkit installed, and the pack's
// identity set. Everything is put back afterwards.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The hive file of this test.
  std::filesystem::path HivePath() const { return dir_ / "system.reg"; }
  // Writes the hive file by hand (REGEDIT4 text) and restarts the store on it.
  void WriteHive(const std::string& text);
  // A folder inside the test's temporary folder (not created).
  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  QtRecordingToolkit toolkit_;
  ScratchDir scratch_;
  const std::filesystem::path dir_ = scratch_.path();

 private:
  std::optional<ScopedEnv> registry_env_;  // WENLORA_REGISTRY during the test
};

// Answers modal dialogs from the event loop: every 10 ms the current step is
// offered the active modal widget (nullptr when there is none) until it
// returns true. After `timeout_ms` it gives up and closes the modal widget.
// A step must not open a modal dialog itself (queue such a click): the timer
// does not fire again while its callback runs.
class ModalDriver {
 public:
  using Step = std::function<bool(QWidget* modal)>;
  // The steps run in order; each ends when it returns true.
  explicit ModalDriver(std::vector<Step> steps, int timeout_ms = 10000);
  ~ModalDriver();
  // True when every step has run to its end.
  bool finished() const;

 private:
  struct State;
  State* state_;
};

// Runs the event loop until `done` is true or `timeout_ms` passes.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 10000);

}  // namespace tessaline::test
