#include "installer/qt_paint_box.h"

#include <QPainter>
#include <cstdint>

#include "platform/canvas.h"

namespace tessaline {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
  // The handler draws every pixel: no background clearing before a paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::paintEvent(QPaintEvent*) {
  if (width() <= 0 || height() <= 0) return;
  if (frame_.size() != size()) frame_ = QImage(size(), QImage::Format_RGB32);
  {
    // bits() on the non-const image: the canvas draws straight into it.
    Canvas canvas(reinterpret_cast<std::uint32_t*>(frame_.bits()), frame_.width(), frame_.height(),
                  static_cast<int>(frame_.bytesPerLine()));
    emit paint(canvas);
  }
  QPainter painter(this);
  painter.drawImage(0, 0, frame_);
  painter.end();
  emit painted();
}

}  // namespace tessaline
