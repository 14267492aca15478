#include "os/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace tessaline {

namespace {

// Blocks smaller than this gain less than the call costs.
constexpr std::size_t kLeastPrepared = std::size_t{64} << 10;

}  // namespace

void PrepareToWrite(void* begin, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  if (size < kLeastPrepared) return;
  static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(begin) + size) & ~(page - 1);
  // Faults the pages in as writes would, without changing a byte; a kernel
  // that does not know the advice refuses it, and the pages then come one
  // fault at a time as before.
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)size;
#endif
}

}  // namespace tessaline
