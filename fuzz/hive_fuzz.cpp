// Feeds arbitrary bytes to the hive parser, and to the check that builds
// nothing, which must find the same damage. Whatever parses must write out as
// a text that parses back to the same hive and writes out identically; the
// text rewritten line by line must stay byte for byte when nothing changed,
// and read back as the changed hive after values are changed, added and
// removed and a key is added.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive_parse.h"
#include "registry/hive_write.h"

namespace {

using namespace tessaline;

constexpr std::size_t kLimit = std::size_t{1} << 26;

// `hive` with a few changes to every root key and its subkeys: the first
// value's data changed, the last value removed, a value added; and a new key.
Hive Changed(const Hive& hive) {
  Hive changed = hive.Copy();
  if (!(changed == hive)) std::abort();
  std::vector<HiveKey*> keys;
  for (const auto& root : changed.roots()) {
    keys.push_back(root.get());
    for (const auto& sub : root->subkeys()) keys.push_back(sub.get());
  }
  for (HiveKey* key : keys) {
    if (key->value_count() > 1) {
      key->RemoveValue(std::string(key->value_name(key->value_count() - 1)));
    }
    if (key->value_count() != 0) {
      const std::string first(key->value_name(0));
      key->SetValue(first, kRegBinary, std::string(30, '\x7f'));
    }
    key->SetValue("added", kRegSz, std::string("x\0", 2));
  }
  changed.CreateKey({"HKEY_LOCAL_MACHINE", "SOFTWARE", "Wenlora", "Pack"})
      .SetValue("Pack1", kRegSz, std::string("/x/Tessaline.wpk\0", 17));
  return changed;
}

// `original` rewritten into `changed`, from its own parse.
std::optional<std::string> Rewrite(std::string_view original, const Hive& changed) {
  HiveLayout layout;
  Hive before = ParseHive(original, layout);
  return RewriteHiveText(original, std::move(before), std::move(layout), changed, kLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Hive hive;
  std::size_t damaged_line = 0;
  try {
    hive = ParseHive(text);
  } catch (const HiveSyntaxError& e) {
    if (e.line() == 0) std::abort();
    damaged_line = e.line();
  }
  // The check that builds nothing finds the same damage at the same line.
  try {
    CheckHive(text);
    if (damaged_line != 0) std::abort();
  } catch (const HiveSyntaxError& e) {
    if (e.line() != damaged_line) std::abort();
  }
  if (damaged_line != 0) return 0;
  const std::string written = SerializeHive(hive);
  const Hive again = ParseHive(written);  // must not raise
  if (!(again == hive)) std::abort();
  if (SerializeHive(again) != written) std::abort();

  // An empty text (no file yet) is written out whole.
  const bool empty = text.empty() || text == "\xEF\xBB\xBF";
  if (!empty && Rewrite(text, hive) != std::string(text)) std::abort();
  const Hive changed = Changed(hive);
  const std::optional<std::string> rewritten = Rewrite(text, changed);
  if (!rewritten || !(ParseHive(*rewritten) == changed)) std::abort();
  return 0;
}
