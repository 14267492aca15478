// Memory the program is about to fill.
//
// Thread use: any thread.
#pragma once

#include <cstddef>

namespace tessaline {

// Asks the system to back the whole pages within [begin, begin + size) with
// memory now, in one call, rather than one page fault at a time as they are
// first written: for a large block that is about to be written whole. Only a
// hint: the bytes stay as they are, small blocks are left alone, and nothing
// happens where the system cannot do it.
void PrepareToWrite(void* begin, std::size_t size);

}  // namespace tessaline
