#include "os/process.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "os/files.h"

namespace tessaline {

namespace {

// Static initialisation runs on the main thread, before main() and before any
// other thread can exist, so this records the main thread's identity.
const std::thread::id kMainThread = std::this_thread::get_id();

const char kRunningImage[] = "/proc/self/exe";

}  // namespace

std::string ExecutablePath() {
  Result<std::string> path = ReadLinkAt(AT_FDCWD, kRunningImage, kRunningImage);
  return path.ok() ? WithoutDeletedSuffix(path.value()) : std::string();
}

std::string RunningImagePath() {
  return kRunningImage;
}

std::string WithoutDeletedSuffix(const std::string& link) {
  static constexpr std::string_view kSuffix = " (deleted)";
  if (link.size() <= kSuffix.size() || !link.ends_with(kSuffix)) return link;
  const Result<struct stat> named = StatPath(link);
  const Result<struct stat> running = StatPath(kRunningImage);
  if (named.ok() && running.ok() && SameFile(named.value(), running.value())) return link;
  return link.substr(0, link.size() - kSuffix.size());
}

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  if (!home.empty()) return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

std::string EnvironmentValue(const char* name) {
  const char* value = CurrentSystem().Environment(name);
  return value != nullptr ? value : "";
}

bool RunsAsRoot() {
  return EffectiveUserId() == 0;
}

void IgnoreBrokenPipes() {
  ::signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(int fd) {
  return ::isatty(fd) == 1;
}

std::string CurrentFolder() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.c_str();
}

unsigned EffectiveUserId() {
  return CurrentSystem().EffectiveUser();
}

bool IsMainThread() {
  return std::this_thread::get_id() == kMainThread;
}

}  // namespace tessaline
