// The store's reads and writes on hives holding 1, 100, 1,000 and 10,000 pack
// records (three values each), in one run. Two costs each: the per-process
// cost (a new store opened on the hive every round, as each installer process
// opens it once) and the steady cost (one store kept across rounds). Hives
// live in a scratch folder under the temporary folder, removed at exit.
// BM_ParseHive times the parse alone on the same texts, against a copy of the
// line-splitting parser it replaced (BM_ParseHiveBefore).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/test_support.h"
#include "text/compare.h"
#include "text/utf8.h"
#include "registry/cipher_reg.h"
#include "registry/hive_file.h"

#include "pack_hives.h"

namespace tessaline {
namespace {

// The hive parser and keys as they were before the single-pass parser and
// the name index: a copy kept here so that the benchmark compares both on the
// same texts in the same run.
namespace before {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

bool IsStorableValueName(std::string_view name) {
  return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
         utf8::IsValid(name);
}

bool IsStorableKeyName(std::string_view name) {
  return !name.empty() && name.find('\\') == std::string_view::npos && IsStorableValueName(name);
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = path.find('\\', start);
    if (slash == std::string_view::npos) {
      parts.emplace_back(path.substr(start));
      return parts;
    }
    parts.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
}

// The hive keys as they were: every name folded into a string that keys an
// unordered_map, so that the copy of the parser costs what it did.
struct KeyBefore {
  explicit KeyBefore(std::string key_name) : name(std::move(key_name)) {}

  KeyBefore& AddSubKey(std::string_view sub) {
    auto [it, inserted] = subkey_index.try_emplace(FoldCase(sub), subkeys.size());
    if (inserted) subkeys.push_back(std::make_unique<KeyBefore>(std::string(sub)));
    return *subkeys[it->second];
  }

  void SetValue(std::string_view value_name, std::uint32_t type, std::string data) {
    auto [it, inserted] = value_index.try_emplace(FoldCase(value_name), values.size());
    if (inserted) {
      values.push_back(HiveValue{std::string(value_name), type, std::move(data)});
    } else {
      values[it->second].type = type;
      values[it->second].data = std::move(data);
    }
  }

  std::string name;
  std::vector<std::unique_ptr<KeyBefore>> subkeys;
  std::vector<HiveValue> values;
  std::unordered_map<std::string, std::size_t> subkey_index;
  std::unordered_map<std::string, std::size_t> value_index;
};

struct HiveBefore {
  KeyBefore top{std::string()};

  KeyBefore& CreateKey(const std::vector<std::string>& path) {
    KeyBefore* key = &top.AddSubKey(CanonicalRootName(path.front()));
    for (std::size_t i = 1; i < path.size(); ++i) key = &key->AddSubKey(path[i]);
    return *key;
  }
};

class ParserBefore {
 public:
  explicit ParserBefore(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }

  HiveBefore Parse() {
    HiveBefore hive;
    if (lines_.empty()) return hive;
    if (TrimBlanks(lines_[0]) != "REGEDIT4") Fail(1, "the file does not begin with REGEDIT4");
    KeyBefore* key = nullptr;
    for (next_ = 1; next_ < lines_.size();) {
      const std::size_t line_no = next_ + 1;
      std::string_view line = TrimBlanks(lines_[next_++]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        key = &ParseKeyLine(hive, line, line_no);
      } else if (key == nullptr) {
        Fail(line_no, "a value outside of any key");
      } else {
        ParseValueLine(*key, line, line_no);
      }
    }
    return hive;
  }

 private:
  [[noreturn]] static void Fail(std::size_t line_no, const std::string& reason) {
    throw HiveSyntaxError(line_no, reason);
  }

