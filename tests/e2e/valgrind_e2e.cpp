// A short scripted game of the real binary under valgrind's memcheck, in an X server of its own.
#include <X11/keysym.h>
#include <sys/wait.h>

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
  // Everything runs some twenty times slower under memcheck, and the first frame waits for the GL
  // driver's shaders to be compiled under it (half a minute on a busy machine with no shader cache yet).
  ASSERT_TRUE(game.Open(120)) << "no window with the idle scene within two minutes";
  ASSERT_TRUE(game.ClickGo(20));
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 20).empty()) << "the answer phase never began";
  for (int s : {0, 4, 8, 3}) ASSERT_TRUE(game.ClickKey(s, 20));
  const Image verdict = game.WaitFrame(20, [&](const Image &f) {
    const StatusLine line = ReadStatus(f, *refs);
    return line == StatusLine::kRight || line == StatusLine::kWrong;
  });
  EXPECT_FALSE(verdict.empty()) << "no verdict after the fourth symbol";
  game.TapKey(XK_Escape);

  int status = -1;
  ASSERT_TRUE(game.process().Wait(60, &status)) << "still running a minute after Escape";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Game::Describe(status);
  EXPECT_NE(game.Output().find("ERROR SUMMARY: 0 errors"), std::string::npos) << "see the game's output";
}

}  // namespace
}  // namespace e2e
