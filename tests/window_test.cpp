// Opening the window: a headless driver that SDL picks on its own is replaced by the display's real one;
// the window's scale on large desktops.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/harness.h"
#include "main.h"

// The driver name SDL reports, or one a test has it report: the classic SDL 1.2's text-mode drivers, which
// sdl12-compat never picks, are met only this way. The linker prefers this definition to SDL's.
static const char *reportedDriver = nullptr;

extern "C" char *SDL_VideoDriverName(char *name, int length) {
  using Real = char *(*)(char *, int);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_VideoDriverName"));
  if (!reportedDriver) return real(name, length);
  snprintf(name, static_cast<size_t>(length), "%s", reportedDriver);
  return name;
}

namespace {

// Starts SDL on the headless driver, as if SDL had chosen it; the player asked for nothing.
void StartSdlHeadless() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  unsetenv("SDL_VIDEODRIVER");
}

std::string DriverName() {
  char name[64] = "";
  SDL_VideoDriverName(name, sizeof name);
  return name;
}

TEST(OpenWindow, SwitchesFromAHeadlessDriverToTheX11Display) {
  e2e::XServer x;
  ASSERT_TRUE(x.ok());
  setenv("DISPLAY", x.name().c_str(), 1);
  StartSdlHeadless();
  ASSERT_EQ(DriverName(), "offscreen");
  ASSERT_TRUE(OpenWindow());
  EXPECT_EQ(DriverName(), "x11");
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->w, 350);
  EXPECT_EQ(screen->h, 300);
  SDL_Quit();
}

TEST(OpenWindow, KeepsAHeadlessDriverThePlayerAskedFor) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  ASSERT_TRUE(OpenWindow());
  EXPECT_EQ(DriverName(), "offscreen");
  SDL_Quit();
  unsetenv("SDL_VIDEODRIVER");
}

// On each driver that shows nothing: the one SDL runs here, and those SDL 1.2 would fall back to.
TEST(OpenWindow, WithoutAnyDisplaySaysSoInsteadOfRunningUnseen) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  StartSdlHeadless();
  for (const char *driver : {static_cast<const char *>(nullptr), "dummy", "caca", "aalib"}) {
    reportedDriver = driver;
    SCOPED_TRACE(DriverName());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenWindow());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no display"), std::string::npos);
  }
  reportedDriver = nullptr;
  SDL_Quit();
}

// The largest whole factor whose 300 x factor pixels stay within 40% of the desktop's height.
TEST(WindowScale, GrowsByWholeStepsWithTheDesktopsHeight) {
  const struct {
    int width, height, scale;
  } desktops[] = {
      {800, 600, 1},   {1366, 768, 1},  {1920, 1080, 1}, {2560, 1440, 1}, {3440, 1440, 1},
      {3840, 2160, 2}, {5120, 2880, 3}, {7680, 4320, 5}, {1080, 1920, 2},  // on its side: 768 pixels make two
      {3000, 3750, 5},                                                     // 1500 is exactly 40%
      {700, 2880, 2},  // narrower than three windows side by side
      {0, 0, 1},       // no size known
  };
  for (const auto &d : desktops)
    EXPECT_EQ(DefaultWindowScale(d.width, d.height), d.scale) << d.width << "x" << d.height;
}

}  // namespace
