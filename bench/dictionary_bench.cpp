// Translate on pages of 10, 1,000 and 10,000 entries (whole-text hit, hit on
// the core after affixes are split off, miss), against the least a lookup can
// cost in the same run: a std::unordered_map holding the same entries, looking
// up the same text as the whole-text hit (a hit as well, exact case).
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "support/dictionary.h"

namespace tessaline {
namespace {

std::string KeyOf(int i) {
  return "Message text number " + std::to_string(i) + " of the pack";
}

struct Fixture {
  explicit Fixture(int entries) {
    dict.SetDictFileName("/nonexistent/bench.dic");
    page = dict.GetPage("Common");
    for (int i = 0; i < entries; ++i) {
      keys.push_back(KeyOf(i));
      page->SetValue(keys.back(), "Translation " + std::to_string(i));
      map.emplace(keys.back(), "Translation " + std::to_string(i));
    }
    page->Loaded = true;  // filled above; no file is read
    const int middle = entries / 2;
    whole = KeyOf(middle);
    affixed = "  12) " + KeyOf(middle) + ":";
    miss = "Text that no page holds";
  }

  TDictionary dict;
  TDictPage* page;
  std::vector<std::string> keys;
  std::unordered_map<std::string, std::string> map;
  std::string whole, affixed, miss;
};

Fixture& FixtureFor(int entries) {
  static std::unordered_map<int, Fixture*> fixtures;
  auto [it, inserted] = fixtures.try_emplace(entries, nullptr);
  if (inserted) it->second = new Fixture(entries);  // kept for the whole run
  return *it->second;
}

const std::string& TextFor(Fixture& f, int which) {
  return which == 0 ? f.whole : which == 1 ? f.affixed : f.miss;
}

void Args(benchmark::internal::Benchmark* b) {
  for (int entries : {10, 1000, 10000}) {
    for (int which : {0, 1, 2}) b->Args({entries, which});
  }
  b->ArgNames({"entries", "case"});  // case: 0 whole hit, 1 affix hit, 2 miss
}

void BM_Translate(benchmark::State& state) {
  Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
  const std::string& text = TextFor(f, static_cast<int>(state.range(1)));
  std::string result;
  for (auto _ : state) {
    result = f.page->TranslateOrSame(text);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_Translate)->Apply(Args);

// Baseline: one exact-key hash lookup of the whole-text hit's text, which
// the map holds (no case folding, no affixes), with the value copied out as
// TranslateOrSame copies its result.
void BM_BaselineUnorderedMap(benchmark::State& state) {
  Fixture& f = FixtureFor(static_cast<int>(state.range(0)));
  std::string result;
  for (auto _ : state) {
    auto it = f.map.find(f.whole);
    if (it != f.map.end()) result = it->second;
    benchmark::DoNotOptimize(result);
  }
  if (f.map.find(f.whole) == f.map.end()) state.SkipWithError("the baseline missed");
}
BENCHMARK(BM_BaselineUnorderedMap)->ArgName("entries")->Arg(10)->Arg(1000)->Arg(10000);

}  // namespace
}  // namespace tessaline
