// The store's reads and writes on hives holding 1, 100, 1,000 and 10,000 pack
// records (three values each), in one run. Two costs each: the per-process
// cost (a new store opened on the hive every round, as each installer process
// opens it once) and the steady cost (one store kept across rounds). Hives
// live in a scratch folder under the temporary folder, removed at exit.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/test_support.h"
#include "registry/cipher_reg.h"
#include "registry/hive_file.h"

namespace tessaline {
namespace {

// The hive file holding `records` pack records, made on first use.
const std::string& HiveWith(int records) {
  static test::ScratchDir folder;
  static std::map<int, std::string> hives;
  auto [it, made] = hives.try_emplace(records);
  if (made) {
    it->second = folder / ("hive" + std::to_string(records) + ".reg");
    HiveFile file(it->second);
    file.Modify([&](Hive& hive) {
      HiveKey& pack = hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"});
      for (int n = 1; n <= records; ++n) {
        const std::string no = std::to_string(n);
        pack.SetValue("Pack" + no, kRegSz, "/opt/wenlora/packs/Pack number " + no + ".wpk" + '\0');
        pack.SetValue("Comm" + no, kRegSz, "Pack number " + no + '\0');
        pack.SetValue("Cir" + no, kRegSz, "Колода номер " + no + '\0');
      }
      return true;
    });
  }
  return it->second;
}

void Records(benchmark::internal::Benchmark* b) {
  b->ArgName("records")->Arg(1)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
  b->UseRealTime();  // the store reads, locks and syncs its file: wall time counts
}

void BM_ReadValue(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  tCipherReg store(52719, HiveWith(records));
  const std::string name = "Comm" + std::to_string((records + 1) / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.ReadValue("Pack", name, ""));
  }
}
BENCHMARK(BM_ReadValue)->Apply(Records);

// Per process: a new store on the hive each round, then one read.
void BM_NewStoreRead(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string& path = HiveWith(records);
  const std::string name = "Comm" + std::to_string((records + 1) / 2);
  for (auto _ : state) {
    tCipherReg store(52719, path);
    benchmark::DoNotOptimize(store.ReadValue("Pack", name, ""));
  }
}
BENCHMARK(BM_NewStoreRead)->Apply(Records);

// Per process: a new store on the hive each round, then one write.
void BM_NewStoreWrite(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string& path = HiveWith(records);
  const std::string name = "Comm" + std::to_string((records + 1) / 2);
  bool flip = false;
  for (auto _ : state) {
    tCipherReg store(52719, path);
    flip = !flip;
    benchmark::DoNotOptimize(store.WriteValue("Pack", name, flip ? "Tessaline" : "Tessaline 2"));
  }
}
BENCHMARK(BM_NewStoreWrite)->Apply(Records);

void BM_WriteValue(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  tCipherReg store(52719, HiveWith(records));
  const std::string name = "Comm" + std::to_string((records + 1) / 2);
  bool flip = false;
  for (auto _ : state) {
    // Alternate the text so that every write really changes the hive.
    flip = !flip;
    benchmark::DoNotOptimize(store.WriteValue("Pack", name, flip ? "Tessaline" : "Tessaline 2"));
  }
}
BENCHMARK(BM_WriteValue)->Apply(Records);

}  // namespace
}  // namespace tessaline
