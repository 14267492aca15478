// Child processes for the tests: run code in a child, wait for it or kill
// it, and let parent and child signal each other through a pipe, so that a
// race is driven step by step instead of by sleeping. The child leaves
// through _exit, so no test machinery of the parent runs twice. Nothing here
// needs GoogleTest.
//
// Thread use: the test's thread.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <utility>
#include <vector>

namespace tessaline::test {

// Exit code of a waitpid status: the code, or 128 + the signal.
inline int ExitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A one-way signal through a pipe: one process Posts, the other Awaits.
class Gate {
 public:
  Gate() {
    if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  ~Gate() {
    for (const int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  // Async-signal-safe: may be called in a child after fork.
  void Post() const {
    const char byte = 1;
    (void)!::write(fds_[1], &byte, 1);
  }
  // Blocks until Post; false when no process can Post any more.
  bool Await() {
    if (fds_[1] >= 0) {  // the awaiting side needs no write end of its own
      ::close(fds_[1]);
      fds_[1] = -1;
    }
    char byte;
    return ::read(fds_[0], &byte, 1) == 1;
  }

 private:
  int fds_[2];
};

// A child process running `body` (its result is the exit code). Killed and
// reaped when the object goes while it still runs.
class Child {
 public:
  explicit Child(const std::function<int()>& body) : pid_(::fork()) {
    if (pid_ == 0) ::_exit(body());
  }
  Child(Child&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) Kill();
  }

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Waits for the child to end; its exit code (128 + signal when killed).
  int Wait() {
    int status = 0;
    ::waitpid(std::exchange(pid_, -1), &status, 0);
    return ExitCodeOf(status);
  }
  // Ends the child with SIGKILL and waits for it.
  int Kill() {
    ::kill(pid_, SIGKILL);
    return Wait();
  }

 private:
  pid_t pid_;
};

// Runs `body` in a child process and returns its exit code.
inline int RunInChild(const std::function<int()>& body) {
  return Child(body).Wait();
}

// Runs `count` children at once, child i running body(i); their exit codes.
inline std::vector<int> RunChildren(int count, const std::function<int(int)>& body) {
  std::vector<Child> children;
  for (int i = 0; i < count; ++i) children.emplace_back([&body, i] { return body(i); });
  std::vector<int> codes;
  for (Child& child : children) codes.push_back(child.Wait());
  return codes;
}

}  // namespace tessaline::test
