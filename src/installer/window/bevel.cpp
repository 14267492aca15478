#include "installer/window/bevel.h"

#include <QPainter>

namespace tessaline {

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
