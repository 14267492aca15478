#include "installer/window/panel.h"

#include <QPainter>

namespace tessaline {

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

}  // namespace tessaline
