#include "drawing/row_program.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tessaline {
namespace {

// A 7-row source picture whose every pixel differs, and a program that uses
// it: rows 0..2 a fill, a copy moving down the source and a fill; rows 3..4
// a copy that stays on one source row; row 5 one fill over the whole width.
struct Example {
  static constexpr int kWidth = 13;
  std::vector<std::uint32_t> source;
  RowProgram program;

  Example() : source(7 * 20) {
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = 0xff000000u | (i * 2654435761u);
    for (int y = 0; y < 3; ++y) {
      const PixelRun runs[] = {
          {0, 2, 0xff111111u}, {2, 9, 0, source.data() + 20 * y + 5, 20}, {9, kWidth, 0xff222222u}};
      program.AddRow(y, runs);
    }
    for (int y = 3; y < 5; ++y) {
      const PixelRun runs[] = {{0, kWidth, 0, source.data() + 3, 0}};
      program.AddRow(y, runs);
    }
    const PixelRun last[] = {{0, kWidth, 0xff333333u}};
    program.AddRow(5, last);
  }

  std::uint32_t Expected(int x, int y) const {
    if (y < 3) {
      if (x < 2) return 0xff111111u;
      if (x < 9) return source[20 * y + 5 + (x - 2)];
      return 0xff222222u;
    }
    if (y < 5) return source[3 + x];
    return 0xff333333u;
  }
};

TEST(RowProgramTest, RowsThatMoveOnTogetherShareAGroup) {
  Example e;
  EXPECT_EQ(e.program.GroupCount(), 3u);
  // A row whose copy does not move on by the step starts a group of its own.
  RowProgram program;
  const PixelRun first[] = {{0, 4, 0, e.source.data(), 20}};
  const PixelRun same_place[] = {{0, 4, 0, e.source.data(), 20}};
  const PixelRun moved_on[] = {{0, 4, 0, e.source.data() + 20, 20}};
  program.AddRow(0, first);
  program.AddRow(1, same_place);
  program.AddRow(2, moved_on);
  EXPECT_EQ(program.GroupCount(), 2u);
}

TEST(RowProgramTest, BothStoresWriteTheRunsAndNothingElse) {
  // A borrowed buffer with row padding, its rows starting at every offset
  // from a 16-byte boundary (all rows at the same one, or each at another),
  // and rows below the program.
  for (RowStores stores : {RowStores::kCached, RowStores::kStreaming, RowStores::kBySize}) {
    for (int shift = 0; shift < 8; ++shift) {
      const int stride = shift < 4 ? 19 : 20, height = 8;
      SCOPED_TRACE(testing::Message() << static_cast<int>(stores) << " shift " << shift);
      Example e;
      std::vector<std::uint32_t> buffer(static_cast<std::size_t>(stride) * height + 8, 0x0badf00du);
      Canvas canvas(buffer.data() + shift % 4, Example::kWidth, height, stride * 4);
      e.program.Paint(canvas, stores);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < stride; ++x) {
          const std::uint32_t v = buffer[static_cast<std::size_t>(y) * stride + shift % 4 + x];
          const bool painted = y < 6 && x < Example::kWidth;
          ASSERT_EQ(v, painted ? e.Expected(x, y) : 0x0badf00du) << x << "," << y;
        }
      }
    }
  }
}

TEST(RowProgramTest, RowsBeyondTheCanvasAreNotWritten) {
  Example e;
  std::vector<std::uint32_t> buffer(Example::kWidth * 4, 0x0badf00du);
  Canvas canvas(buffer.data(), Example::kWidth, 3, Example::kWidth * 4);
  e.program.Paint(canvas, RowStores::kStreaming);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < Example::kWidth; ++x) ASSERT_EQ(canvas.Pixel(x, y), e.Expected(x, y));
  }
  for (int x = 0; x < Example::kWidth; ++x) EXPECT_EQ(buffer[3 * Example::kWidth + x], 0x0badf00du);
}

}  // namespace
}  // namespace tessaline
