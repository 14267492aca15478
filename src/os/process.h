// Facts about the running process that the Windows kernel interface would give:
// the executable's path and whether the caller runs on the main thread.
#pragma once

#include <string>
#include <thread>

namespace tessaline {

// Full path of the running executable (from /proc/self/exe). When the file
// was deleted or replaced since the process started, the system names it
// "<path> (deleted)"; the path is then given without that suffix. Empty if
// the system cannot tell. Thread-safe.
std::string ExecutablePath();

// A path that opens the running executable's own bytes ("/proc/self/exe"),
// even after the file at ExecutablePath() was deleted or replaced.
std::string RunningImagePath();

// The rule of ExecutablePath: `link` (the target of /proc/self/exe) without
// a trailing " (deleted)" unless a file named exactly `link` is the running
// image itself (a file that really has that name).
std::string WithoutDeletedSuffix(const std::string& link);

// The user's home folder: $HOME when set and not empty, else the password
// database's entry for the real user. Empty when neither tells.
std::string HomeFolder();

// The value of the environment variable `name`; empty when unset.
std::string EnvironmentValue(const char* name);

// Sets the environment variable `name` to `value` for this process and the
// programs it starts. Not thread-safe: call before other threads start.
void SetEnvironmentValue(const char* name, const char* value);

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
