// The store's cost per installer process on hives holding 1, 100 and 1,000
// pack records (three values each), the sizes users have: a new store opened
// on the hive each round, then one read or one write, as each installer
// process opens it once. BM_ParseHive times the parse alone at 100 and
// 1,000 records.
// Hives live in a scratch folder under the temporary folder, removed at exit.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "common/test_support.h"
#include "pack_hives.h"
#include "registry/cipher_reg.h"
#include "registry/hive_parse.h"

namespace tessaline {
namespace {

// The hive file holding `records` pack records, made on first use.
const std::string& HiveWith(int records) {
  static test::ScratchDir folder;
  static std::map<int, std::string> hives;
  auto [it, made] = hives.try_emplace(records);
  if (made) {
    it->second = folder / ("hive" + std::to_string(records) + ".reg");
    bench::WritePackHive(it->second, 1, records);
  }
  return it->second;
}

void Records(benchmark::internal::Benchmark* b) {
  b->ArgName("records")->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
  b->UseRealTime();  // the store reads, locks and syncs its file: wall time counts
}

// The value read or written: one in the middle of the records.
std::string MiddleTitle(int records) {
  return "Comm" + std::to_string((records + 1) / 2);
}

void BM_NewStoreRead(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string& path = HiveWith(records);
  const std::string name = MiddleTitle(records);
  for (auto _ : state) {
    tCipherReg store(52719, path);
    benchmark::DoNotOptimize(store.ReadValue("Pack", name, ""));
  }
}
BENCHMARK(BM_NewStoreRead)->Apply(Records);

void BM_NewStoreWrite(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string& path = HiveWith(records);
  const std::string name = MiddleTitle(records);
  bool flip = false;
  for (auto _ : state) {
    tCipherReg store(52719, path);
    // Alternate the text so that every write really changes the hive.
    flip = !flip;
    benchmark::DoNotOptimize(store.WriteValue("Pack", name, flip ? "Tessaline" : "Tessaline 2"));
  }
}
BENCHMARK(BM_NewStoreWrite)->Apply(Records);

// The parse alone touches no file: CPU time is the figure, per record.
void BM_ParseHive(benchmark::State& state) {
  const std::string text = test::ReadFile(HiveWith(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(ParseHive(text));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseHive)->ArgName("records")->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessaline
