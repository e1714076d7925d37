// The packaged game as a player starts it: its launcher, from any folder, plays rounds and quits on Escape.
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>

#include "game.h"

namespace e2e {
namespace {

// The launcher under test, from the environment: the unpacked package's, or the installed one.
std::string Launcher() {
  const char *launcher = getenv("GLIMTRA_LAUNCHER");
  return launcher ? launcher : "";
}

using PackagedGame = E2eTest;

TEST_F(PackagedGame, LauncherFromElsewherePlaysARightAndAWrongRoundAndEscapeEndsWithStatusZero) {
  const std::string launcher = Launcher();
  ASSERT_FALSE(launcher.empty()) << "GLIMTRA_LAUNCHER names no launcher";
  // From a folder without pix/, so that the pictures can only have come through the launcher.
  Game &game = Start(scratch.path(), {}, launcher);
  ASSERT_TRUE(game.Open()) << launcher << " showed no window: " << game.Output();

  PlayARightAndAWrongRound(game);
  if (HasFatalFailure()) return;

  game.TapKey(XK_Escape);
  ASSERT_TRUE(game.Ends(0, 10)) << "after Escape: " << game.Output();
}

// Idle at the title screen, the flip waits for the display (about 60 frames a second in Xvfb) and the
// game takes a small share of a core; what an install lacking OpenGL gives is hundreds of frames a second,
// a whole core, and the game's own word on it.
TEST_F(PackagedGame, IdleGameIsPacedByTheDisplay) {
  UseScreen(1920, 1080);  // a Full HD desktop, as most players have
  Game &game = Start(scratch.path(), {}, Launcher());
  ASSERT_TRUE(game.Open()) << "no window: " << game.Output();
  const double seconds = 3, cpu = CpuSeconds(game.process().pid()), start = Now();
  const int frames = CountFrames(x->dpy(), game.win(), seconds);
  const double share = (CpuSeconds(game.process().pid()) - cpu) / (Now() - start);
  printf("idle at the title screen: %.0f frames a second, %.0f%% of a core\n", frames / seconds, 100 * share);
  EXPECT_GT(frames, 0) << "no frame presented";
  EXPECT_LE(frames / seconds, 100) << "the flip does not wait for the display";
  EXPECT_LT(share, 0.2) << "idle, the game takes a fifth of a core or more";
  EXPECT_EQ(game.Output().find("does not pace"), std::string::npos) << game.Output();
}

}  // namespace
}  // namespace e2e
