#include "window_test_support.h"

#include <QElapsedTimer>
#include <QTimer>

#include "registry/cipher_reg.h"

namespace tessaline::test {

void WindowTest::SetUp() {
  registry_env_.emplace("WENLORA_REGISTRY", HivePath().string());
  RegistryShutdown();
  RegistryStartup();
  SetToolkit(&toolkit_);
}

void WindowTest::TearDown() {
  SetToolkit(nullptr);
  RegistryShutdown();
  registry_env_.reset();
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
