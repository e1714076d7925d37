// Opening the window: a headless driver that SDL picks on its own is replaced by the display's real one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "e2e/harness.h"
#include "main.h"

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

TEST(OpenWindow, WithoutAnyDisplaySaysSoInsteadOfRunningUnseen) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  StartSdlHeadless();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OpenWindow());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no display"), std::string::npos);
  SDL_Quit();
}

TEST(OpenWindow, SetsPacingAndScalingOnlyWhereThePlayerHasNot) {
  unsetenv("SDL12COMPAT_SYNC_TO_VBLANK");
  setenv("SDL12COMPAT_SCALE_METHOD", "linear", 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  ASSERT_TRUE(OpenWindow());
  EXPECT_STREQ(getenv("SDL12COMPAT_SYNC_TO_VBLANK"), "1");
  EXPECT_STREQ(getenv("SDL12COMPAT_SCALE_METHOD"), "linear");
  SDL_Quit();
}

}  // namespace
