// The installer's application object: a QApplication whose notify() catches
// every exception that escapes an event handler, shows it through the
// toolkit's exception display (ShowCurrentException) and lets the event loop
// go on, so that a failed handler never ends the program. Its display name
// is empty, so a window without a title has none on the window system either. It is the last
// resort: the window's handlers catch their own exceptions before those reach
// Qt's code, which is not written to be unwound through.
//
// Thread use: created, run and destroyed on the user-interface thread.
#pragma once

#include <QApplication>

namespace tessaline {

class QtApplication : public QApplication {
  Q_OBJECT

 public:
  // `argc` and `argv` must outlive the application, as QApplication requires.
  QtApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tessaline
