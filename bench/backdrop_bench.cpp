// The whole backdrop (blend and 32 tiles) against the floor of filling the
// same frame with one colour, at the design size, full HD and 4K. Report
// paint time / fill time for each size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "installer/backdrop.h"

namespace tessaline {
namespace {

const Bitmap& Sheet() {
  static const Bitmap sheet = [] {
    std::ifstream in(TESSALINE_RESOURCE_DIR "/pack.bmp", std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(raw.size());
    std::memcpy(bytes.data(), raw.data(), raw.size());
    return Bitmap::FromDib(bytes);
  }();
  return sheet;
}

void SetSize(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

// Floor: one std::fill over a frame of the same size.
void BM_FillFrame(benchmark::State& state) {
  std::vector<std::uint32_t> frame(static_cast<std::size_t>(state.range(0) * state.range(1)));
  for (auto _ : state) {
    std::fill(frame.begin(), frame.end(), 0xff008000u);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  SetSize(state);
}

void BM_PaintBackdrop(benchmark::State& state) {
  Canvas canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Backdrop backdrop(Sheet());
  for (auto _ : state) {
    backdrop.Paint(canvas);
    benchmark::DoNotOptimize(canvas.Row(0));
    benchmark::ClobberMemory();
  }
  SetSize(state);
}

// The blend alone, to see what the tiles add.
void BM_FillGradient(benchmark::State& state) {
  Canvas canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    FillGradient(canvas, canvas.Bounds(), clWhite, clGreen);
    benchmark::DoNotOptimize(canvas.Row(0));
    benchmark::ClobberMemory();
  }
  SetSize(state);
}

#define TESSALINE_SIZES ->Args({688, 453})->Args({1920, 1080})->Args({3840, 2160})
BENCHMARK(BM_FillFrame) TESSALINE_SIZES;
BENCHMARK(BM_PaintBackdrop) TESSALINE_SIZES;
BENCHMARK(BM_FillGradient) TESSALINE_SIZES;

}  // namespace
}  // namespace tessaline
