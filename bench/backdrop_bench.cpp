// The whole backdrop (blend and 32 tiles) at the design size, full HD and 4K:
// Backdrop::Paint, the window's painter, step by step (BM_PaintBackdrop,
// repeated paints of one size, as the window's; BM_PaintBackdropFirst, a
// fresh backdrop's first paint, making the tiles' clips), against, in the
// same run:
//  - the floor: every byte of the frame written once with memset, plus one
//    memcpy of the 32 tiles' pixels from the decoded sheet;
//  - two peers drawing the same picture: QPainter on a QImage (when Qt is
//    built), with clip regions and with the tiles cut into unclipped bands,
//    and pixman (when found). Each peer's differing_pixels counter counts the
//    pixels where its picture differs from the backdrop's.
// Run with --benchmark_repetitions and --benchmark_enable_random_interleaving
// (scripts/bench.sh does) and compare medians. CPU time is the whole
// process's, so that work a library hands to threads of its own counts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "drawing/backdrop.h"

#ifdef TESSALINE_BENCH_QT
#include <QImage>
#include <QPainter>
#include <QRegion>
#endif
#ifdef TESSALINE_BENCH_PIXMAN
#include <pixman.h>
#endif

namespace tessaline {
namespace {

// The card sheet's file (an 8-bit bitmap) and its decoded picture.
std::span<const std::byte> SheetFile() {
  static const std::string bytes = test::ReadFile(TESSALINE_RESOURCE_DIR "/pack.bmp");
  return std::as_bytes(std::span(bytes));
}

const Bitmap& Sheet() {
  static const Bitmap sheet = Bitmap::FromDib(SheetFile());
  return sheet;
}

[[maybe_unused]] int SheetStride() {
  const Canvas& c = Sheet().canvas();
  return c.Height() > 1 ? static_cast<int>(reinterpret_cast<const char*>(c.Row(1)) -
                                           reinterpret_cast<const char*>(c.Row(0)))
                        : c.Width() * 4;
}

void SetSize(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

// A frame of 32-bit pixels aligned for the SSE2 stores, rows packed.
struct Frame {
  Frame(int w, int h) : width(w), height(h), bytes(std::size_t(w) * std::size_t(h) * 4) {
    pixels.reset(static_cast<std::uint32_t*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64)));
    std::memset(pixels.get(), 0, bytes);
  }
  std::uint32_t* Row(int y) { return pixels.get() + std::size_t(y) * std::size_t(width); }

  int width, height;
  std::size_t bytes;
  std::unique_ptr<std::uint32_t, decltype(&std::free)> pixels{nullptr, &std::free};
};

// The picture's geometry, as the backdrop draws it: the blend's band rects
// (two strips each, every pixel in exactly one), the tiles, their cells.
struct Scene {
  struct Band {
    IntRect right, bottom;
    std::uint8_t r, g, b;
  };
  std::array<Band, 100> bands;
  std::array<IntRect, 32> tiles, cells;

  Scene(int w, int h) {
    std::int64_t width = w, height = h;
    for (int i = 0; i < 100; ++i) {
      // From (0, 128, 0) at the edges towards (255, 255, 255) in the corner.
      auto mix = [i](int e, int c) {
        return static_cast<std::uint8_t>((e * (100 - i) + c * i) / 100);
      };
      const std::int64_t next_w = width - width / (100 - i);
      const std::int64_t next_h = height - height / (100 - i);
      bands[i] = {{int(next_w), 0, int(width), int(height)},
                  {0, int(next_h), int(next_w), int(height)},
                  mix(0, 255),
                  mix(128, 255),
                  mix(0, 255)};
      width = next_w;
      height = next_h;
    }
    const TileLayout layout = TileLayout::Compute({w, h}, {Sheet().Width(), Sheet().Height()});
    for (int r = 0; r < kTileRows; ++r) {
      for (int c = 0; c < kTileColumns; ++c) {
        tiles[r * kTileColumns + c] = layout.Tile(c, r);
        cells[r * kTileColumns + c] = layout.SourceCell(c, r);
      }
    }
  }

