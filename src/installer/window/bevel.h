// A bevel drawn as a lowered line along the bottom of its rectangle: a dark
// line one pixel above a light one, the full width. It holds no children and
// takes no input.
//
// Thread use: user-interface thread only.
#pragma once

#include <QWidget>

namespace tessaline {

class Bevel : public QWidget {
  Q_OBJECT

 public:
  explicit Bevel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessaline
