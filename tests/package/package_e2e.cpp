// The packaged game as a player starts it: its launcher, from any folder, plays a round and quits on Escape.
#include <X11/keysym.h>

#include <cstdlib>

#include "game.h"

namespace e2e {
namespace {

using PackagedGame = E2eTest;

// The launcher under test, from the environment: the unpacked package's, or the installed one.
std::string Launcher() {
  const char *launcher = getenv("GLIMTRA_LAUNCHER");
  return launcher ? launcher : "";
}

TEST_F(PackagedGame, LauncherFromElsewherePlaysARightRoundAndEscapeEndsWithStatusZero) {
  const std::string launcher = Launcher();
  ASSERT_FALSE(launcher.empty()) << "GLIMTRA_LAUNCHER names no launcher";
  // From a folder without pix/, so that the pictures can only have come through the launcher.
  Game &game = Start(scratch.path(), {}, launcher);
  ASSERT_TRUE(game.Open()) << launcher << " showed no window: " << game.Output();

  ASSERT_TRUE(game.ClickGo()) << "GO never drawn pressed and released";
  const Image shown = game.WaitStatus(StatusLine::kMemorise, 3);
  Keep(shown.empty() ? game.Frame() : shown, "memorise");
  ASSERT_FALSE(shown.empty()) << "no row to memorise after GO: " << Name(ReadStatus(game.Frame(), *refs));
  const std::vector<int> code = ReadRow(shown, *pics, kRowY, 4);
  for (int s : code) ASSERT_TRUE(s >= 0 && s < 9) << "a slot of the code row shows no symbol";

  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 6).empty()) << "the answer phase never began";
  for (int s : code) ASSERT_TRUE(game.ClickKey(s)) << "key " << s + 2 << " never drawn pressed and released";
  const Image verdict = game.WaitStatus(StatusLine::kRight, 3);
  Keep(verdict.empty() ? game.Frame() : verdict, "verdict");
  ASSERT_FALSE(verdict.empty()) << "no \"R\xC3\xA4tt svar!\": " << Name(ReadStatus(game.Frame(), *refs));

  game.TapKey(XK_Escape);
  ASSERT_TRUE(game.Ends(0, 10)) << "after Escape: " << game.Output();
}

}  // namespace
}  // namespace e2e
