// Facts about the running process: its executable, its user, its folders and
// environment, and whether the caller runs on the main thread.
#pragma once

#include <string>

namespace tessaline {

// Full path of the running executable (from /proc/self/exe), without the
// " (deleted)" the system adds once the file was deleted or replaced (see
// WithoutDeletedSuffix). Empty if the system cannot tell. Thread-safe.
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

// The effective user's id, and whether it is root's (0).
unsigned EffectiveUserId();
bool RunsAsRoot();

// Makes writes to a closed pipe fail with EPIPE instead of ending the
// process with SIGPIPE, for the rest of the process.
void IgnoreBrokenPipes();

// Whether the file descriptor `fd` (STDOUT_FILENO, ...) is a terminal.
bool IsTerminal(int fd);

// The process's current folder; empty when it cannot be told.
std::string CurrentFolder();

// True when called on the thread that started the process (recorded before
// main() runs). Thread-safe.
bool IsMainThread();

}  // namespace tessaline
