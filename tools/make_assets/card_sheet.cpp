#include "make_assets/card_sheet.h"

#include <cmath>
#include <numbers>

namespace assets {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr int kSamples = 4;

enum class Suit { kSpades, kClubs, kDiamonds, kHearts };
enum class Rank { kSeven, kEight, kNine, kTen, kJack, kQueen, kKing, kAce };

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{22, 22, 26};
constexpr Rgb kRed{204, 22, 38};
constexpr Rgb kTable{0, 128, 0};
constexpr Rgb kEdge{150, 150, 156};
constexpr Rgb kSkin{248, 214, 180};
constexpr Rgb kGold{232, 182, 38};
constexpr Rgb kSilver{196, 198, 210};
constexpr Rgb kCream{253, 248, 232};

Rgb SuitInk(Suit suit) {
  return suit == Suit::kDiamonds || suit == Suit::kHearts ? kRed : kBlack;
}

// ---------------------------------------------------------------------------
// Suit symbols, in a unit frame: u and v from -1 to 1, v downward.

float HeartField(float x, float y) {  // <= 0 inside; x from -1.14 to 1.14, y up
  float a = x * x + y * y - 1;
  return a * a * a - x * x * y * y * y;
}

bool StemAt(float u, float v, float from) {
  if (v < from || v > 1) return false;
  float t = (v - from) / (1 - from);
  return std::fabs(u) <= 0.07f + 0.36f * t * t;
}

bool InsidePip(Suit suit, float u, float v) {
  switch (suit) {
    case Suit::kHearts:
      return HeartField(u * 1.14f, -v * 1.125f + 0.125f) <= 0;
    case Suit::kDiamonds:
      return std::fabs(u) / 0.82f + std::fabs(v) <= 1;
    case Suit::kSpades:
      if (v <= 0.5f && HeartField(u * 1.14f, (v + 1) / 1.5f * 2.25f - 1) <= 0) return true;
      return StemAt(u, v, 0.15f);
    case Suit::kClubs: {
      auto in = [&](float cx, float cy, float r) {
        return (u - cx) * (u - cx) + (v - cy) * (v - cy) <= r * r;
      };
      return in(0, -0.5f, 0.42f) || in(-0.5f, 0.08f, 0.42f) || in(0.5f, 0.08f, 0.42f) ||
             in(0, -0.05f, 0.25f) || StemAt(u, v, 0.1f);
    }
  }
  return false;
}

// A suit symbol `width` wide (and 1.2 times as high) centred at (cx, cy),
// upside down when `flipped`.
void Pip(Painter& p, Suit suit, float cx, float cy, float width, bool flipped, Rgb colour) {
  float hw = width / 2, hh = width * 0.6f;
  p.Shape({cx - hw, cy - hh, cx + hw, cy + hh}, colour, [=](float x, float y) {
    float u = (x - cx) / hw, v = (y - cy) / hh;
    if (flipped) u = -u, v = -v;
    return InsidePip(suit, u, v);
  });
}

// ---------------------------------------------------------------------------
// Rank glyphs as strokes in a unit box (x and y from 0 to 1, y downward).

using Strokes = std::vector<std::vector<Point>>;

std::vector<Point> Ellipse(float cx, float cy, float rx, float ry) {
  return Arc(cx, cy, rx, ry, 0, 2 * kPi, 40);
}

Strokes GlyphStrokes(char c) {
  switch (c) {
    case '7':
      return {{{0.06f, 0.05f}, {0.94f, 0.05f}, {0.62f, 0.45f}, {0.42f, 0.95f}}};
    case '8':
      return {Ellipse(0.5f, 0.27f, 0.32f, 0.22f), Ellipse(0.5f, 0.72f, 0.4f, 0.24f)};
    case '9': {
      std::vector<Point> tail = Arc(0.5f, 0.55f, 0.38f, 0.41f, 0, 0.75f * kPi, 16);
      return {Ellipse(0.5f, 0.33f, 0.38f, 0.28f), {{0.88f, 0.33f}, {0.88f, 0.55f}}, tail};
    }
    case '1':
      return {{{0.15f, 0.25f}, {0.62f, 0.05f}, {0.62f, 0.95f}}};
    case '0':
      return {Ellipse(0.5f, 0.5f, 0.36f, 0.45f)};
    case 'J': {
      std::vector<Point> hook{{0.74f, 0.05f}, {0.74f, 0.68f}};
      for (Point p : Arc(0.46f, 0.68f, 0.28f, 0.27f, 0, kPi, 16)) hook.push_back(p);
      return {{{0.34f, 0.05f}, {0.96f, 0.05f}}, hook};
    }
    case 'Q':
      return {Ellipse(0.5f, 0.47f, 0.4f, 0.43f), {{0.56f, 0.68f}, {0.96f, 1.0f}}};
    case 'K':
      return {{{0.14f, 0.04f}, {0.14f, 0.96f}},
              {{0.9f, 0.04f}, {0.16f, 0.62f}},
              {{0.4f, 0.44f}, {0.92f, 0.96f}}};
    case 'A':
      return {{{0.04f, 0.96f}, {0.5f, 0.04f}, {0.96f, 0.96f}}, {{0.23f, 0.64f}, {0.77f, 0.64f}}};
  }
  return {};
}

void Glyph(Painter& p, char c, Box box, float stroke, Rgb colour) {
  for (const std::vector<Point>& unit : GlyphStrokes(c)) {
    std::vector<Point> line;
    for (Point q : unit)
      line.push_back({box.x0 + q.x * (box.x1 - box.x0), box.y0 + q.y * (box.y1 - box.y0)});
    p.Stroke(line, stroke, colour);
  }
}

void RankLabel(Painter& p, Rank rank, float cx, float top, Rgb colour) {
  constexpr float kHeight = 11.5f, kWidth = 8, kStroke = 1.7f;
  static const char kGlyphs[] = "789?JQKA";
  if (rank == Rank::kTen) {
    Glyph(p, '1', {cx - 6.2f, top, cx - 1.6f, top + kHeight}, kStroke, colour);
    Glyph(p, '0', {cx - 1.4f, top, cx + 5.8f, top + kHeight}, kStroke, colour);
    return;
  }
  Glyph(p, kGlyphs[static_cast<int>(rank)], {cx - kWidth / 2, top, cx + kWidth / 2, top + kHeight},
        kStroke, colour);
}

// The rank and a small suit symbol in the top-left corner, and the same
// turned round in the bottom-right corner.
void CornerIndex(Painter& p, Suit suit, Rank rank) {
  for (bool turned : {false, true}) {
    p.set_turned(turned);
    RankLabel(p, rank, 7.2f, 3.5f, SuitInk(suit));
    Pip(p, suit, 7.2f, 21.5f, 7.2f, false, SuitInk(suit));
  }
  p.set_turned(false);
}

// ---------------------------------------------------------------------------
// Faces.

void CardBlank(Painter& p) {
  p.FillBox({0, 0, kCardWidth, kCardHeight}, kTable);
  p.FillRoundRect({0, 0, kCardWidth, kCardHeight}, 3.5f, kWhite);
  p.StrokeRoundRect({0, 0, kCardWidth, kCardHeight}, 3.5f, 1.0f, kEdge);
}

void NumberFace(Painter& p, Suit suit, Rank rank) {
  constexpr float kLeft = 20.5f, kCentre = 35.5f, kRight = 50.5f, kPipWidth = 12.5f;
  constexpr float kTop = 19, kBottom = 77, kMiddle = (kTop + kBottom) / 2;
  const float fourths[] = {kTop, kTop + (kBottom - kTop) / 3, kTop + 2 * (kBottom - kTop) / 3,
                           kBottom};
  std::vector<Point> pips;
  if (rank == Rank::kNine || rank == Rank::kTen) {
    for (float y : fourths) pips.push_back({kLeft, y}), pips.push_back({kRight, y});
  } else {
    for (float y : {kTop, kMiddle, kBottom})
      pips.push_back({kLeft, y}), pips.push_back({kRight, y});
  }
  switch (rank) {
    case Rank::kSeven:
      pips.push_back({kCentre, (kTop + kMiddle) / 2});
      break;
    case Rank::kEight:
      pips.push_back({kCentre, (kTop + kMiddle) / 2});
      pips.push_back({kCentre, (kMiddle + kBottom) / 2});
      break;
    case Rank::kNine:
      pips.push_back({kCentre, kMiddle});
      break;
    case Rank::kTen:
      pips.push_back({kCentre, (fourths[0] + fourths[1]) / 2});
      pips.push_back({kCentre, (fourths[2] + fourths[3]) / 2});
      break;
    default:
      break;
  }
  // Symbols below the middle stand upside down, as on real cards.
  for (Point q : pips) Pip(p, suit, q.x, q.y, kPipWidth, q.y > kMiddle + 0.5f, SuitInk(suit));
}

void AceFace(Painter& p, Suit suit) {
  constexpr float cx = 35.5f, cy = 48;
  const float width = suit == Suit::kDiamonds ? 30 : 34;
  Pip(p, suit, cx, cy, width, false, SuitInk(suit));
  // A fine white line inside the large symbol, for a little ornament.
  Pip(p, suit, cx, cy, width * 0.78f, false, kWhite);
  Pip(p, suit, cx, cy, width * 0.72f, false, SuitInk(suit));
}

struct Dress {
  Rgb robe;
  Rgb trim;
  Rgb lining;
};

Dress DressOf(Suit suit) {
  switch (suit) {
    case Suit::kSpades:
      return {{38, 66, 150}, kGold, {150, 30, 40}};
    case Suit::kClubs:
      return {{28, 118, 60}, {196, 40, 44}, kGold};
    case Suit::kDiamonds:
      return {{222, 138, 28}, {36, 66, 150}, {196, 40, 44}};
    case Suit::kHearts:
      return {{178, 28, 48}, {240, 204, 64}, {38, 66, 150}};
  }
  return {};
}

void Face(Painter& p, bool beard) {
  constexpr float cx = 35.5f;
  p.FillBox({33, 28, 38, 34}, kSkin);  // neck
  p.FillEllipse(cx, 23.5f, 6, 7, kSkin);
  p.FillEllipse(32.9f, 22.6f, 0.8f, 0.95f, kBlack);
  p.FillEllipse(38.1f, 22.6f, 0.8f, 0.95f, kBlack);
  p.Stroke({{31.6f, 20.6f}, {33.9f, 20.3f}}, 0.6f, {110, 70, 40});  // brows
  p.Stroke({{37.1f, 20.3f}, {39.4f, 20.6f}}, 0.6f, {110, 70, 40});
  p.Stroke({{35.6f, 23.3f}, {35.0f, 26.0f}, {36.0f, 26.3f}}, 0.55f, {190, 130, 100});  // nose
  if (!beard) p.Stroke({{34.0f, 28.0f}, {35.5f, 28.6f}, {37.0f, 28.0f}}, 0.8f, {200, 60, 70});
}

void Robe(Painter& p, const Dress& dress) {
  // Rounded shoulders, a collar opening in the trim colour and a band down the front.
  p.FillEllipse(35.5f, 54, 20.5f, 21, dress.robe);
  p.FillPolygon({{29, 33}, {35.5f, 41}, {42, 33}, {39.5f, 33}, {35.5f, 37.5f}, {31.5f, 33}},
                dress.trim);
  p.FillBox({34.2f, 41, 36.8f, 49}, dress.trim);
  p.Stroke(Arc(35.5f, 54, 20.5f, 21, 1.08f * kPi, 1.92f * kPi, 24), 1.0f, dress.trim);
}

// An arm in a sleeve of the lining colour reaching from the body to a hand at (x, y).
void Hand(Painter& p, const Dress& dress, float x, float y) {
  p.Stroke({{29, 44}, {x + 2.5f, y + 1}}, 3.6f, dress.lining);
  p.FillEllipse(x, y, 2.1f, 1.9f, kSkin);
}

void King(Painter& p, const Dress& dress) {
  constexpr Rgb kBeard{214, 214, 222};
  Robe(p, dress);
  // Sword held upright at his side.
  p.Stroke({{21, 10}, {21, 47}}, 1.8f, kSilver);
  p.Stroke({{17.5f, 33}, {24.5f, 33}}, 1.6f, kGold);
  p.FillEllipse(21, 9.5f, 1.3f, 1.3f, kGold);
  Hand(p, dress, 21, 36);
  p.FillEllipse(35.5f, 22, 7.2f, 7.6f, kBeard);  // hair behind the face
  Face(p, true);
  // Full beard and moustache.
  p.FillPolygon({{29.4f, 24.5f}, {41.6f, 24.5f}, {40.6f, 31.5f}, {35.5f, 36}, {30.4f, 31.5f}},
                kBeard);
  p.FillEllipse(35.5f, 27.6f, 1.8f, 0.9f, {200, 80, 90});
  p.Stroke({{32.2f, 26.8f}, {35.5f, 26.2f}, {38.8f, 26.8f}}, 0.9f, {160, 160, 170});
  // Crown with three points and jewels.
  p.FillPolygon({{28.4f, 18.2f},
                 {42.6f, 18.2f},
                 {43.6f, 9.5f},
                 {39.6f, 13.8f},
                 {35.5f, 7.2f},
                 {31.4f, 13.8f},
                 {27.4f, 9.5f}},
                kGold);
  p.FillEllipse(35.5f, 15.6f, 1.2f, 1.2f, kRed);
  p.FillEllipse(31.2f, 16.3f, 0.8f, 0.8f, {40, 90, 200});
  p.FillEllipse(39.8f, 16.3f, 0.8f, 0.8f, {40, 90, 200});
}

void Queen(Painter& p, const Dress& dress) {
  constexpr Rgb kHair{176, 104, 36};
  // Long hair falling to the shoulders, behind everything.
  p.FillPolygon({{27, 22}, {44, 22}, {47.5f, 39}, {23.5f, 39}}, kHair);
  p.FillEllipse(35.5f, 22, 8.6f, 9.2f, kHair);
  Robe(p, dress);
  Face(p, false);
  p.Stroke(Arc(35.5f, 23.5f, 6.2f, 7.2f, kPi * 1.05f, kPi * 1.95f, 12), 2.2f, kHair);  // fringe
  // Tiara.
  p.Stroke(Arc(35.5f, 19.5f, 6.8f, 3.6f, kPi, 2 * kPi, 12), 1.3f, kGold);
  for (Point q : {Point{31.0f, 16.4f}, Point{35.5f, 14.8f}, Point{40.0f, 16.4f}}) {
    p.FillEllipse(q.x, q.y, 1.2f, 1.2f, kGold);
  }
  // A rose in her hand.
  p.Stroke({{22.5f, 39}, {24, 47}}, 0.9f, {40, 130, 50});
  for (int i = 0; i < 5; ++i) {
    float a = i * 2 * kPi / 5;
    p.FillEllipse(22.5f + 1.8f * std::cos(a), 37.5f + 1.8f * std::sin(a), 1.4f, 1.4f,
                  {226, 60, 90});
  }
  p.FillEllipse(22.5f, 37.5f, 1.1f, 1.1f, {250, 210, 80});
  Hand(p, dress, 23.5f, 42.5f);
}

void Jack(Painter& p, const Dress& dress) {
  constexpr Rgb kHair{82, 52, 28};
  constexpr Rgb kWood{132, 86, 44};
  Robe(p, dress);
  // Halberd: a staff with an axe blade and a spike.
  p.Stroke({{21, 12}, {21, 47}}, 1.5f, kWood);
  p.FillPolygon({{21, 5}, {22.3f, 12}, {19.7f, 12}}, kSilver);
  p.FillPolygon({{21.5f, 11}, {26.5f, 12.5f}, {26.5f, 18.5f}, {21.5f, 17}}, kSilver);
  Hand(p, dress, 21, 34);
  p.FillEllipse(35.5f, 19.5f, 7, 5, kHair);
  Face(p, false);
  // Locks of hair beside the face.
  p.FillEllipse(29.6f, 24, 1.6f, 4, kHair);
  p.FillEllipse(41.4f, 24, 1.6f, 4, kHair);
  // A flat cap with a band, worn at an angle, and a feather.
  p.Shape({24, 10, 47, 20}, dress.trim, [](float x, float y) {
    float u = (x - 35) / 9.5f, v = (y - 15.2f + 0.12f * (x - 35)) / 3.6f;
    return u * u + v * v <= 1;
  });
  p.Stroke({{27, 17.8f}, {44, 15.6f}}, 1.3f, dress.lining);
  p.Stroke({{30, 13.5f}, {26, 9}, {23.5f, 7.5f}}, 2.0f, kWhite);
  p.Stroke({{30, 13.5f}, {26, 9}, {23.5f, 7.5f}}, 0.5f, {120, 120, 130});
}

void CourtFace(Painter& p, Suit suit, Rank rank) {
  const Box frame{13.5f, 8.5f, 57.5f, 87.5f};
  p.FillBox(frame, kCream);
  Dress dress = DressOf(suit);
  for (bool turned : {false, true}) {
    p.set_turned(turned);
    p.set_clip({frame.x0, frame.y0, frame.x1, 48});
    switch (rank) {
      case Rank::kKing:
        King(p, dress);
        break;
      case Rank::kQueen:
        Queen(p, dress);
        break;
      default:
        Jack(p, dress);
        break;
    }
    p.clear_clip();
    Pip(p, suit, 52.5f, 13.5f, 6.5f, false, SuitInk(suit));
  }
  p.set_turned(false);
  // Frame and the line between the two halves.
  const Rgb line = SuitInk(suit);
  p.FillBox({frame.x0, frame.y0, frame.x1, frame.y0 + 0.7f}, line);
  p.FillBox({frame.x0, frame.y1 - 0.7f, frame.x1, frame.y1}, line);
  p.FillBox({frame.x0, frame.y0, frame.x0 + 0.7f, frame.y1}, line);
  p.FillBox({frame.x1 - 0.7f, frame.y0, frame.x1, frame.y1}, line);
  p.FillBox({frame.x0, 47.7f, frame.x1, 48.3f}, line);
}

// ---------------------------------------------------------------------------
// Card backs, one design per row.

void Back(Painter& p, int design) {
  const Box inner{4, 4, kCardWidth - 4, kCardHeight - 4};
  const float cx = kCardWidth / 2.0f, cy = kCardHeight / 2.0f;
  const Rgb grounds[] = {{158, 26, 40}, {30, 58, 148}, {18, 104, 58}, {96, 30, 108}};
  const Rgb lights[] = {{244, 206, 196}, {150, 182, 236}, {232, 200, 92}, {214, 170, 222}};
  const Rgb ground = grounds[design], light = lights[design];
  p.FillRoundRect(inner, 2, ground);
  p.set_clip(inner);
  switch (design) {
    case 0:  // a diagonal lattice
      p.Shape(inner, light, [](float x, float y) {
        float a = std::fmod(x + y + 200, 6.0f), b = std::fmod(x - y + 200, 6.0f);
        return a < 0.9f || b < 0.9f;
      });
      break;
    case 1:  // concentric diamonds
      p.Shape(inner, light, [=](float x, float y) {
        float d = std::fabs(x - cx) / 0.74f + std::fabs(y - cy);
        return std::fmod(d, 6.0f) < 1.6f;
      });
      break;
    case 2:  // staggered dots round an oval medallion
      p.Shape(inner, light, [](float x, float y) {
        float row = std::floor(y / 7);
        float ox = std::fmod(row, 2.0f) == 0 ? 0 : 3.5f;
        float dx = std::fmod(x + ox + 70, 7.0f) - 3.5f, dy = std::fmod(y, 7.0f) - 3.5f;
        return dx * dx + dy * dy <= 1.9f * 1.9f;
      });
      p.FillEllipse(cx, cy, 15, 21, ground);
      p.Shape(inner, light, [=](float x, float y) {
        float u = (x - cx) / 15, v = (y - cy) / 21, r = u * u + v * v;
        return r <= 1 && r >= 0.8f;
      });
      Pip(p, Suit::kClubs, cx, cy, 14, false, light);
      break;
    case 3:  // rays round a rosette
      p.Shape(inner, light, [=](float x, float y) {
        float a = std::atan2(y - cy, x - cx);
        return std::fmod(a / kPi * 12 + 24.5f, 2.0f) < 0.7f;
      });
      p.FillEllipse(cx, cy, 13, 13, ground);
      p.FillRing(cx, cy, 13, 11.8f, light);
      for (int i = 0; i < 4; ++i) {
        float a = i * kPi / 2;
        p.FillEllipse(cx + 5.2f * std::cos(a), cy + 5.2f * std::sin(a), 3.6f, 3.6f, light);
      }
      p.FillEllipse(cx, cy, 2.4f, 2.4f, ground);
      break;
  }
  p.clear_clip();
  // A fine light frame inside the edge.
  p.StrokeRoundRect({6.5f, 6.5f, kCardWidth - 6.5f, kCardHeight - 6.5f}, 1.5f, 0.8f, light);
}

}  // namespace

std::vector<Rgb> DrawCardSheet() {
  Raster raster(kSheetWidth, kSheetHeight, kSamples);
  const Suit suits[] = {Suit::kSpades, Suit::kClubs, Suit::kDiamonds, Suit::kHearts};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 9; ++column) {
      Painter p(raster,
                {static_cast<float>(column * kCardWidth), static_cast<float>(row * kCardHeight)},
                kCardWidth, kCardHeight);
      CardBlank(p);
      if (column == 8) {
        Back(p, row);
        continue;
      }
      Suit suit = suits[row];
      Rank rank = static_cast<Rank>(column);
      switch (rank) {
        case Rank::kJack:
        case Rank::kQueen:
        case Rank::kKing:
          CourtFace(p, suit, rank);
          break;
        case Rank::kAce:
          AceFace(p, suit);
          break;
        default:
          NumberFace(p, suit, rank);
          break;
      }
      CornerIndex(p, suit, rank);
    }
  }
  return raster.Resolve();
}

}  // namespace assets
