#include "os/cache_size.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace tessaline {

namespace {

constexpr std::size_t kUnknownCacheBytes = std::size_t{8} << 20;

// The largest cache the kernel lists for the first processor ("32768K").
std::size_t LargestListedCache() {
  std::size_t largest = 0;
  for (int index = 0; index < 8; ++index) {
    std::ifstream in("/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index) + "/size");
    std::string text;
    if (!(in >> text)) break;
    std::size_t value = 0;
    std::size_t at = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + static_cast<std::size_t>(text[at++] - '0');
    }
    if (at < text.size() && (text[at] == 'K' || text[at] == 'k')) value <<= 10;
    if (at < text.size() && (text[at] == 'M' || text[at] == 'm')) value <<= 20;
    largest = std::max(largest, value);
  }
  return largest;
}

// The kernel's list comes first: the C library may report the whole package's
// third-level cache (all its core complexes), more than one core can use.
std::size_t FindLastLevelCacheBytes() {
  const std::size_t listed = LargestListedCache();
  if (listed > 0) return listed;
  for (int name : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
    const long bytes = sysconf(name);
    if (bytes > 0) return static_cast<std::size_t>(bytes);
  }
  return kUnknownCacheBytes;
}

}  // namespace

std::size_t LastLevelCacheBytes() {
  static const std::size_t bytes = FindLastLevelCacheBytes();
  return bytes;
}

}  // namespace tessaline
