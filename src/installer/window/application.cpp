#include "installer/window/application.h"

#include <QString>

#include "support/messages.h"

namespace tessaline {
namespace {

QtMessageHandler default_handler = nullptr;

// Qt's own notes that say nothing to a user of this program: the runtime
// folder's absence (Qt falls back to one of its own) and the offscreen
// platform's lack of size hints for dialogs.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
  if (type == QtWarningMsg &&
      (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
       message == QLatin1String("This plugin does not support propagateSizeHints()"))) {
    return;
  }
  if (default_handler != nullptr) default_handler(type, context, message);
}

// Installed before the application exists: the runtime folder note comes
// while the platform starts.
int& InstallQuietMessageHandler(int& argc) {
  if (default_handler == nullptr) default_handler = qInstallMessageHandler(QuietMessageHandler);
  return argc;
}

}  // namespace

QtApplication::QtApplication(int& argc, char** argv)
    : QApplication(InstallQuietMessageHandler(argc), argv) {
  // A window without a title (a message box without a caption) would get the
  // program's name from Qt as its title; an empty display name leaves the
  // title empty for the window system too. Titled windows are unchanged.
  setApplicationDisplayName(QStringLiteral(""));
}

bool QtApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    // The handler failed part way; what it did so far stays done.
    ShowCurrentException();
    return false;
  }
}

}  // namespace tessaline
