// Installing the pack from a 64 MiB executable against the system's cp of the
// same file into the same folder followed by a sync of the copy (what a user
// would do by hand to get the file safely on disk). The installation also
// syncs its new file before putting it in place, syncs the folder and writes
// the pack record to the hive; BM_CopyFileReplacing shows the copy alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_support.h"
#include "installer/pack_copy.h"
#include "installer/identity.h"
#include "installer/installation.h"
#include "registry/cipher_reg.h"
#include "support/support_module.h"

extern char** environ;

namespace tessaline {
namespace {

constexpr std::size_t kSourceSize = std::size_t{64} << 20;

// A scratch folder with the 64 MiB source, shared by all the benchmarks.
class Workspace {
 public:
  Workspace() {
    test::WriteFile(source(), test::PatternBytes(kSourceSize, 42));
    std::filesystem::create_directory(root() + "/install");
    std::filesystem::create_directory(root() + "/cp");
  }
  std::string source() const { return scratch_ / "tessaline"; }
  const std::string& root() const { return scratch_.path(); }

 private:
  test::ScratchDir scratch_;
};

Workspace& Space() {
  static Workspace space;
  return space;
}

void BM_InstallPack(benchmark::State& state) {
  Workspace& space = Space();
  ::setenv("WENLORA_REGISTRY", (space.root() + "/system.reg").c_str(), 1);
  SupportStartup();
  RegistryStartup();
  PackNo = 1;
  PackNameCyr = "Тесселин";
  PackName = "Tessaline";
  for (auto _ : state) {
    benchmark::DoNotOptimize(InstallPack(space.root() + "/install/", space.source()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSourceSize));
  RegistryShutdown();
  SupportShutdown();
}
BENCHMARK(BM_InstallPack)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CopyFileReplacing(benchmark::State& state) {
  Workspace& space = Space();
  for (auto _ : state) {
    CopyFileReplacing(space.source(), space.root() + "/install/Tessaline.wpk");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSourceSize));
}
BENCHMARK(BM_CopyFileReplacing)->UseRealTime()->Unit(benchmark::kMillisecond);

// Baseline: /bin/cp SOURCE DEST, then fsync of DEST (as `sync DEST` does).
void BM_CpThenSync(benchmark::State& state) {
  Workspace& space = Space();
  const std::string target = space.root() + "/cp/Tessaline.wpk";
  std::string source = space.source();
  std::string dest = target;
  char cp[] = "/bin/cp";
  char* argv[] = {cp, source.data(), dest.data(), nullptr};
  for (auto _ : state) {
    pid_t pid;
    if (::posix_spawn(&pid, "/bin/cp", nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("cannot run /bin/cp");
      break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || fd < 0 || ::fsync(fd) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSourceSize));
}
BENCHMARK(BM_CpThenSync)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaline
