#include "drawing/row_program.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "os/cache_size.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaline {

namespace {

// Fills `count` pixels with one value, with the widest stores the processor
// has (chosen when the program is loaded).
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void FillPixels(std::uint32_t* dest, std::size_t count, std::uint32_t pixel) {
  for (std::size_t i = 0; i < count; ++i) dest[i] = pixel;
}

// Writes one run's pixels for the k-th row of its group to `dest` (which is
// pixel x0 of that row).
inline void WriteRun(const PixelRun& run, std::ptrdiff_t k, std::uint32_t* dest) {
  const std::size_t count = static_cast<std::size_t>(run.x1 - run.x0);
  if (run.source == nullptr) {
    if (count < 16) {
      std::fill_n(dest, count, run.pixel);
    } else {
      FillPixels(dest, count, run.pixel);
    }
  } else {
    std::memcpy(dest, run.source + k * run.step, count * sizeof(std::uint32_t));
  }
}

// Copies `count` pixels to `dest` with stores that bypass the caches. `from`
// lies as far past a 16-byte boundary as `dest` does.
void StreamPixels(std::uint32_t* dest, const std::uint32_t* from, std::size_t count) {
#if defined(__SSE2__)
  std::size_t i = 0;
  for (; i < count && (reinterpret_cast<std::uintptr_t>(dest + i) & 15) != 0; ++i) {
    _mm_stream_si32(reinterpret_cast<int*>(dest + i), static_cast<int>(from[i]));
  }
  // Four stores a step: a whole cache line when the row is aligned to one.
  for (; i + 16 <= count; i += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(from + i);
    auto* out = reinterpret_cast<__m128i*>(dest + i);
    const __m128i a = _mm_load_si128(in), b = _mm_load_si128(in + 1);
    const __m128i c = _mm_load_si128(in + 2), d = _mm_load_si128(in + 3);
    _mm_stream_si128(out, a);
    _mm_stream_si128(out + 1, b);
    _mm_stream_si128(out + 2, c);
    _mm_stream_si128(out + 3, d);
  }
  for (; i + 4 <= count; i += 4) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(dest + i),
                     _mm_load_si128(reinterpret_cast<const __m128i*>(from + i)));
  }
  for (; i < count; ++i) {
    _mm_stream_si32(reinterpret_cast<int*>(dest + i), static_cast<int>(from[i]));
  }
#else
  std::memcpy(dest, from, count * sizeof(std::uint32_t));
#endif
}

}  // namespace

bool RowProgram::ContinuesLastGroup(int y, std::span<const PixelRun> runs) const {
  if (groups_.empty()) return false;
  const Group& last = groups_.back();
  if (last.bottom != y || last.last - last.first != runs.size()) return false;
  const std::ptrdiff_t k = y - last.top;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const PixelRun& a = runs_[last.first + i];
    const PixelRun& b = runs[i];
    if (a.x0 != b.x0 || a.x1 != b.x1 || (a.source == nullptr) != (b.source == nullptr)) {
      return false;
    }
    if (a.source == nullptr ? a.pixel != b.pixel
                            : a.step != b.step || a.source + k * a.step != b.source) {
      return false;
    }
  }
  return true;
}

void RowProgram::AddRow(int y, std::span<const PixelRun> runs) {
  assert(groups_.empty() || groups_.back().bottom == y);
  assert(runs.empty() || runs.front().x0 >= 0);
  if (ContinuesLastGroup(y, runs)) {
    ++groups_.back().bottom;
    return;
  }
  const std::size_t first = runs_.size();
  runs_.insert(runs_.end(), runs.begin(), runs.end());
  groups_.push_back({y, y + 1, first, runs_.size()});
  if (!runs.empty()) widest_ = std::max(widest_, runs.back().x1);
}

void RowProgram::RepeatLastRow() {
  assert(!groups_.empty());
  ++groups_.back().bottom;
}

void RowProgram::Paint(Canvas& canvas, RowStores stores) const {
  assert(widest_ <= canvas.Width());
  if (stores == RowStores::kBySize) {
    const std::size_t bytes = static_cast<std::size_t>(canvas.Width()) *
                              static_cast<std::size_t>(canvas.Height()) * sizeof(std::uint32_t);
    // Half the cache: the picture shares it with its sources and everything
    // else running, and a picture of nearly the cache's size gets evicted
    // before it is used.
    stores = bytes > LastLevelCacheBytes() / 2 ? RowStores::kStreaming : RowStores::kCached;
  }
  if (stores == RowStores::kCached) {
    PaintCached(canvas);
  } else {
    PaintStreaming(canvas);
  }
}

void RowProgram::PaintCached(Canvas& canvas) const {
  for (const Group& group : groups_) {
    const int bottom = std::min(group.bottom, canvas.Height());
    for (int y = std::max(group.top, 0); y < bottom; ++y) {
      std::uint32_t* row = canvas.Row(y);
      const std::ptrdiff_t k = y - group.top;
      for (std::size_t i = group.first; i < group.last; ++i) {
        WriteRun(runs_[i], k, row + runs_[i].x0);
      }
    }
  }
}

void RowProgram::PaintStreaming(Canvas& canvas) const {
  // Each row is put together in a buffer that stays in the first-level cache
  // and then streamed out whole, so that every cache line of the canvas is
  // written completely by stores that do not read it first. On the rows of a
  // group after its first only the runs whose source moves on change, so
  // only they are written into the buffer again. The buffer is 64-byte
  // aligned; a row's pixels go into it as far past that as the row lies past
  // a 16-byte boundary, so that loads and stores align.
  std::vector<std::uint32_t> buffer(static_cast<std::size_t>(widest_) + 20);
  const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
  std::uint32_t* const aligned = buffer.data() + ((64 - base % 64) % 64) / sizeof(std::uint32_t);
  for (const Group& group : groups_) {
    if (group.first == group.last) continue;
    const int x0 = runs_[group.first].x0;
    const std::size_t count = static_cast<std::size_t>(runs_[group.last - 1].x1 - x0);
    const int bottom = std::min(group.bottom, canvas.Height());
    const std::uint32_t* filled = nullptr;  // where the buffer holds the group's row
    for (int y = std::max(group.top, 0); y < bottom; ++y) {
      std::uint32_t* dest = canvas.Row(y) + x0;
      std::uint32_t* line =
          aligned + (reinterpret_cast<std::uintptr_t>(dest) % 16) / sizeof(std::uint32_t);
      const std::ptrdiff_t k = y - group.top;
      for (std::size_t i = group.first; i < group.last; ++i) {
        const PixelRun& run = runs_[i];
        if (line == filled && run.step == 0) continue;  // already in place
        WriteRun(run, k, line + (run.x0 - x0));
      }
      filled = line;
      StreamPixels(dest, line, count);
    }
  }
#if defined(__SSE2__)
  _mm_sfence();  // the streamed stores are seen before anything that follows
#endif
}

}  // namespace tessaline
