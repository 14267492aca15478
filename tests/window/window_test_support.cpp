#include "window_test_support.h"

#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>

#include "registry/cipher_reg.h"

namespace tessaline::test {

void WindowTest::SetUp() {
  if (const char* old = std::getenv("WENLORA_REGISTRY")) {
    had_registry_ = true;
    saved_registry_ = old;
  }
  setenv("WENLORA_REGISTRY", HivePath().c_str(), 1);
  RegistryShutdown();
  RegistryStartup();
  SetToolkit(&toolkit_);
}

void WindowTest::TearDown() {
  SetToolkit(nullptr);
  RegistryShutdown();
  if (had_registry_) {
    setenv("WENLORA_REGISTRY", saved_registry_.c_str(), 1);
  } else {
    unsetenv("WENLORA_REGISTRY");
  }
  RegistryStartup();
}

void WindowTest::WriteHive(const std::string& text) {
  RegistryShutdown();
  WriteFile(HivePath().string(), text);
  RegistryStartup();
}

struct ModalDriver::State {
  std::vector<Step> steps;
  std::size_t next = 0;
  QTimer timer;
  QElapsedTimer clock;
  int timeout_ms;
};

ModalDriver::ModalDriver(std::vector<Step> steps, int timeout_ms) : state_(new State) {
  state_->steps = std::move(steps);
  state_->timeout_ms = timeout_ms;
  state_->clock.start();
  State* state = state_;
  QObject::connect(&state_->timer, &QTimer::timeout, [state] {
    if (state->next >= state->steps.size()) {
      state->timer.stop();
      return;
    }
    if (state->clock.elapsed() > state->timeout_ms) {
      state->timer.stop();
      // A modal dialog left open by a failed test would hang it: close it.
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
      return;
    }
    if (state->steps[state->next](QApplication::activeModalWidget())) ++state->next;
  });
  state_->timer.start(10);
}

ModalDriver::~ModalDriver() {
  delete state_;
}

bool ModalDriver::finished() const {
  return state_->next >= state_->steps.size();
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace tessaline::test
