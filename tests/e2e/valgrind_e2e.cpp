// A short scripted game of the real binary under valgrind's memcheck, in an X server of its own.
#include <X11/keysym.h>

#include "game.h"

namespace e2e {
namespace {

using Memcheck = E2eTest;

TEST_F(Memcheck, RoundPlayedThroughToTheVerdictAndEscapeHasNoMemoryErrors) {
  // Errors, not leaks: SDL and the X libraries keep memory to the end by design. The report goes with the
  // game's own output into its log, which a failing test prints.
  Game &game = Start(kRoot, {"valgrind", "--tool=memcheck", "--error-exitcode=1", "--leak-check=no",
                             "--child-silent-after-fork=yes", "--num-callers=40",
                             std::string("--suppressions=") + kValgrindSupp});
  // Everything runs some twenty times slower under memcheck, and the first frames wait for the GL
  // driver's shaders to be compiled under it (half a minute on a busy machine with no shader cache yet).
  ASSERT_TRUE(game.Open(120)) << "no window with the idle scene within two minutes";
  // The round clock runs on wall time: a round started while a frame takes seconds would pass unseen
  // between two frames. So the round starts once frames come steadily, and is played again should its
  // answer phase still pass unseen.
  for (const double end = Now() + 60; CountFrames(x->dpy(), game.win(), 1) < 3 && Now() < end;) {
  }
  bool answering = false;
  for (int round = 0; round < 3 && !answering; ++round) {
    ASSERT_TRUE(game.ClickGo(20));
    const Image f = game.WaitFrame(30, [&](const Image &f) {
      const StatusLine line = ReadStatus(f, *refs);
      return line == StatusLine::kAnswer || line == StatusLine::kRight || line == StatusLine::kWrong;
    });
    ASSERT_FALSE(f.empty()) << "neither an answer phase nor a verdict within 30 s of GO";
    answering = ReadStatus(f, *refs) == StatusLine::kAnswer;
  }
  ASSERT_TRUE(answering) << "three rounds in a row passed without an answer phase on screen";
  for (int s : {0, 4, 8, 3}) ASSERT_TRUE(game.ClickKey(s, 20));
  const Image verdict = game.WaitFrame(20, [&](const Image &f) {
    const StatusLine line = ReadStatus(f, *refs);
    return line == StatusLine::kRight || line == StatusLine::kWrong;
  });
  EXPECT_FALSE(verdict.empty()) << "no verdict after the fourth symbol";
  game.TapKey(XK_Escape);

  ASSERT_TRUE(game.Ends(0, 60)) << "after Escape";
  EXPECT_NE(game.Output().find("ERROR SUMMARY: 0 errors"), std::string::npos) << "see the game's output";
}

}  // namespace
}  // namespace e2e
