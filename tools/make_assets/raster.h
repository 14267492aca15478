// A supersampled colour raster and a painter of simple vector shapes on it,
// used to draw the shipped pictures with smooth edges. Each pixel holds
// samples x samples colour samples; a shape colours the samples whose centres
// lie inside it, and Resolve() averages them into pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace assets {

struct Rgb {
  float r = 0;
  float g = 0;
  float b = 0;
};

inline Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Point {
  float x = 0;
  float y = 0;
};

// An axis-aligned box (x0, y0) .. (x1, y1) in continuous coordinates.
struct Box {
  float x0 = 0;
  float y0 = 0;
  float x1 = 0;
  float y1 = 0;

  bool Contains(float x, float y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

class Raster {
 public:
  Raster(int width, int height, int samples);

  int width() const { return width_; }
  int height() const { return height_; }
  int samples() const { return samples_; }

  Rgb& Sample(int sx, int sy) {
    return data_[static_cast<std::size_t>(sy) * width_ * samples_ + sx];
  }

  // Averages each pixel's samples; row-major, width() * height() pixels.
  std::vector<Rgb> Resolve() const;
  // Takes each pixel's most frequent sample colour: crisp edges for pictures
  // with few colours.
  std::vector<Rgb> ResolveMajority() const;

 private:
  int width_;
  int height_;
  int samples_;
  std::vector<Rgb> data_;
};

// Geometry helpers on continuous coordinates.
bool InsidePolygon(const std::vector<Point>& polygon, float x, float y);  // even-odd
float DistanceToSegment(Point a, Point b, float x, float y);
float DistanceToPolyline(const std::vector<Point>& line, float x, float y);
// Points along an elliptic arc from angle a0 to a1 (radians, 0 = right,
// increasing clockwise on the screen).
std::vector<Point> Arc(float cx, float cy, float rx, float ry, float a0, float a1, int steps);

// Paints shapes given in a local frame (for instance one card, 0..width x
// 0..height) onto a raster. The frame sits at `origin` on the raster and may be
// turned by 180 degrees about its centre; shapes are cut to `clip`, given in
// the local frame before the turn.
class Painter {
 public:
  Painter(Raster& raster, Point origin, float width, float height)
      : raster_(raster),
        origin_(origin),
        width_(width),
        height_(height),
        clip_{-1e9f, -1e9f, 1e9f, 1e9f} {}

  void set_turned(bool turned) { turned_ = turned; }
  bool turned() const { return turned_; }
  void set_clip(Box clip) { clip_ = clip; }
  void clear_clip() { clip_ = {-1e9f, -1e9f, 1e9f, 1e9f}; }
  float width() const { return width_; }
  float height() const { return height_; }

  // Colours every sample inside `box` (local frame) for which inside(x, y),
  // with (x, y) the sample's centre in the local frame. `alpha` blends.
  template <typename Inside>
  void Shape(Box box, Rgb colour, Inside inside, float alpha = 1.0f) {
    box.x0 = std::max(box.x0, clip_.x0);
    box.y0 = std::max(box.y0, clip_.y0);
    box.x1 = std::min(box.x1, clip_.x1);
    box.y1 = std::min(box.y1, clip_.y1);
    if (box.x1 <= box.x0 || box.y1 <= box.y0) return;
    // The box on the raster, in samples.
    float rx0 = turned_ ? width_ - box.x1 : box.x0;
    float rx1 = turned_ ? width_ - box.x0 : box.x1;
    float ry0 = turned_ ? height_ - box.y1 : box.y0;
    float ry1 = turned_ ? height_ - box.y0 : box.y1;
    const float s = static_cast<float>(raster_.samples());
    int sx0 = std::max(0, static_cast<int>(std::floor((rx0 + origin_.x) * s)));
    int sy0 = std::max(0, static_cast<int>(std::floor((ry0 + origin_.y) * s)));
    int sx1 = std::min(raster_.width() * raster_.samples(),
                       static_cast<int>(std::ceil((rx1 + origin_.x) * s)));
    int sy1 = std::min(raster_.height() * raster_.samples(),
                       static_cast<int>(std::ceil((ry1 + origin_.y) * s)));
    for (int sy = sy0; sy < sy1; ++sy) {
      float y = (sy + 0.5f) / s - origin_.y;
      if (turned_) y = height_ - y;
      for (int sx = sx0; sx < sx1; ++sx) {
        float x = (sx + 0.5f) / s - origin_.x;
        if (turned_) x = width_ - x;
        if (!clip_.Contains(x, y) || !inside(x, y)) continue;
        Rgb& sample = raster_.Sample(sx, sy);
        sample = alpha >= 1.0f ? colour : Mix(sample, colour, alpha);
      }
    }
  }

  void FillBox(Box box, Rgb colour) {
    Shape(box, colour, [](float, float) { return true; });
  }
  void FillEllipse(float cx, float cy, float rx, float ry, Rgb colour) {
    Shape({cx - rx, cy - ry, cx + rx, cy + ry}, colour, [=](float x, float y) {
      float u = (x - cx) / rx, v = (y - cy) / ry;
      return u * u + v * v <= 1.0f;
    });
  }
  void FillRing(float cx, float cy, float r_outer, float r_inner, Rgb colour) {
    Shape({cx - r_outer, cy - r_outer, cx + r_outer, cy + r_outer}, colour, [=](float x, float y) {
      float d = std::hypot(x - cx, y - cy);
      return d <= r_outer && d >= r_inner;
    });
  }
  void FillRoundRect(Box box, float radius, Rgb colour);
  void StrokeRoundRect(Box box, float radius, float line, Rgb colour);
  void FillPolygon(const std::vector<Point>& polygon, Rgb colour);
  void Stroke(const std::vector<Point>& line, float width, Rgb colour);

 private:
  Raster& raster_;
  Point origin_;
  float width_;
  float height_;
  bool turned_ = false;
  Box clip_;
};

}  // namespace assets
