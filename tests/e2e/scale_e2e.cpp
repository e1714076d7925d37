// The window on desktops of different sizes: how large it comes up, that it stays sharp, that the player's
// own settings win, and that frames come at the display's pace.
#include <X11/keysym.h>
#include <unistd.h>

#include "game.h"

namespace e2e {
namespace {

using ScaledWindow = E2eTest;

void ExpectSize(const XServer &x, Window win, int width, int height) {
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(x.dpy(), win, &a));
  EXPECT_EQ(a.width, width);
  EXPECT_EQ(a.height, height);
}

// The first frame of a game window shown at twice its size, read as it is, without taking it for game
// pixels: drawn once most of it matches `doubled` (flat areas stay exact even when smoothed). Empty if the
// window or such a frame never showed within 10 s.
Image FirstFrameAtTwice(const XServer &x, const Image &doubled) {
  const Window win = FindWindow(x.dpy(), "Glimtra", 10);
  if (!win) return Image();
  ExpectSize(x, win, 2 * kWidth, 2 * kHeight);
  const int most = doubled.w * doubled.h / 2;
  for (const double end = Now() + 10; Now() < end;) {
    Image shown = Capture(x.dpy(), win);
    const int differing = CountDifferences(shown, doubled);
    if (differing >= 0 && differing <= most) return shown;
  }
  return Image();
}

void ExpectEscapeEndsIt(Game &game) {
  game.TapKey(XK_Escape);
  ASSERT_TRUE(game.Ends(0)) << "after Escape";
}

TEST_F(ScaledWindow, StaysAt350By300OnAFullHdDesktop) {
  UseScreen(1920, 1080);
  Game &game = Start();
  ASSERT_TRUE(game.Open());
  ExpectSize(*x, game.win(), kWidth, kHeight);
}

// 300 x 2 = 600 pixels stay within 40% of 2160; three times would not.
TEST_F(ScaledWindow, IsTwiceTheSizeOnA4kDesktopWithEveryGamePixelAnEvenBlock) {
  UseScreen(3840, 2160);
  Game &game = Start();
  // Sharp: exactly the frame the game draws in-process, each pixel doubled; smoothing would blend them.
  const Image expected = Enlarge(refs->startup, 2);
  const Image shown = FirstFrameAtTwice(*x, expected);
  ASSERT_FALSE(shown.empty()) << "the idle scene never showed";
  Keep(shown, "x-server");
  EXPECT_EQ(CountDifferences(shown, expected), 0) << "pixels differ from the doubled in-process frame";
  ASSERT_TRUE(game.Open());
  ExpectEscapeEndsIt(game);
}

// What the player sets wins over the game's choice: a factor of 1, and smoothing.
TEST_F(ScaledWindow, ThePlayersOwnFactorAndScalingWin) {
  UseScreen(3840, 2160);
  Game &small = Start(kRoot, {"env", "SDL12COMPAT_WINDOW_SCALING=1"});
  ASSERT_TRUE(small.Open());
  ExpectSize(*x, small.win(), kWidth, kHeight);
  ExpectEscapeEndsIt(small);

  // Smoothed, the frame no longer reads as the game's pixels; it is judged against the doubled one.
  Start(kRoot, {"env", "SDL12COMPAT_SCALE_METHOD=linear"});
  const Image expected = Enlarge(refs->startup, 2);
  const Image shown = FirstFrameAtTwice(*x, expected);
  ASSERT_FALSE(shown.empty()) << "the idle scene never showed";
  Keep(shown, "linear");
  EXPECT_GT(CountDifferences(shown, expected), 0) << "linear scaling asked for, yet every pixel is sharp";
}

// An empty factor is no choice of the player's: the game still picks the size.
TEST_F(ScaledWindow, AnEmptyFactorStillGivesTwiceTheSizeOnA4kDesktop) {
  UseScreen(3840, 2160);
  Game &game = Start(kRoot, {"env", "SDL12COMPAT_WINDOW_SCALING="});
  ASSERT_TRUE(game.Open());
  ExpectSize(*x, game.win(), 2 * kWidth, 2 * kHeight);
}

// Frames presented in 2 s at most when each flip waits for the display: some 60 a second, not the hundreds
// a free-running loop makes.
constexpr int kPacedFrames = 200;

TEST_F(ScaledWindow, FramesComeAtTheDisplaysPace) {
  Game &game = Start();
  ASSERT_TRUE(game.Open());
  const int frames = CountFrames(x->dpy(), game.win(), 2);
  EXPECT_GT(frames, 0) << "no frame presented in 2 s";
  EXPECT_LE(frames, kPacedFrames) << "frames in 2 s: the loop is not paced by the display";
}

// The player's own vsync setting, which the manual page says the game leaves alone, wins: turned off, the
// loop runs free.
TEST_F(ScaledWindow, FramesRunFreeWhenThePlayerTurnsVsyncOff) {
  // The warning's bar is set where a busy machine's free frames clear it too (its own is checked in-process).
  Game &game = Start(kRoot, {"env", "SDL12COMPAT_SYNC_TO_VBLANK=0", "GLIMTRA_UNPACED_FPS=20"});
  ASSERT_TRUE(game.Open());
  const int frames = CountFrames(x->dpy(), game.win(), 2);
  EXPECT_GT(frames, 2 * kPacedFrames) << "frames in 2 s: still paced, the player's setting was overridden";
  // The warning, due when the second after start-up is over, names the player's setting as the cause, not
  // a missing driver.
  std::string said = game.Output();
  for (const double end = Now() + 10; said.find("does not pace") == std::string::npos && Now() < end;
       usleep(10000))
    said = game.Output();
  EXPECT_NE(said.find("does not pace"), std::string::npos) << "no warning: " << said;
  EXPECT_NE(said.find("SDL12COMPAT_SYNC_TO_VBLANK=0 in the environment turns it off"), std::string::npos)
      << said;
}

}  // namespace
}  // namespace e2e
