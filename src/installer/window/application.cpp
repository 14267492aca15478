#include "installer/window/application.h"

#include <QString>

#include "support/messages.h"

namespace tessaline {
namespace {

QtMessageHandler default_handler = nullptr;
// True while the application object starts its platform.
bool starting = false;

// Qt's notes on a platform that could not start, each on the way to the next
// platform in the list; the run itself tells what it means for the user (the
// window's display cannot be reached).
bool IsPlatformFallbackNote(const QMessageLogContext& context, const QString& message) {
  const QLatin1String category(context.category != nullptr ? context.category : "");
  return (category == QLatin1String("qt.qpa.plugin") &&
          (message.startsWith(QLatin1String("Could not load the Qt platform plugin")) ||
           message.startsWith(QLatin1String("Could not find the Qt platform plugin")))) ||
         (category == QLatin1String("qt.qpa.xcb") &&
          message.startsWith(QLatin1String("could not connect to display"))) ||
         message.startsWith(QLatin1String("Failed to create wl_display"));
}

// Qt's own notes that say nothing to a user of this program: the runtime
// folder's absence (Qt falls back to one of its own), the offscreen
// platform's lack of size hints for dialogs, and while starting the notes
// of platforms passed over.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext& context,
                         const QString& message) {
  if (type == QtWarningMsg &&
      (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
       message == QLatin1String("This plugin does not support propagateSizeHints()"))) {
    return;
  }
  if ((type == QtWarningMsg || type == QtInfoMsg) && starting &&
      IsPlatformFallbackNote(context, message)) {
    return;
  }
  if (default_handler != nullptr) default_handler(type, context, message);
}

// Installed before the application exists: the runtime folder note and the
// platforms' notes come while the platform starts.
int& InstallQuietMessageHandler(int& argc) {
  if (default_handler == nullptr) default_handler = qInstallMessageHandler(QuietMessageHandler);
  starting = true;
  return argc;
}

}  // namespace

QtApplication::QtApplication(int& argc, char** argv)
    : QApplication(InstallQuietMessageHandler(argc), argv) {
  // A window without a title (a message box without a caption) would get the
  // program's name from Qt as its title; an empty display name leaves the
  // title empty for the window system too. Titled windows are unchanged.
  setApplicationDisplayName(QStringLiteral(""));
  starting = false;
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
