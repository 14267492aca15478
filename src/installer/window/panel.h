// The painted parts of the installer window's layout: panels and bevels.
//
// Thread use: user-interface thread only, like every widget.
#pragma once

#include <QColor>
#include <QWidget>

namespace tessaline {

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

}  // namespace tessaline
