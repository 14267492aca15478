#include "support/toolkit.h"

#include <unistd.h>

#include <atomic>
#include <iostream>

#include "os/process.h"

namespace tessaline {

namespace {

std::atomic<Toolkit*> g_toolkit{nullptr};

ConsoleToolkit& DefaultToolkit() {
  static ConsoleToolkit toolkit(std::cout, std::cerr);
  return toolkit;
}

// True when `stream` is one of the standard streams and that one is a terminal.
bool IsTerminalStream(const std::ostream& stream) {
  if (&stream == &std::cerr || &stream == &std::clog) return IsTerminal(STDERR_FILENO);
  if (&stream == &std::cout) return IsTerminal(STDOUT_FILENO);
  return false;
}

}  // namespace

Toolkit& CurrentToolkit() {
  Toolkit* toolkit = g_toolkit.load(std::memory_order_acquire);
  return toolkit != nullptr ? *toolkit : DefaultToolkit();
}

void SetToolkit(Toolkit* toolkit) {
  g_toolkit.store(toolkit, std::memory_order_release);
}

std::string ExceptionDisplayText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + ".";
  }
  return message;
}

ConsoleToolkit::ConsoleToolkit(std::ostream& output, std::ostream& errors)
    : output_(output), errors_(errors) {}

int ConsoleToolkit::MessageBox(const std::string& text, const std::string& caption,
                               std::int32_t /*flags*/) {
  if (caption.empty()) {
    errors_ << text << '\n';
  } else {
    errors_ << caption << ": " << text << '\n';
  }
  errors_.flush();
  return kIdOk;
}

void ConsoleToolkit::ShowPlainMessage(const std::string& text) {
  output_ << text << '\n';
  output_.flush();
}

void ConsoleToolkit::ShowException(const std::string& message) {
  MessageBox(ExceptionDisplayText(message), title_, kMbIconError);
}

void ConsoleToolkit::Beep() {
  if (IsTerminalStream(errors_)) {
    errors_ << '\a';
    errors_.flush();
  }
}

}  // namespace tessaline
