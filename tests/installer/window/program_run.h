// Runs a program in a child process (common/child_process.h), as a user or a
// script would: with exactly the environment given, its standard input
// empty and its standard output and error caught.
#pragma once

#include <string>
#include <vector>

namespace tessaline::test {

struct ProgramOutcome {
  int status = -1;  // the exit code; 128 + the signal when one ended it
  std::string out, err;
};

// Runs `program` with `args` (after its name) and the environment `env`
// ("NAME=value" each); its output goes through files in `scratch_folder`.
ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& env, const std::string& scratch_folder);

// This process's environment with `overrides` ("NAME=value") put in place of
// the variables of those names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

#ifdef TESSALINE_EXECUTABLE
// The installer executable with a clean environment: no display unless
// `env` gives one, the home folder `folder`, the temporary folder
// `folder`/tmp (made here) and the hive `hive`; `env` comes last and wins.
ProgramOutcome RunInstaller(const std::vector<std::string>& args, const std::string& folder,
                            const std::string& hive, const std::vector<std::string>& env = {});
#endif

}  // namespace tessaline::test
