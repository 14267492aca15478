#include "program_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "common/child_process.h"
#include "common/test_support.h"

extern char** environ;

namespace tessaline::test {
namespace {

// NULL-terminated pointers into `strings`, which must outlive them.
std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& env, const std::string& scratch_folder) {
  const std::string out_path = scratch_folder + "/program.out";
  const std::string err_path = scratch_folder + "/program.err";
  // Everything the child needs is made before the fork: after it, a child of
  // this threaded process may only make the calls that are safe there.
  std::vector<std::string> arg_strings = {program};
  arg_strings.insert(arg_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = env;
  const std::vector<char*> argv = Pointers(arg_strings);
  const std::vector<char*> envp = Pointers(env_strings);
  ProgramOutcome outcome;
  outcome.status = RunInChild([&] {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) return 126;
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execve(program.c_str(), argv.data(), envp.data());
    return 127;
  });
  outcome.out = ReadFile(out_path);
  outcome.err = ReadFile(err_path);
  return outcome;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> env = overrides;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('=') + 1);
    bool replaced = false;
    for (const std::string& given : overrides) replaced |= given.starts_with(name);
    if (!replaced) env.push_back(variable);
  }
  return env;
}

#ifdef TESSALINE_EXECUTABLE
ProgramOutcome RunInstaller(const std::vector<std::string>& args, const std::string& folder,
                            const std::string& hive, const std::vector<std::string>& env) {
  std::filesystem::create_directories(folder + "/tmp");
  std::vector<std::string> full_env = {"PATH=/usr/bin:/bin", "HOME=" + folder,
                                       "TMPDIR=" + folder + "/tmp", "WENLORA_REGISTRY=" + hive};
  for (const std::string& given : env) {
    const std::string name = given.substr(0, given.find('=') + 1);
    std::erase_if(full_env, [&](const std::string& v) { return v.starts_with(name); });
    full_env.push_back(given);
  }
  return RunProgram(TESSALINE_EXECUTABLE, args, full_env, folder);
}
#endif

}  // namespace tessaline::test
