#include "make_assets/raster.h"

#include <limits>

namespace assets {

Raster::Raster(int width, int height, int samples)
    : width_(width),
      height_(height),
      samples_(samples),
      data_(static_cast<std::size_t>(width) * height * samples * samples, Rgb{255, 255, 255}) {}

std::vector<Rgb> Raster::Resolve() const {
  std::vector<Rgb> pixels(static_cast<std::size_t>(width_) * height_);
  const float n = static_cast<float>(samples_ * samples_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      Rgb sum;
      for (int j = 0; j < samples_; ++j) {
        const Rgb* row = &data_[static_cast<std::size_t>(y * samples_ + j) * width_ * samples_ +
                                static_cast<std::size_t>(x) * samples_];
        for (int i = 0; i < samples_; ++i) {
          sum.r += row[i].r;
          sum.g += row[i].g;
          sum.b += row[i].b;
        }
      }
      pixels[static_cast<std::size_t>(y) * width_ + x] = {sum.r / n, sum.g / n, sum.b / n};
    }
  }
  return pixels;
}

std::vector<Rgb> Raster::ResolveMajority() const {
  std::vector<Rgb> pixels(static_cast<std::size_t>(width_) * height_);
  std::vector<Rgb> samples;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      samples.clear();
      for (int j = 0; j < samples_; ++j) {
        const Rgb* row = &data_[static_cast<std::size_t>(y * samples_ + j) * width_ * samples_ +
                                static_cast<std::size_t>(x) * samples_];
        samples.insert(samples.end(), row, row + samples_);
      }
      auto same = [](const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
      std::size_t best = 0, best_count = 0;
      for (std::size_t i = 0; i < samples.size(); ++i) {
        std::size_t count = 0;
        for (const Rgb& other : samples) count += same(samples[i], other);
        if (count > best_count) best = i, best_count = count;
      }
      pixels[static_cast<std::size_t>(y) * width_ + x] = samples[best];
    }
  }
  return pixels;
}

bool InsidePolygon(const std::vector<Point>& polygon, float x, float y) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point& a = polygon[i];
    const Point& b = polygon[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) {
      inside = !inside;
    }
  }
  return inside;
}

float DistanceToSegment(Point a, Point b, float x, float y) {
  float dx = b.x - a.x, dy = b.y - a.y;
  float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0f, 1.0f) : 0.0f;
  return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
}

float DistanceToPolyline(const std::vector<Point>& line, float x, float y) {
  if (line.size() == 1) return std::hypot(x - line[0].x, y - line[0].y);
  float best = std::numeric_limits<float>::max();
  for (std::size_t i = 0; i + 1 < line.size(); ++i) {
    best = std::min(best, DistanceToSegment(line[i], line[i + 1], x, y));
  }
  return best;
}

std::vector<Point> Arc(float cx, float cy, float rx, float ry, float a0, float a1, int steps) {
  std::vector<Point> points;
  for (int i = 0; i <= steps; ++i) {
    float a = a0 + (a1 - a0) * static_cast<float>(i) / static_cast<float>(steps);
    points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  return points;
}

namespace {

// Distance-like test for a rounded rectangle: inside when within `radius` of
// the rectangle shrunk by `radius`.
bool InsideRoundRect(Box box, float radius, float x, float y) {
  float qx = std::max({box.x0 + radius - x, 0.0f, x - (box.x1 - radius)});
  float qy = std::max({box.y0 + radius - y, 0.0f, y - (box.y1 - radius)});
  return qx * qx + qy * qy <= radius * radius && box.Contains(x, y);
}

}  // namespace

void Painter::FillRoundRect(Box box, float radius, Rgb colour) {
  Shape(box, colour, [=](float x, float y) { return InsideRoundRect(box, radius, x, y); });
}

void Painter::StrokeRoundRect(Box box, float radius, float line, Rgb colour) {
  Box inner{box.x0 + line, box.y0 + line, box.x1 - line, box.y1 - line};
  float inner_radius = std::max(radius - line, 0.0f);
  Shape(box, colour, [=](float x, float y) {
    return InsideRoundRect(box, radius, x, y) && !InsideRoundRect(inner, inner_radius, x, y);
  });
}

void Painter::FillPolygon(const std::vector<Point>& polygon, Rgb colour) {
  Box box{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
          std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
  for (const Point& p : polygon) {
    box.x0 = std::min(box.x0, p.x);
    box.y0 = std::min(box.y0, p.y);
    box.x1 = std::max(box.x1, p.x);
    box.y1 = std::max(box.y1, p.y);
  }
  Shape(box, colour, [&](float x, float y) { return InsidePolygon(polygon, x, y); });
}

void Painter::Stroke(const std::vector<Point>& line, float width, Rgb colour) {
  float h = width / 2;
  Box box{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
          std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
  for (const Point& p : line) {
    box.x0 = std::min(box.x0, p.x - h);
    box.y0 = std::min(box.y0, p.y - h);
    box.x1 = std::max(box.x1, p.x + h);
    box.y1 = std::max(box.y1, p.y + h);
  }
  Shape(box, colour, [&](float x, float y) { return DistanceToPolyline(line, x, y) <= h; });
}

}  // namespace assets
