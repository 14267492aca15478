#include "platform/process.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tessaline {

namespace {

// Static initialisation runs on the main thread, before main() and before any
// other thread can exist, so this records the main thread's identity.
const std::thread::id kMainThread = std::this_thread::get_id();

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

bool IsMainThread() {
  return std::this_thread::get_id() == kMainThread;
}

}  // namespace tessaline
