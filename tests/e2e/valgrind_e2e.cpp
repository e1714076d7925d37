// A short scripted game of the real binary under valgrind's memcheck, in an X server of its own.
#include <X11/keysym.h>
#include <sys/wait.h>

#include "game.h"

namespace e2e {
namespace {

using Memcheck = E2eTest;

TEST_F(Memcheck, RoundPlayedThroughToTheVerdictAndEscapeHasNoMemoryErrors) {
  const std::string report = scratch.path() + "/memcheck.log";
  // Errors, not leaks: SDL and the X libraries keep memory to the end by design.
  Game &game = Start(kRoot, {"valgrind", "--tool=memcheck", "--error-exitcode=1", "--leak-check=no",
                             "--child-silent-after-fork=yes", "--num-callers=40",
                             std::string("--suppressions=") + kValgrindSupp, "--log-file=" + report});
  // Everything runs some twenty times slower under memcheck: the timeouts are generous to match.
  ASSERT_TRUE(game.Open(60)) << ReadFile(report);
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
  const std::string log = ReadFile(report);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Game::Describe(status) << "\n" << log;
  EXPECT_NE(log.find("ERROR SUMMARY: 0 errors"), std::string::npos) << log;
}

}  // namespace
}  // namespace e2e
