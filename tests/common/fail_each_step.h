// The fault tests' driver: run an operation once under a FaultSystem to learn
// its steps, then once more for each step and each error code, with that
// step failing, and check what is left after every run.
//
// Thread use: the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/fault_system.h"

namespace tessaline::test {

// One run with one step failed.
struct FailedStep {
  std::size_t step;
  int code;
  FaultSystem::Call failed;
  std::vector<FaultSystem::Call> calls;  // every call of the run
  std::string message;                   // what the operation reported; empty: it succeeded

  // Whether a call of kind `op` came before the failed one.
  bool After(FsOp op) const {
    return std::any_of(calls.begin(), calls.begin() + step,
                       [op](const FaultSystem::Call& call) { return call.op == op; });
  }
};

struct StepDriver {
  // Puts the files back as they were before each run.
  std::function<void()> reset = [] {};
  // Sets up the fault system before each run (RefuseUnnamedFiles, ...).
  std::function<void(FaultSystem&)> prepare = [](FaultSystem&) {};
  // The operation: what it reported as a failure, or empty.
  std::function<std::string()> operation;
  // Checks one run; it runs inside a SCOPED_TRACE naming the step.
  std::function<void(const FailedStep&)> check;
  std::vector<int> codes = {EIO, ENOSPC};
};

// Runs the driver and returns how many runs reported a failure.
inline int FailEachStep(const StepDriver& driver) {
  std::size_t steps;
  {
    driver.reset();
    ScopedFaults fs;
    driver.prepare(fs);
    driver.operation();
    steps = fs.calls().size();
  }
  int failures = 0;
  for (const int code : driver.codes) {
    for (std::size_t step = 0; step < steps; ++step) {
      driver.reset();
      FailedStep run{step, code, {}, {}, {}};
      {
        ScopedFaults fs;
        driver.prepare(fs);
        fs.FailCall(step, code);
        run.message = driver.operation();
        run.calls = fs.calls();
      }
      if (step >= run.calls.size()) {
        ADD_FAILURE() << "step " << step << " was never reached";
        continue;
      }
      run.failed = run.calls[step];
      SCOPED_TRACE("step " + std::to_string(step) + " (" + std::to_string(code) +
                   "): " + FsOpName(run.failed.op) + " " + run.failed.path);
      if (!run.message.empty()) ++failures;
      driver.check(run);
    }
  }
  return failures;
}

}  // namespace tessaline::test
