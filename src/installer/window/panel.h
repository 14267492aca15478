// The painted parts of the installer window's layout: panels, bevels and the
// paint box.
//
// Thread use: user-interface thread only, like every widget.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

class QPainter;

namespace tessaline {

class Canvas;

// A rectangle filled with its colour, framed by an outer bevel one pixel
// wide (raised, lowered or none); its border width is the room between the
// bevel and the children, which the layout already leaves.
class Panel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(BevelKind bevelOuter READ bevelOuter WRITE setBevelOuter)
  Q_PROPERTY(int borderWidth READ borderWidth WRITE setBorderWidth)
  Q_PROPERTY(QColor color READ color WRITE setColor)

 public:
  enum BevelKind { BevelNone, BevelLowered, BevelRaised };
  Q_ENUM(BevelKind)

  explicit Panel(QWidget* parent = nullptr);

  BevelKind bevelOuter() const { return bevel_outer_; }
  void setBevelOuter(BevelKind kind);

  int borderWidth() const { return border_width_; }
  void setBorderWidth(int width);

  // The fill colour; an invalid colour (the default) means the window's
  // button face, the palette's window colour.
  QColor color() const { return color_; }
  void setColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BevelKind bevel_outer_ = BevelRaised;
  int border_width_ = 0;
  QColor color_;
};

// A lowered line along the bottom of its rectangle: a dark line one pixel
// above a light one, the full width. It holds no children and takes no input.
class Bevel : public QWidget {
  Q_OBJECT

 public:
  explicit Bevel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The paint box PB: a widget whose every paint is drawn by its `paint` signal's
// handler onto a Canvas as large as the widget. The handler must draw the
// whole canvas; nothing it drew before is kept for it.
//
// Where the canvas lives: when the paint covers the whole box (apart from the
// opaque sibling widgets above it, which Qt paints afterwards) and the window's
// back buffer is a 32-bit image at one device pixel per pixel, the canvas
// wraps the back buffer itself, and the pixels under those siblings are put
// back after the handler. Otherwise (partial repaints, rendering into a
// pixmap, scaled screens) it wraps a QImage of Format_RGB32 kept while the
// size stays the same, which is then drawn one pixel for one. The first way
// saves a full-window image and a copy of it.
class PaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit PaintBox(QWidget* parent = nullptr);

  // Whether the last paint drew straight into the window's back buffer.
  bool paintedInPlace() const { return painted_in_place_; }

 signals:
  // Draw the whole box on `canvas` (origin at the box's top-left corner). Must
  // be connected directly: the canvas lives only during the paint.
  void paint(tessaline::Canvas& canvas);
  // A frame has been drawn and handed to the window system.
  void painted();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The region a complete paint of the box gets: the box less the opaque
  // siblings stacked above it.
  QRegion CompletePaintRegion() const;
  bool PaintInPlace(QPainter& painter, const QRegion& region);
  void PaintThroughFrame(QPainter& painter);

  QImage frame_;
  bool painted_in_place_ = false;
};

}  // namespace tessaline
