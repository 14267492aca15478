// Starting Qt: the application object and the platform it starts on.
//
// The application is a QApplication whose notify() catches every exception
// that escapes an event handler, shows it through the toolkit's exception
// display (ShowCurrentException) and lets the event loop go on, so that a
// failed handler never ends the program. It is the last resort: the
// window's handlers catch their own exceptions before those reach Qt's code,
// which is not written to be unwound through. Its display name is empty, so
// a window without a title has none on the window system either.
//
// The platform: Qt ends the program (SIGABRT) when no
// platform it is given can start, so the window asks for the display the
// environment names with "offscreen" behind it: a display that cannot be
// reached then leaves Qt on the fallback, and the run says so in one line.
// A screenshot is always drawn offscreen: it needs no display, and the
// picture is the same whatever display is set.
//
// Thread use: the application is created, run and destroyed on the
// user-interface thread; the platform functions are pure.
#pragma once

#include <QApplication>
#include <string>
#include <vector>

namespace tessaline {

class QtApplication : public QApplication {
  Q_OBJECT

 public:
  // `argc` and `argv` must outlive the application, as QApplication requires.
  QtApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

// The platform every picture of the window is drawn on, and the one the
// window falls back to.
inline constexpr char kOffscreenPlatform[] = "offscreen";

// What the window asks Qt for.
struct WindowPlatform {
  // Qt's platform list ("-platform"): the ones asked for, then the fallback
  // unless it is one of them.
  std::string plugins;
  // What the platforms asked for connect to, for the message: a display's
  // name (":0", "wayland-0") or a platform's own name.
  std::vector<std::string> displays;
  // True when the platforms asked for include the offscreen one: the window
  // is then meant to be drawn off the screen.
  bool offscreen_asked = false;
};

// The environment's facts that choose the platform.
struct DisplayEnvironment {
  std::string qpa_platform;     // QT_QPA_PLATFORM: the user's own choice
  std::string display;          // DISPLAY: an X display
  std::string wayland_display;  // WAYLAND_DISPLAY
  std::string session_type;     // XDG_SESSION_TYPE: "wayland" puts it first
};

// QT_QPA_PLATFORM when set, else X for DISPLAY and Wayland for
// WAYLAND_DISPLAY (Wayland first in a Wayland session); then the fallback.
WindowPlatform ChooseWindowPlatform(const DisplayEnvironment& environment);

// Whether Qt, asked for `platform`, came up on the fallback instead
// (`started` is the name of the platform it started, as Qt tells it).
bool StartedOnFallback(const WindowPlatform& platform, const std::string& started);

// The one line (with its line break) for a window whose display cannot be
// reached: it names the displays and the runs that need none.
std::string UnreachableDisplayText(const std::string& program, const WindowPlatform& platform);

}  // namespace tessaline
