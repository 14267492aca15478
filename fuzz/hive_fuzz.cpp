// Feeds arbitrary bytes to the hive parser. Whatever parses must write out as
// a text that parses back to the same hive and writes out identically; the
// text rewritten in place after a change must read back as the changed hive,
// and unchanged it must stay byte for byte; so must a kept text whose hive is
// changed in place and committed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaline;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Hive hive;
  try {
    hive = ParseHive(text);
  } catch (const HiveSyntaxError& e) {
    if (e.line() == 0) std::abort();
    return 0;
  }
  const std::string written = SerializeHive(hive);
  const Hive again = ParseHive(written);  // must not raise
  if (!(again == hive)) std::abort();
  if (SerializeHive(again) != written) std::abort();

  // An empty text (no file yet) is written out whole.
  const bool empty = text.empty() || text == "\xEF\xBB\xBF";
  if (!empty && RewriteHiveText(text, hive, std::size_t{1} << 26) != std::string(text)) {
    std::abort();
  }
  Hive changed = hive;
  changed.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"})
      .SetValue("Pack1", kRegSz, std::string("/x/Tessaline.wpk\0", 17));
  const std::optional<std::string> rewritten = RewriteHiveText(text, changed, std::size_t{1} << 26);
  if (!rewritten || !(ParseHive(*rewritten) == changed)) std::abort();

  // Changed in place and committed twice, the text must read back as the
  // changed hive each time, and the kept hive must stay that hive: the
  // second commit relies on where the first left every line.
  HiveText kept = HiveText::Parse(std::string(text));
  for (int round = 0; round < 2; ++round) {
    Hive& now = kept.mutable_hive();
    std::vector<HiveKey*> keys;
    for (const auto& root : now.roots()) {
      keys.push_back(root.get());
      for (const auto& sub : root->subkeys()) keys.push_back(sub.get());
    }
    for (HiveKey* key : keys) {
      if (key->value_count() != 0) {
        const HiveValue first = key->value(0);
        key->SetValue(first.name, kRegBinary, std::string(round + 30, '\x7f'));
      }
      key->SetValue("added" + std::to_string(round), kRegSz, std::string("x\0", 2));
    }
    const Hive expected = now;
    if (!kept.Commit(std::size_t{1} << 26) || !(ParseHive(kept.text()) == expected) ||
        !(kept.hive() == expected)) {
      std::abort();
    }
  }
  return 0;
}
