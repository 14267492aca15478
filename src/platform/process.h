// Facts about the running process that the Windows kernel interface would give:
// the executable's path and whether the caller runs on the main thread.
#pragma once

#include <string>
#include <thread>

namespace tessaline {

// Full path of the running executable (from /proc/self/exe). Empty if the
// system cannot tell. Thread-safe.
std::string ExecutablePath();

// True when called on the thread that started the process (recorded before
// main() runs). Thread-safe.
bool IsMainThread();

}  // namespace tessaline
