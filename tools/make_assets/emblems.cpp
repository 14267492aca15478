#include "make_assets/emblems.h"

#include <cmath>
#include <functional>

namespace assets {

namespace {

// Suit symbols for the small pictures, in a unit frame (u, v from -1 to 1).
bool InsideSymbol(int suit, float u, float v) {
  auto heart = [](float x, float y) {
    float a = x * x + y * y - 1;
    return a * a * a - x * x * y * y * y <= 0;
  };
  auto stem = [&](float from) {
    if (v < from || v > 1) return false;
    float t = (v - from) / (1 - from);
    return std::fabs(u) <= 0.08f + 0.36f * t * t;
  };
  auto circle = [&](float cx, float cy, float r) {
    return (u - cx) * (u - cx) + (v - cy) * (v - cy) <= r * r;
  };
  switch (suit) {
    case 0:  // spade
      return (v <= 0.5f && heart(u * 1.14f, (v + 1) / 1.5f * 2.25f - 1)) || stem(0.15f);
    case 1:  // club
      return circle(0, -0.5f, 0.42f) || circle(-0.5f, 0.08f, 0.42f) || circle(0.5f, 0.08f, 0.42f) ||
             circle(0, -0.05f, 0.25f) || stem(0.1f);
    case 2:  // diamond
      return std::fabs(u) / 0.82f + std::fabs(v) <= 1;
    default:  // heart
      return heart(u * 1.14f, -v * 1.125f + 0.125f);
  }
}

// A card of w x h centred at (cx, cy), turned by `angle` (radians, clockwise):
// calls inside(u, v) with the point in the card's own frame (0..w, 0..h).
template <typename Fn>
void TurnedCard(Painter& p, float cx, float cy, float w, float h, float angle, Rgb colour,
                Fn inside) {
  float reach = std::hypot(w, h) / 2 + 1;
  float c = std::cos(angle), s = std::sin(angle);
  p.Shape({cx - reach, cy - reach, cx + reach, cy + reach}, colour, [=](float x, float y) {
    float dx = x - cx, dy = y - cy;
    float u = dx * c + dy * s + w / 2, v = -dx * s + dy * c + h / 2;
    return inside(u, v);
  });
}

bool InRoundedCard(float u, float v, float w, float h, float r) {
  if (u < 0 || v < 0 || u >= w || v >= h) return false;
  float qx = std::max({r - u, 0.0f, u - (w - r)});
  float qy = std::max({r - v, 0.0f, v - (h - r)});
  return qx * qx + qy * qy <= r * r;
}

}  // namespace

std::vector<bool> DrawLogo() {
  constexpr int kSamples = 4;
  Raster raster(kLogoWidth, kLogoHeight, kSamples);
  Painter p(raster, {0, 0}, kLogoWidth, kLogoHeight);
  const Rgb black{0, 0, 0}, white{255, 255, 255};

  // A fan of five cards, black with white edges, spread from a point below
  // the strip; the front card, on the right, carries a white spade.
  constexpr float kPivotX = 33, kPivotY = 37, kReach = 19;
  constexpr float kW = 14, kH = 19;
  for (int i = 0; i < 5; ++i) {
    float angle = (i - 2) * 0.34f;
    float cx = kPivotX + kReach * std::sin(angle), cy = kPivotY - kReach * std::cos(angle);
    TurnedCard(p, cx, cy, kW + 2.4f, kH + 2.4f, angle, white,
               [&](float u, float v) { return InRoundedCard(u, v, kW + 2.4f, kH + 2.4f, 3); });
    TurnedCard(p, cx, cy, kW, kH, angle, black,
               [&](float u, float v) { return InRoundedCard(u, v, kW, kH, 2); });
    if (i == 4) {
      TurnedCard(p, cx, cy, kW, kH, angle, white, [&](float u, float v) {
        return InsideSymbol(0, (u - kW / 2) / 4.2f, (v - kH / 2) / 5.0f);
      });
    }
  }
  // The four suit symbols in a row above a double rule.
  const float xs[] = {68, 83.5f, 99, 114.5f};
  for (int suit = 0; suit < 4; ++suit) {
    float cx = xs[suit], cy = 15.5f;
    p.Shape({cx - 7, cy - 8.4f, cx + 7, cy + 8.4f}, black,
            [=](float x, float y) { return InsideSymbol(suit, (x - cx) / 7, (y - cy) / 8.4f); });
  }
  p.Stroke({{61, 27.5f}, {122, 27.5f}}, 1.3f, black);
  p.Stroke({{64, 30}, {119, 30}}, 0.9f, black);

  std::vector<Rgb> pixels = raster.Resolve();
  std::vector<bool> ink(pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) ink[i] = pixels[i].g < 128;
  // The one-pixel black frame.
  for (int x = 0; x < kLogoWidth; ++x) {
    ink[static_cast<std::size_t>(x)] = true;
    ink[static_cast<std::size_t>((kLogoHeight - 1) * kLogoWidth + x)] = true;
  }
  for (int y = 0; y < kLogoHeight; ++y) {
    ink[static_cast<std::size_t>(y * kLogoWidth)] = true;
    ink[static_cast<std::size_t>(y * kLogoWidth + kLogoWidth - 1)] = true;
  }
  return ink;
}

IconPicture DrawIcon() {
  constexpr int kSamples = 4;
  Raster colour(kIconSize, kIconSize, kSamples);
  Raster cover(kIconSize, kIconSize, kSamples);
  const Rgb black{0, 0, 0}, white{255, 255, 255}, red{255, 0, 0};
  for (Raster* r : {&colour, &cover}) {
    bool mask = r == &cover;
    Painter p(*r, {0, 0}, kIconSize, kIconSize);
    if (mask) p.FillBox({0, 0, kIconSize, kIconSize}, black);
    struct Card {
      float cx, cy, angle;
      int suit;
    };
    // Two cards fanned: the back one with a black spade, the front one with a
    // red heart.
    for (Card card : {Card{12.5f, 15.5f, -0.32f, 0}, Card{19.5f, 16.5f, 0.22f, 3}}) {
      constexpr float kW = 17, kH = 24;
      TurnedCard(p, card.cx, card.cy, kW, kH, card.angle, mask ? white : black,
                 [&](float u, float v) { return InRoundedCard(u, v, kW, kH, 2.5f); });
      if (mask) continue;
      TurnedCard(p, card.cx, card.cy, kW - 2.4f, kH - 2.4f, card.angle, white,
                 [&](float u, float v) { return InRoundedCard(u, v, kW - 2.4f, kH - 2.4f, 1.6f); });
      Rgb ink = card.suit == 3 ? red : black;
      TurnedCard(p, card.cx, card.cy, kW, kH, card.angle, ink, [&](float u, float v) {
        return InsideSymbol(card.suit, (u - kW / 2) / 5.5f, (v - kH / 2 + 0.5f) / 6.6f);
      });
    }
  }
  IconPicture icon;
  icon.pixels = colour.ResolveMajority();
  std::vector<Rgb> coverage = cover.Resolve();
  icon.opaque.resize(coverage.size());
  for (std::size_t i = 0; i < coverage.size(); ++i) icon.opaque[i] = coverage[i].r >= 128;
  return icon;
}

}  // namespace assets
