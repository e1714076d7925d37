// Opening the window: a headless driver that SDL picks on its own is replaced by the display's real one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "main.h"

namespace {

// An X server of the test's own on a display it chooses itself; stopped when the test ends.
class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char *>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    ssize_t n = 0, got = 0;
    while (got < static_cast<ssize_t>(sizeof number) - 1 &&
           (n = read(fds[0], number + got, sizeof number - 1 - got)) > 0) {
      got += n;
      if (number[got - 1] == '\n') break;
    }
    close(fds[0]);
    if (got > 0) display_ = ":" + std::string(number, number + got - 1);
  }
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string &display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

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
  Xvfb x;
  ASSERT_FALSE(x.display().empty());
  setenv("DISPLAY", x.display().c_str(), 1);
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