  // A tile's copied area (its rectangle less three pixels at each corner) as
  // five row bands.
  static std::array<IntRect, 5> ClipRects(const IntRect& t) {
    const int l = t.left, r = t.right, top = t.top, b = t.bottom;
    return {{{l + 2, top, r - 2, top + 1},
             {l + 1, top + 1, r - 1, top + 2},
             {l, top + 2, r, b - 2},
             {l + 1, b - 2, r - 1, b - 1},
             {l + 2, b - 1, r - 2, b}}};
  }
  // A tile's black outline as eight rectangles: four sides, four diagonals.
  static std::array<IntRect, 8> RingRects(const IntRect& t) {
    const int l = t.left, r = t.right, top = t.top, b = t.bottom;
    return {{{l + 2, top, r - 2, top + 1},
             {l + 2, b - 1, r - 2, b},
             {l, top + 2, l + 1, b - 2},
             {r - 1, top + 2, r, b - 2},
             {l + 1, top + 1, l + 2, top + 2},
             {r - 2, top + 1, r - 1, top + 2},
             {l + 1, b - 2, l + 2, b - 1},
             {r - 2, b - 2, r - 1, b - 1}}};
  }
};

// The floor's second part: each tile's rows copied once from the sheet,
// clipped to the frame.
void CopyTiles(Frame& frame, const Scene& scene) {
  const Canvas& sheet = Sheet().canvas();
  const IntRect bounds{0, 0, frame.width, frame.height};
  for (std::size_t i = 0; i < scene.tiles.size(); ++i) {
    const IntRect& t = scene.tiles[i];
    const IntRect vis = t.Intersected(bounds);
    if (vis.IsEmpty()) continue;
    const int dx = scene.cells[i].left - t.left, dy = scene.cells[i].top - t.top;
    for (int y = vis.top; y < vis.bottom; ++y) {
      std::memcpy(frame.Row(y) + vis.left, sheet.Row(y + dy) + vis.left + dx,
                  std::size_t(vis.right - vis.left) * 4);
    }
  }
}

void BM_FloorMemset(benchmark::State& state) {
  Frame frame(int(state.range(0)), int(state.range(1)));
  const Scene scene(frame.width, frame.height);
  for (auto _ : state) {
    std::memset(frame.pixels.get(), 0xff, frame.bytes);
    CopyTiles(frame, scene);
    benchmark::DoNotOptimize(frame.pixels.get());
    benchmark::ClobberMemory();
  }
  SetSize(state);
}

// The backdrop's own picture at a size, for the peers' pixel check.
[[maybe_unused]] const Canvas& Reference(int w, int h) {
  static std::vector<std::unique_ptr<Canvas>> made;
  for (auto& c : made) {
    if (c->Width() == w && c->Height() == h) return *c;
  }
  made.push_back(std::make_unique<Canvas>(w, h));
  Backdrop(Sheet()).Paint(*made.back());
  return *made.back();
}

[[maybe_unused]] double Differing(const Canvas& ref, const std::uint32_t* pixels,
                                  int stride_pixels) {
  std::int64_t count = 0;
  for (int y = 0; y < ref.Height(); ++y) {
    for (int x = 0; x < ref.Width(); ++x) {
      count += (ref.Pixel(x, y) | 0xff000000u) != (pixels[y * stride_pixels + x] | 0xff000000u);
    }
  }
  return static_cast<double>(count);
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

// A fresh backdrop's first paint of a size: the sheet copied, the tiles'
// clips made, then the paint (what a resized window pays once per size).
void BM_PaintBackdropFirst(benchmark::State& state) {
  Canvas canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    Backdrop backdrop(Sheet());
    backdrop.Paint(canvas);
    benchmark::DoNotOptimize(canvas.Row(0));
    benchmark::ClobberMemory();
  }
  SetSize(state);
}

#ifdef TESSALINE_BENCH_QT
QRect ToQ(const IntRect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The blend's bands, each an L of two rectangles.
void FillBandsWithQt(QPainter& painter, const Scene& scene) {
  for (const Scene::Band& band : scene.bands) {
    const QColor color(band.r, band.g, band.b);
    painter.fillRect(ToQ(band.right), color);
    painter.fillRect(ToQ(band.bottom), color);
  }
}

// The same picture with QPainter: fillRect for the bands and outlines, a
// clipped drawImage for each tile; the clip regions are made once per size.
void PaintWithQt(QImage& image, const Scene& scene, const QImage& sheet,
                 const std::array<QRegion, 32>& clips) {
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  FillBandsWithQt(painter, scene);
  for (std::size_t i = 0; i < scene.tiles.size(); ++i) {
    painter.save();
    painter.setClipRegion(clips[i]);
    painter.drawImage(ToQ(scene.tiles[i]), sheet, ToQ(scene.cells[i]));
    painter.restore();
    for (const IntRect& r : Scene::RingRects(scene.tiles[i])) painter.fillRect(ToQ(r), Qt::black);
  }
}

// The same with no clip region: each tile's copied area drawn as its five
// row bands, each a drawImage of the matching part of the cell (what a Qt
// program would do to avoid QPainter's region clipping).
void PaintWithQtBands(QImage& image, const Scene& scene, const QImage& sheet) {
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  FillBandsWithQt(painter, scene);
  for (std::size_t i = 0; i < scene.tiles.size(); ++i) {
    const IntRect& t = scene.tiles[i];
    const QPoint shift(scene.cells[i].left - t.left, scene.cells[i].top - t.top);
    for (const IntRect& r : Scene::ClipRects(t)) {
      painter.drawImage(ToQ(r), sheet, ToQ(r).translated(shift));
    }
    for (const IntRect& r : Scene::RingRects(t)) painter.fillRect(ToQ(r), Qt::black);
  }
}

template <bool kClipRegion>
void BM_PeerQPainter(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const Scene scene(w, h);
  const Canvas& s = Sheet().canvas();
  const QImage sheet(reinterpret_cast<const uchar*>(s.Row(0)), s.Width(), s.Height(), SheetStride(),
                     QImage::Format_RGB32);
  std::array<QRegion, 32> clips;
  for (std::size_t i = 0; i < clips.size(); ++i) {
    for (const IntRect& r : Scene::ClipRects(scene.tiles[i])) clips[i] += ToQ(r);
  }
  QImage image(w, h, QImage::Format_RGB32);
  for (auto _ : state) {
    if constexpr (kClipRegion) {
      PaintWithQt(image, scene, sheet, clips);
    } else {
      PaintWithQtBands(image, scene, sheet);
    }
    benchmark::DoNotOptimize(image.constBits());
    benchmark::ClobberMemory();
  }
  state.counters["differing_pixels"] =
      Differing(Reference(w, h), reinterpret_cast<const std::uint32_t*>(image.constBits()),
                static_cast<int>(image.bytesPerLine() / 4));
  SetSize(state);
}
#endif

#ifdef TESSALINE_BENCH_PIXMAN
pixman_rectangle16_t ToPix(const IntRect& r) {
  const IntRect c = r.Intersected({-32768, -32768, 32767, 32767});
  if (c.IsEmpty()) return {0, 0, 0, 0};
  return {static_cast<std::int16_t>(c.left), static_cast<std::int16_t>(c.top),
          static_cast<std::uint16_t>(c.right - c.left),
          static_cast<std::uint16_t>(c.bottom - c.top)};
}

// The same picture with pixman: solid fills for the bands and outlines, a
// SRC composite under a clip region for each tile.
void PaintWithPixman(pixman_image_t* dest, const Scene& scene, pixman_image_t* sheet,
                     std::array<pixman_region32_t, 32>& clips) {
  for (const Scene::Band& band : scene.bands) {
    const pixman_color_t color{std::uint16_t(band.r * 257), std::uint16_t(band.g * 257),
                               std::uint16_t(band.b * 257), 0xffff};
    const pixman_rectangle16_t rects[] = {ToPix(band.right), ToPix(band.bottom)};
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dest, &color, 2, rects);
  }
  const pixman_color_t black{0, 0, 0, 0xffff};
  for (std::size_t i = 0; i < scene.tiles.size(); ++i) {
    const IntRect& t = scene.tiles[i];
    const IntRect& cell = scene.cells[i];
    pixman_image_set_clip_region32(dest, &clips[i]);
    pixman_image_composite32(PIXMAN_OP_SRC, sheet, nullptr, dest, cell.left, cell.top, 0, 0, t.left,
                             t.top, cell.right - cell.left, cell.bottom - cell.top);
    pixman_image_set_clip_region32(dest, nullptr);
    std::array<pixman_rectangle16_t, 8> ring;
    const auto rects = Scene::RingRects(t);
    std::transform(rects.begin(), rects.end(), ring.begin(), ToPix);
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dest, &black, 8, ring.data());
  }
}

