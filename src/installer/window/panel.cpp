#include "installer/window/panel.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <cstdint>
#include <cstring>
#include <vector>

#include "drawing/canvas.h"

namespace tessaline {
namespace {

// A canvas over the part of `image` at `area` (which lies inside it).
Canvas CanvasOver(QImage& image, const QRect& area) {
  auto* first = reinterpret_cast<std::uint32_t*>(image.scanLine(area.top())) + area.left();
  return Canvas(first, area.width(), area.height(), static_cast<int>(image.bytesPerLine()));
}

// Copies of the pixels of some rectangles of an image, to be put back later.
class SavedPixels {
 public:
  SavedPixels(const QImage& image, const QRegion& region) {
    for (const QRect& rect : region) {
      rects_.push_back(rect);
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        pixels_.insert(pixels_.end(), row + rect.left(), row + rect.left() + rect.width());
      }
    }
  }
  void Restore(QImage& image) const {
    std::size_t at = 0;
    for (const QRect& rect : rects_) {
      for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        std::memcpy(row + rect.left(), pixels_.data() + at, sizeof(std::uint32_t) * rect.width());
        at += rect.width();
      }
    }
  }

 private:
  std::vector<QRect> rects_;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace

Panel::Panel(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here, so Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Panel::setBevelOuter(BevelKind kind) {
  bevel_outer_ = kind;
  update();
}

void Panel::setBorderWidth(int width) {
  border_width_ = width;
  update();
}

void Panel::setColor(const QColor& color) {
  color_ = color;
  update();
}

void Panel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect r = rect();
  painter.fillRect(r, color_.isValid() ? color_ : palette().color(QPalette::Window));
  if (bevel_outer_ == BevelNone || r.width() < 2 || r.height() < 2) return;
  // A raised bevel is light at the top and left and dark at the bottom and
  // right; a lowered one the other way round.
  const QColor light = palette().color(QPalette::Light);
  const QColor dark = palette().color(QPalette::Dark);
  const QColor top_left = bevel_outer_ == BevelRaised ? light : dark;
  const QColor bottom_right = bevel_outer_ == BevelRaised ? dark : light;
  const int right = r.width() - 1;
  const int bottom = r.height() - 1;
  painter.fillRect(QRect(0, 0, r.width(), 1), top_left);
  painter.fillRect(QRect(0, 0, 1, r.height()), top_left);
  painter.fillRect(QRect(0, bottom, r.width(), 1), bottom_right);
  painter.fillRect(QRect(right, 0, 1, r.height()), bottom_right);
}

Bevel::Bevel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Bevel::paintEvent(QPaintEvent*) {
  if (height() < 2) return;
  QPainter painter(this);
  painter.fillRect(QRect(0, height() - 2, width(), 1), palette().color(QPalette::Dark));
  painter.fillRect(QRect(0, height() - 1, width(), 1), palette().color(QPalette::Light));
}

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
  // The handler draws every pixel: no background clearing before a paint.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QRegion PaintBox::CompletePaintRegion() const {
  QRegion region(rect());
  const QWidget* parent = parentWidget();
  if (parent == nullptr) return region;
  bool above = false;
  for (const QObject* child : parent->children()) {  // bottom to top
    if (child == this) {
      above = true;
      continue;
    }
    const auto* sibling = qobject_cast<const QWidget*>(child);
    if (!above || sibling == nullptr || sibling->isWindow() || sibling->isHidden() ||
        !sibling->testAttribute(Qt::WA_OpaquePaintEvent)) {
      continue;
    }
    region -= sibling->geometry().translated(-pos());
  }
  return region;
}

bool PaintBox::PaintInPlace(QPainter& painter, const QRegion& region) {
  if (region != CompletePaintRegion()) return false;
  QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  auto* back_buffer = static_cast<QImage*>(device);
  const QImage::Format format = back_buffer->format();
  if ((format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied) ||
      back_buffer->devicePixelRatio() != 1.0) {
    return false;
  }
  // Where the box lies in the back buffer: a whole-pixel shift, nothing else.
  const QTransform transform = painter.deviceTransform();
  if (transform.type() > QTransform::TxTranslate) return false;
  const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
  if (QPointF(offset) != QPointF(transform.dx(), transform.dy())) return false;
  const QRect area(offset, size());
  if (!back_buffer->rect().contains(area)) return false;

  // The handler draws the whole box; what it draws where the siblings above
  // lie is put back as it was, since Qt may not repaint them in this pass.
  const SavedPixels covered(*back_buffer, (QRegion(rect()) - region).translated(offset));
  {
    Canvas canvas = CanvasOver(*back_buffer, area);
    emit paint(canvas);
  }
  covered.Restore(*back_buffer);
  frame_ = QImage();  // no longer needed
  return true;
}

void PaintBox::PaintThroughFrame(QPainter& painter) {
  if (frame_.size() != size()) frame_ = QImage(size(), QImage::Format_RGB32);
  {
    Canvas canvas = CanvasOver(frame_, frame_.rect());
    emit paint(canvas);
  }
  painter.drawImage(0, 0, frame_);
}

void PaintBox::paintEvent(QPaintEvent* event) {
  if (width() <= 0 || height() <= 0) return;
  {
    QPainter painter(this);
    painted_in_place_ = PaintInPlace(painter, event->region());
    if (!painted_in_place_) PaintThroughFrame(painter);
  }
  emit painted();
}

}  // namespace tessaline
