#include "installer/window/application.h"

#include <QString>
#include <string_view>

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

// The platform names of a Qt platform list ("xcb:opt;offscreen" -> "xcb",
// "offscreen").
std::vector<std::string> PlatformNames(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    const std::size_t end = list.find(';');
    std::string_view entry = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    entry = entry.substr(0, entry.find(':'));
    if (!entry.empty()) names.emplace_back(entry);
  }
  return names;
}

// `list` with `name` added, ";" between entries.
void AddEntry(std::string& list, std::string_view name, std::string_view separator = ";") {
  if (!list.empty()) list.append(separator);
  list.append(name);
}

// What the platform `name` connects to.
std::string DisplayOf(const std::string& name, const DisplayEnvironment& environment) {
  if (name == "xcb")
    return environment.display.empty() ? "(DISPLAY is not set)" : environment.display;
  if (name.starts_with("wayland")) {
    // Wayland's own default when WAYLAND_DISPLAY is unset.
    return environment.wayland_display.empty() ? "wayland-0" : environment.wayland_display;
  }
  return name;
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

WindowPlatform ChooseWindowPlatform(const DisplayEnvironment& environment) {
  std::string asked = environment.qpa_platform;
  if (asked.empty()) {
    std::vector<std::string> names;
    if (!environment.display.empty()) names.emplace_back("xcb");
    if (!environment.wayland_display.empty()) {
      const bool first = environment.session_type == "wayland";
      names.emplace(first ? names.begin() : names.end(), "wayland");
    }
    for (const std::string& name : names) AddEntry(asked, name);
  }
  WindowPlatform platform;
  const std::vector<std::string> names = PlatformNames(asked);
  for (const std::string& name : names) {
    if (name == kOffscreenPlatform) {
      platform.offscreen_asked = true;
    } else {
      platform.displays.push_back(DisplayOf(name, environment));
    }
  }
  platform.plugins = asked;
  if (!platform.offscreen_asked) AddEntry(platform.plugins, kOffscreenPlatform);
  return platform;
}

bool StartedOnFallback(const WindowPlatform& platform, const std::string& started) {
  return started == kOffscreenPlatform && !platform.offscreen_asked;
}

std::string UnreachableDisplayText(const std::string& program, const WindowPlatform& platform) {
  std::string displays;
  for (const std::string& display : platform.displays) AddEntry(displays, display, " or ");
  if (displays.empty()) displays = "(none named)";
  return program + ": cannot reach the display " + displays +
         "; the installer window needs one (without it, use --install [DIR] to install or "
         "--screenshot FILE.png to see the window)\n";
}

}  // namespace tessaline
