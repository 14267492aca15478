// Installing the pack as a user does it without a window, a whole process
// each round: the real `tessaline --install DIR` (which copies its own
// executable into DIR, syncs it, syncs the folder and writes the pack record)
// with a private WENLORA_REGISTRY, against `cp` of the same executable into
// a folder followed by `sync` of the copy (what a user would do by hand to get
// the file safely on disk), in the same run. Every round gets a new
// destination folder and, for the installer, a new hive, so that each round
// installs afresh; the previous round's files are removed outside the timing.
// BM_InstallWithPacks installs into a hive that already records other packs,
// so that the 100 and 1,000 packs a collector may have compare with 1 (a
// fresh copy of the hive each round, made and synced to disk outside the
// timing, so that the record is written anew every time and the copy's own
// writing is not timed: a user's hive has long been on disk).
// BM_DurableRewrite is the floor under it: what recording a pack must write
// whatever the program.
// BM_PackFileSize reports the size of the pack file every install writes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "pack_hives.h"

extern char** environ;

namespace tessaline {
namespace {

namespace fs = std::filesystem;

// Runs argv[0] with `extra_env` added to the environment and its output
// discarded; true when it exits with status 0.
bool Run(std::vector<std::string> args, const std::vector<std::string>& extra_env) {
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("WENLORA_REGISTRY=", 0) != 0) env_strings.push_back(*e);
  }
  env_strings.insert(env_strings.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp, argv;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

test::ScratchDir& Scratch() {
  static test::ScratchDir scratch;
  return scratch;
}

// A new, empty folder for round `n` of a benchmark, the previous one removed.
std::string FreshFolder(const std::string& name, long n) {
  const fs::path base = Scratch().path();
  std::error_code ignored;
  fs::remove_all(base / (name + std::to_string(n - 1)), ignored);
  fs::remove(base / (name + std::to_string(n - 1) + ".reg"), ignored);
  const fs::path dir = base / (name + std::to_string(n));
  fs::create_directories(dir);
  return dir.string();
}

// Syncs the file `path` and its folder to disk; false when that fails.
bool SyncToDisk(const fs::path& path) {
  bool synced = true;
  for (const fs::path& each : {path, path.parent_path()}) {
    const int fd = open(each.c_str(), O_RDONLY | O_CLOEXEC);
    synced = synced && fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
  }
  return synced;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(fs::file_size(TESSALINE_EXECUTABLE)));
}

void BM_InstallProcess(benchmark::State& state) {
  long round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder("install", ++round);
    const std::string hive = dir + ".reg";
    state.ResumeTiming();
    if (!Run({TESSALINE_EXECUTABLE, "--install", dir}, {"WENLORA_REGISTRY=" + hive})) {
      state.SkipWithError("tessaline --install failed");
      break;
    }
  }
  SetBytes(state);
}
BENCHMARK(BM_InstallProcess)->UseRealTime()->Unit(benchmark::kMillisecond);

// A hive file recording `packs` - 1 packs other than this one (numbers from
// 2), made on first use.
const std::string& HiveWithOtherPacks(int packs) {
  static std::map<int, std::string> hives;
  auto [it, made] = hives.try_emplace(packs);
  if (made) {
    it->second = Scratch() / ("packs" + std::to_string(packs) + ".reg");
    bench::WritePackHive(it->second, 2, packs);
  }
  return it->second;
}

// The pack counts users have, timed by the wall clock.
void AtPackCounts(benchmark::internal::Benchmark* b) {
  b->ArgName("packs")->Arg(1)->Arg(100)->Arg(1000)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void BM_InstallWithPacks(benchmark::State& state) {
  const int packs = static_cast<int>(state.range(0));
  const std::string& recorded = HiveWithOtherPacks(packs);
  const std::string name = "packs" + std::to_string(packs) + "-";
  long round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder(name, ++round);
    const std::string hive = dir + ".reg";
    fs::copy_file(recorded, hive, fs::copy_options::overwrite_existing);
    if (!SyncToDisk(hive)) {
      state.SkipWithError("syncing the hive failed");
      break;
    }
    state.ResumeTiming();
    if (!Run({TESSALINE_EXECUTABLE, "--install", dir}, {"WENLORA_REGISTRY=" + hive})) {
      state.SkipWithError("tessaline --install failed");
      break;
    }
  }
  SetBytes(state);
}
BENCHMARK(BM_InstallWithPacks)->Apply(AtPackCounts);

// Baseline: cp EXECUTABLE DIR/Tessaline.wpk, then sync DIR/Tessaline.wpk.
void BM_CpThenSync(benchmark::State& state) {
  long round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string target = FreshFolder("cp", ++round) + "/Tessaline.wpk";
    state.ResumeTiming();
    if (!Run({"/bin/cp", TESSALINE_EXECUTABLE, target}, {}) || !Run({"/bin/sync", target}, {})) {
      state.SkipWithError("cp or sync failed");
      break;
    }
  }
  SetBytes(state);
}
BENCHMARK(BM_CpThenSync)->UseRealTime()->Unit(benchmark::kMillisecond);

// The floor under BM_InstallWithPacks: the hive of `packs` packs written to
// a new file, synced, renamed over the hive and its folder synced, once (the
// record is one change of the hive), in-process.
void BM_DurableRewrite(benchmark::State& state) {
  const std::string text = test::ReadFile(HiveWithOtherPacks(static_cast<int>(state.range(0))));
  const std::string dir = Scratch() / ("rewrite" + std::to_string(state.range(0)));
  fs::create_directories(dir);
  const std::string hive = dir + "/system.reg", temp = hive + ".tmp";
  for (auto _ : state) {
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool done = fd >= 0 && folder >= 0 &&
                      write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                      fsync(fd) == 0 && rename(temp.c_str(), hive.c_str()) == 0 &&
                      fsync(folder) == 0;
    if (fd >= 0) close(fd);
    if (folder >= 0) close(folder);
    if (!done) {
      state.SkipWithError("writing the hive failed");
      break;
    }
  }
}
BENCHMARK(BM_DurableRewrite)->Apply(AtPackCounts);

// Not a time: the size of the file every install copies, reported as the
// counter "bytes" (the stripped executable, resources included).
void BM_PackFileSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(fs::file_size(TESSALINE_EXECUTABLE));
  state.counters["bytes"] = static_cast<double>(fs::file_size(TESSALINE_EXECUTABLE));
}
BENCHMARK(BM_PackFileSize)->Iterations(1)->Repetitions(1);

}  // namespace
}  // namespace tessaline
