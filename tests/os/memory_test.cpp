#include "os/memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace tessaline {
namespace {

// Preparing memory is only a hint: what the block already holds stays, at
// any alignment and size, also for blocks too small to be prepared.
TEST(PrepareToWriteTest, LeavesEveryByteAsItIs) {
  std::vector<unsigned char> block(std::size_t{3} << 20);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 131 + 7);
  const std::vector<unsigned char> before = block;
  PrepareToWrite(block.data() + 1, block.size() - 2);
  PrepareToWrite(block.data() + 4096, 100);
  PrepareToWrite(block.data(), 0);
  EXPECT_TRUE(block == before);
}

}  // namespace
}  // namespace tessaline
