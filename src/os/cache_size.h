// The size of the processor's last-level cache, for choosing between cached
// and non-temporal stores when writing large pictures.
//
// Thread use: any thread; the size is found once, on the first call.
#pragma once

#include <cstddef>

namespace tessaline {

// The largest cache the operating system lists for the first processor (the
// third level where there is one), in bytes; 8 MiB when it lists none.
std::size_t LastLevelCacheBytes();

}  // namespace tessaline
