// The platform list the window asks Qt for, and what tells that Qt started
// on the fallback.
#include "installer/window/application.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

TEST(WindowPlatformTest, TheDisplaysNamedComeFirstThenTheFallback) {
  struct Row {
    DisplayEnvironment environment;
    std::string plugins;
    std::vector<std::string> displays;
    bool offscreen_asked;
  };
  const std::vector<Row> rows = {
      {{"", ":0", "", ""}, "xcb;offscreen", {":0"}, false},
      {{"", "", "wayland-1", ""}, "wayland;offscreen", {"wayland-1"}, false},
      {{"", ":0", "wayland-1", "x11"}, "xcb;wayland;offscreen", {":0", "wayland-1"}, false},
      {{"", ":0", "wayland-1", "wayland"}, "wayland;xcb;offscreen", {"wayland-1", ":0"}, false},
      // The user's own choice wins; its displays are named as it names them.
      {{"xcb", ":5", "wayland-1", "wayland"}, "xcb;offscreen", {":5"}, false},
      {{"wayland-egl", ":5", "", ""}, "wayland-egl;offscreen", {"wayland-0"}, false},
      {{"xcb", "", "", ""}, "xcb;offscreen", {"(DISPLAY is not set)"}, false},
      {{"vnc:size=800x600", "", "", ""}, "vnc:size=800x600;offscreen", {"vnc"}, false},
      {{"offscreen", ":0", "", ""}, "offscreen", {}, true},
      {{"xcb;offscreen:configfile=x", ":0", "", ""}, "xcb;offscreen:configfile=x", {":0"}, true},
      {{"", "", "", ""}, "offscreen", {}, false},
  };
  for (const Row& row : rows) {
    const WindowPlatform platform = ChooseWindowPlatform(row.environment);
    SCOPED_TRACE(row.plugins);
    EXPECT_EQ(platform.plugins, row.plugins);
    EXPECT_EQ(platform.displays, row.displays);
    EXPECT_EQ(platform.offscreen_asked, row.offscreen_asked);
  }
}

TEST(WindowPlatformTest, OnlyAnOffscreenStartNobodyAskedForIsTheFallback) {
  const WindowPlatform x = ChooseWindowPlatform({"", ":987", "", ""});
  EXPECT_TRUE(StartedOnFallback(x, "offscreen"));
  EXPECT_FALSE(StartedOnFallback(x, "xcb"));
  const WindowPlatform asked = ChooseWindowPlatform({"offscreen", ":987", "", ""});
  EXPECT_FALSE(StartedOnFallback(asked, "offscreen"));
  EXPECT_EQ(UnreachableDisplayText("tess", ChooseWindowPlatform({"", ":9", "w-9", ""})),
            "tess: cannot reach the display :9 or w-9; the installer window needs one (without "
            "it, use --install [DIR] to install or --screenshot FILE.png to see the window)\n");
}

}  // namespace
}  // namespace tessaline
