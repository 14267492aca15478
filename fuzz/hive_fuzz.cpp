// Feeds arbitrary bytes to the hive parser. Whatever parses must write out as
// a text that parses back to the same hive and writes out identically.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
  return 0;
}
