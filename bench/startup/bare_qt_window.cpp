// A second, informative baseline: a Qt widgets application that shows one
// empty window maximised and quits after its first paint, like the installer
// window does under TESSALINE_EXIT_AFTER_FIRST_PAINT. It pays for a window's
// back buffer, which the bare application does not.
#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

class Window : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::darkGreen);
    if (!quitting_) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    quitting_ = true;
  }

 private:
  bool quitting_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Window window;
  if (QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
  window.showMaximized();
  return app.exec();
}
