// Process start to the installer window's first painted frame (offscreen, on a
// 1920x1080 screen), in the same run against: a plain Qt window with the same
// controls (plain_qt_form, the main baseline), a bare Qt application that
// starts and quits, and an empty maximised window. Each iteration spawns the
// program and waits for it; wait4() gives the child's peak resident memory,
// reported as the peak_rss_kb counter of each repetition.
// BM_InstallerWithPacks starts the installer on a hive that records this pack
// and 0, 99 or 999 others, so that a start with the 100 or 1,000 packs a
// collector may have compares with one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A temporary folder with the offscreen screen's description and an empty
// registry hive, removed at exit.
struct Scene {
  fs::path dir;
  std::vector<std::string> env;

  Scene() {
    dir = fs::temp_directory_path() / ("tessaline-startup-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path screen = dir / "screen.json";
    std::ofstream(screen) << R"({"windowFrameMargins": false, "screens": [{"name": "s", "x": 0,)"
                          << R"( "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96,)"
                          << R"( "logicalBaseDpi": 96, "dpr": 1}]})";
    // The caller's environment without its display and registry.
    auto replaced = [](const std::string& entry) {
      for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=",
                               "WENLORA_REGISTRY=", "XDG_RUNTIME_DIR="}) {
        if (entry.rfind(name, 0) == 0) return true;
      }
      return false;
    };
    for (char** e = environ; *e != nullptr; ++e) {
      if (!replaced(*e)) env.push_back(*e);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen:configfile=" + screen.string());
    env.push_back("WENLORA_REGISTRY=" + (dir / "system.reg").string());
    env.push_back("XDG_RUNTIME_DIR=" + dir.string());
    env.push_back("TESSALINE_EXIT_AFTER_FIRST_PAINT=1");
    fs::permissions(dir, fs::perms::owner_all);
  }
  ~Scene() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// A hive file in the scene's folder recording this pack (number 1) and
// `packs` - 1 others, made on first use; the text is written directly, as the
// installer would write it.
std::string HiveWithPacks(int packs) {
  const fs::path path = TheScene().dir / ("packs" + std::to_string(packs) + ".reg");
  if (!fs::exists(path)) {
    std::ofstream out(path, std::ios::binary);
    out << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wenlora\\Pack]\n";
    for (int n = 1; n <= packs; ++n) {
      if (n == 1) {
        out << "\"Pack1\"=\"" << (TheScene().dir / "Tessaline.wpk").string() << "\"\n"
            << "\"Comm1\"=\"Tessaline\"\n\"Cir1\"=\"Тессалина\"\n";
        continue;
      }
      out << "\"Pack" << n << "\"=\"/opt/wenlora/packs/Pack number " << n << ".wpk\"\n"
          << "\"Comm" << n << "\"=\"Pack number " << n << "\"\n"
          << "\"Cir" << n << "\"=\"Колода номер " << n << "\"\n";
    }
    out << "\n";
  }
  return path.string();
}

// Runs `program` to its end with its output discarded; its peak resident
// memory in KiB, or -1 when it could not be run or failed. `hive`, when not
// empty, replaces the scene's registry hive.
long RunChild(const char* program, const std::string& hive = {}) {
  std::vector<std::string> env = TheScene().env;
  if (!hive.empty()) {
    for (std::string& entry : env) {
      if (entry.rfind("WENLORA_REGISTRY=", 0) == 0) entry = "WENLORA_REGISTRY=" + hive;
    }
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return -1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

void RunProgram(benchmark::State& state, const char* program, const std::string& hive = {}) {
  long run_peak_kb = 0;
  for (auto _ : state) {
    const long peak = RunChild(program, hive);
    if (peak < 0) {
      state.SkipWithError("the program failed");
      return;
    }
    run_peak_kb = std::max(run_peak_kb, peak);
  }
  state.counters["peak_rss_kb"] = static_cast<double>(run_peak_kb);
}

void BM_BareQtApplication(benchmark::State& state) {
  RunProgram(state, BARE_QT_APP);
}
BENCHMARK(BM_BareQtApplication)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareQtWindowToFirstPaint(benchmark::State& state) {
  RunProgram(state, BARE_QT_WINDOW);
}
BENCHMARK(BM_BareQtWindowToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainQtFormToFirstPaint(benchmark::State& state) {
  RunProgram(state, PLAIN_QT_FORM);
}
BENCHMARK(BM_PlainQtFormToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InstallerToFirstPaint(benchmark::State& state) {
  RunProgram(state, TESSALINE_EXECUTABLE);
}
BENCHMARK(BM_InstallerToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InstallerWithPacks(benchmark::State& state) {
  RunProgram(state, TESSALINE_EXECUTABLE, HiveWithPacks(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_InstallerWithPacks)
    ->ArgName("packs")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
