// The start-up baseline: a Qt widgets application that starts its event loop
// and quits at once.
#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return app.exec();
}
