// Feeds arbitrary bytes to the hive parser. Whatever parses must write out as
// a text that parses back to the same hive and writes out identically; the
// text rewritten in place after a change must read back as the changed hive,
// and unchanged it must stay byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

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
  return 0;
}
