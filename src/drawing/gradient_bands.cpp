#include "drawing/gradient_bands.h"

namespace tessaline {

GradientBands GradientBands::Compute(std::int64_t w, std::int64_t h, Color corner, Color edge) {
  const Color from = edge.ToRgb();
  const Color to = corner.ToRgb();
  GradientBands bands;
  bands.width[0] = w;
  bands.height[0] = h;
  for (int i = 0; i < kCount; ++i) {
    auto mix = [i](int e, int c) { return (e * (kCount - i) + c * i) / kCount; };
    bands.pixel[i] = Color::FromRgb(mix(from.Red(), to.Red()), mix(from.Green(), to.Green()),
                                    mix(from.Blue(), to.Blue()))
                         .ToPixel();
    bands.width[i + 1] = bands.width[i] - bands.width[i] / (kCount - i);
    bands.height[i + 1] = bands.height[i] - bands.height[i] / (kCount - i);
  }
  return bands;
}

}  // namespace tessaline
