// Facts about the running process that the Windows kernel interface would give:
// the executable's path and whether the caller runs on the main thread.
#pragma once

#include <string>
#include <thread>

namespace tessaline {

// Full path of the running executable (from /proc/self/exe). Empty if the
// system cannot tell. Thread-safe.
std::string ExecutablePath();

// The user's home folder: $HOME when set and not empty, else the password
// database's entry for the real user. Empty when neither tells.
std::string HomeFolder();

// The value of the environment variable `name`; empty when unset.
std::string EnvironmentValue(const char* name);

// Whether the process runs with root's rights (effective user 0).
bool RunsAsRoot();

// Makes writes to a closed pipe fail with EPIPE instead of ending the
// process with SIGPIPE, for the rest of the process.
void IgnoreBrokenPipes();

// The process's current folder; empty when it cannot be told.
std::string CurrentFolder();

// The effective user's id.
unsigned EffectiveUserId();

// True when called on the thread that started the process (recorded before
// main() runs). Thread-safe.
bool IsMainThread();

}  // namespace tessaline
