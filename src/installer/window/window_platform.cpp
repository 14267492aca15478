#include "installer/window/window_platform.h"

#include <string_view>

namespace tessaline {
namespace {

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
  if (name == "xcb") return environment.display.empty() ? "(DISPLAY is not set)" : environment.display;
  if (name.starts_with("wayland")) {
    // Wayland's own default when WAYLAND_DISPLAY is unset.
    return environment.wayland_display.empty() ? "wayland-0" : environment.wayland_display;
  }
  return name;
}

}  // namespace

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
