// The paint box: a widget whose every paint is drawn by its `paint` signal's
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
//
// Thread use: user-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

class QPainter;

namespace tessaline {

class Canvas;

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