void BM_PeerPixman(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const Scene scene(w, h);
  const Canvas& s = Sheet().canvas();
  pixman_image_t* sheet = pixman_image_create_bits(
      PIXMAN_x8r8g8b8, s.Width(), s.Height(), const_cast<std::uint32_t*>(s.Row(0)), SheetStride());
  std::array<pixman_region32_t, 32> clips;
  for (std::size_t i = 0; i < clips.size(); ++i) {
    std::array<pixman_box32_t, 5> boxes;
    const auto rects = Scene::ClipRects(scene.tiles[i]);
    std::transform(rects.begin(), rects.end(), boxes.begin(), [](const IntRect& r) {
      return pixman_box32_t{r.left, r.top, r.right, r.bottom};
    });
    pixman_region32_init_rects(&clips[i], boxes.data(), 5);
  }
  std::vector<std::uint32_t> pixels(std::size_t(w) * std::size_t(h));
  pixman_image_t* dest = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, pixels.data(), w * 4);
  for (auto _ : state) {
    PaintWithPixman(dest, scene, sheet, clips);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.counters["differing_pixels"] = Differing(Reference(w, h), pixels.data(), w);
  for (auto& clip : clips) pixman_region32_fini(&clip);
  pixman_image_unref(dest);
  pixman_image_unref(sheet);
  SetSize(state);
}
#endif

#define TESSALINE_SIZES      \
  ->Args({688, 453})         \
      ->Args({1920, 1080})   \
      ->Args({3840, 2160})   \
      ->ArgNames({"w", "h"}) \
      ->MeasureProcessCPUTime()
BENCHMARK(BM_FloorMemset) TESSALINE_SIZES;
BENCHMARK(BM_PaintBackdrop) TESSALINE_SIZES;
BENCHMARK(BM_PaintBackdropFirst) TESSALINE_SIZES;
#ifdef TESSALINE_BENCH_QT
BENCHMARK(BM_PeerQPainter<true>)->Name("BM_PeerQPainter") TESSALINE_SIZES;
BENCHMARK(BM_PeerQPainter<false>)->Name("BM_PeerQPainterBands") TESSALINE_SIZES;
#endif
#ifdef TESSALINE_BENCH_PIXMAN
BENCHMARK(BM_PeerPixman) TESSALINE_SIZES;
#endif

}  // namespace
}  // namespace tessaline
