// The paint box: a widget whose every paint is drawn by its `paint` signal's
// handler onto a Canvas as large as the widget, then shown one pixel for one.
// The canvas wraps a QImage of Format_RGB32 that the box keeps while its size
// stays the same, so a paint allocates nothing. Nothing drawn survives to the
// next paint as far as the handler is concerned: it must draw the whole canvas.
//
// Thread use: user-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

namespace tessaline {

class Canvas;

class PaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit PaintBox(QWidget* parent = nullptr);

  // The last frame drawn (empty before the first paint), for tests.
  const QImage& frame() const { return frame_; }

 signals:
  // Draw the whole box on `canvas` (origin at the box's top-left corner). Must
  // be connected directly: the canvas lives only during the paint.
  void paint(tessaline::Canvas& canvas);
  // A frame has been drawn and handed to the window system.
  void painted();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage frame_;
};

}  // namespace tessaline