  static KeyBefore& ParseKeyLine(HiveBefore& hive, std::string_view line, std::size_t line_no) {
    if (line.size() < 2 || line.back() != ']') Fail(line_no, "a key line without its closing ']'");
    std::vector<std::string> path = SplitPath(line.substr(1, line.size() - 2));
    if (path.size() > kMaxKeyDepth) {
      Fail(line_no, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    }
    std::string_view root = CanonicalRootName(path.front());
    if (root.empty()) Fail(line_no, "unknown root key '" + path.front() + "'");
    path.front() = std::string(root);
    for (std::size_t i = 1; i < path.size(); ++i) {
      if (!IsStorableKeyName(path[i])) Fail(line_no, "an invalid key name");
    }
    return hive.CreateKey(path);
  }

  // A quoted text starting at line[pos] == '"'; leaves pos after its closing quote.
  static std::string ParseQuoted(std::string_view line, std::size_t& pos, std::size_t line_no) {
    std::string out;
    for (++pos;; ++pos) {
      if (pos >= line.size()) Fail(line_no, "a text without its closing quote");
      char c = line[pos];
      if (c == '"') {
        ++pos;
        break;
      }
      if (c == '\\') {
        if (++pos >= line.size()) Fail(line_no, "a text without its closing quote");
        c = line[pos];
        if (c != '\\' && c != '"') Fail(line_no, std::string("an unknown escape '\\") + c + "'");
      }
      out.push_back(c);
    }
    if (!IsStorableValueName(out)) {
      Fail(line_no, "a text with a line break, a NUL byte or bytes that are not UTF-8");
    }
    return out;
  }

  static void SkipBlanks(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
  }

  void ParseValueLine(KeyBefore& key, std::string_view line, std::size_t line_no) {
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() == '"') {
      name = ParseQuoted(line, pos, line_no);
    } else {
      Fail(line_no, "a line that is neither a key, a value nor a comment");
    }
    SkipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') Fail(line_no, "a value name without '='");
    ++pos;
    SkipBlanks(line, pos);
    std::string_view rest = line.substr(pos);

    std::uint32_t type;
    std::string data;
    if (!rest.empty() && rest.front() == '"') {
      std::size_t end = 0;
      data = ParseQuoted(rest, end, line_no);
      if (end != rest.size()) Fail(line_no, "text after the closing quote");
      data.push_back('\0');
      type = kRegSz;
    } else if (StartsWithNoCase(rest, "dword:")) {
      rest.remove_prefix(6);
      std::uint32_t v = ParseHexNumber(rest, line_no, "a dword that is not 1 to 8 hex digits");
      type = kRegDword;
      for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    } else if (StartsWithNoCase(rest, "hex")) {
      rest.remove_prefix(3);
      type = kRegBinary;
      if (!rest.empty() && rest.front() == '(') {
        std::size_t close = rest.find(')');
        if (close == std::string_view::npos) Fail(line_no, "a value type without its ')'");
        type = ParseHexNumber(rest.substr(1, close - 1), line_no,
                              "a value type that is not 1 to 8 hex digits");
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != ':') Fail(line_no, "a hex value without ':'");
      rest.remove_prefix(1);
      data = ParseBytes(rest, line_no);
    } else {
      Fail(line_no, "a value of unknown form");
    }
    last_name_ = name;
    key.SetValue(name, type, std::move(data));
  }

  static std::uint32_t ParseHexNumber(std::string_view digits, std::size_t line_no,
                                      const char* reason) {
    if (digits.empty() || digits.size() > 8) Fail(line_no, reason);
    std::uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) Fail(line_no, reason);
      v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
  }

  // Comma-separated hex bytes, continued on the following lines while a line
  // ends with "\".
  std::string ParseBytes(std::string_view first, std::size_t line_no) {
    std::string joined(first);
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (next_ >= lines_.size()) Fail(line_no, "a continued value at the end of the file");
      joined.append(TrimBlanks(lines_[next_++]));
    }
    std::string data;
    std::string_view rest = TrimBlanks(joined);
    if (rest.empty()) return data;
    for (;;) {
      std::size_t comma = rest.find(',');
      std::string_view token = TrimBlanks(rest.substr(0, comma));
      int hi = token.size() == 2 ? HexDigit(token[0]) : 0;
      int lo = token.empty() || token.size() > 2 ? -1 : HexDigit(token.back());
      if (hi < 0 || lo < 0) Fail(line_no, "a byte that is not 1 or 2 hex digits");
      data.push_back(static_cast<char>(hi * 16 + lo));
      if (comma == std::string_view::npos) return data;
      rest.remove_prefix(comma + 1);
    }
  }

  std::vector<std::string_view> lines_;
  std::size_t next_ = 0;
  std::string last_name_;
};

}  // namespace before

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
  b->ArgName("records")->Arg(1)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
  b->UseRealTime();  // the store reads, locks and syncs its file: wall time counts
}

// The parse touches no file: CPU time is the figure.
void ParseRecords(benchmark::internal::Benchmark* b) {
  b->ArgName("records")->Arg(1)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
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

// The parse alone: the text of the hive with `records` records.
void BM_ParseHive(benchmark::State& state) {
  const std::string text = test::ReadFile(HiveWith(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(ParseHive(text));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseHive)->Apply(ParseRecords);

// Where a write's time goes: the text rewritten after one value changed
// (what Modify does before it writes the file), and the whole text written out.
void BM_RewriteHiveText(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const std::string text = test::ReadFile(HiveWith(records));
  Hive hive = ParseHive(text);
  hive.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"})
      .SetValue("Comm" + std::to_string((records + 1) / 2), kRegSz, std::string("Changed\0", 8));
  for (auto _ : state) benchmark::DoNotOptimize(RewriteHiveText(text, hive, std::size_t{1} << 26));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RewriteHiveText)->Apply(ParseRecords);

void BM_SerializeHive(benchmark::State& state) {
  const Hive hive = ParseHive(test::ReadFile(HiveWith(static_cast<int>(state.range(0)))));
  for (auto _ : state) benchmark::DoNotOptimize(SerializeHive(hive));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SerializeHive)->Apply(ParseRecords);

void BM_ParseHiveBefore(benchmark::State& state) {
  const std::string text = test::ReadFile(HiveWith(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(before::ParserBefore(text).Parse());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseHiveBefore)->Apply(ParseRecords);

}  // namespace
}  // namespace tessaline
