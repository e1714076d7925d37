// The real game when its display goes away: the X server ends, the window is killed, the desktop signals
// the logout, the Wayland compositor quits; and a way out that hangs.
#include <X11/keysym.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "game.h"

namespace e2e {
namespace {

using LostDisplay = E2eTest;

const char *const kLostLine = "glimtra: the connection to the display was lost";

// A display lost is a failure of its own: status 1 and one line saying so, within 5 s.
void ExpectEndsForTheLostDisplay(Game &game) {
  ASSERT_TRUE(game.Ends(1)) << "after the display went";
  EXPECT_NE(game.Output().find(kLostLine), std::string::npos);
}

// Whether the kernel shows the running process ignoring `signal`.
bool Ignores(pid_t pid, int signal) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigIgn:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1;
  return false;
}

TEST_F(LostDisplay, XServerEndingAtTheTitleScreen) {
  Game &game = Start();
  ASSERT_TRUE(game.Open());
  // Where the server goes while the game writes to it, SIGPIPE comes before Xlib sees the loss; the
  // race is too narrow to force, so what the game set up for it is read back instead.
  EXPECT_TRUE(Ignores(game.process().pid(), SIGPIPE)) << "SIGPIPE would end the game without a word";
  x->Kill(SIGTERM);
  ExpectEndsForTheLostDisplay(game);
}

TEST_F(LostDisplay, XServerCrashingInTheMemorisePhase) {
  Game &game = Start();
  ASSERT_TRUE(game.Open());
  ASSERT_TRUE(game.ClickGo());
  ASSERT_FALSE(game.WaitStatus(StatusLine::kMemorise, 3).empty());
  x->Kill(SIGKILL);
  ExpectEndsForTheLostDisplay(game);
}

TEST_F(LostDisplay, WindowKilledInTheAnswerPhase) {
  Game &game = Start();
  ASSERT_TRUE(game.Open());
  ASSERT_TRUE(game.ClickGo());
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 8).empty());
  KillClient(x->dpy(), game.win());
  ExpectEndsForTheLostDisplay(game);
}

// Whether the game's window goes away within `seconds`, as it does when the process that has it ends.
bool WindowGoes(Display *dpy, double seconds) {
  for (const double end = Now() + seconds; FindWindow(dpy, "Glimtra", 0); usleep(10000))
    if (Now() > end) return false;
  return true;
}

// What a desktop sends at logout: SIGTERM and SIGINT end the game as a closed window does; SIGHUP ends it
// by its default action. The signal goes to the process the desktop started, which may be the launcher:
// it must reach the game, not end a shell and leave the game running.
TEST_F(LostDisplay, LogoutSignalsEndTheGameInEveryPhase) {
  const struct {
    int signal;
    StatusLine phase;
    const char *program;
  } cases[] = {{SIGTERM, StatusLine::kAnswer, kGameBinary},
               {SIGINT, StatusLine::kMemorise, kGameBinary},
               {SIGHUP, StatusLine::kNone, kGameBinary},
               {SIGTERM, StatusLine::kNone, kLauncher}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + " to " + c.program);
    Game &game = Start(kRoot, {}, c.program);
    ASSERT_TRUE(game.Open());
    if (c.phase != StatusLine::kNone) {
      ASSERT_TRUE(game.ClickGo());
      ASSERT_FALSE(game.WaitStatus(c.phase, 8).empty()) << Name(c.phase);
    }
    kill(game.process().pid(), c.signal);
    int status = -1;
    ASSERT_TRUE(game.process().Wait(5, &status)) << "still running 5 s after the signal";
    if (c.signal == SIGHUP) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << Game::Describe(status);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Game::Describe(status);
    }
    EXPECT_TRUE(WindowGoes(x->dpy(), 5)) << "the window stays: the game still runs";
  }
}

// Something in the exit handlers that never returns, as SDL_Quit on a stuck display connection would: the
// game still ends within its time limit, with the status it was ending with.
TEST_F(LostDisplay, AWayOutThatHangsStillEndsWithItsStatus) {
  const std::vector<std::string> hang = {"env", std::string("LD_PRELOAD=") + kHangAtExit};
  Game &game = Start(kRoot, hang);
  ASSERT_TRUE(game.Open());
  game.TapKey(XK_Escape);
  ASSERT_TRUE(game.Ends(0)) << "after Escape";

  // From a folder without the pictures: start-up fails, and the way out hangs as well.
  Game &lost = Start(scratch.path(), hang);
  ASSERT_TRUE(lost.Ends(1)) << "after failing to start";
  EXPECT_NE(lost.Output().find("cannot load pix/"), std::string::npos);
}

// ---- Wayland ----

// Where `frame` shows on `screen` pixel for pixel, or {-1, -1}.
Point Locate(const Image &screen, const Image &frame) {
  const uint32_t noKey = 0xFF000000;  // no pixel of a frame has it: every one must match
  for (int y = 0; y + frame.h <= screen.h; ++y)
    for (int x = 0; x + frame.w <= screen.w; ++x)
      if (screen.at(x, y) == frame.at(0, 0) && ShowsSprite(screen, frame, x, y, noKey)) return {x, y};
  return {-1, -1};
}

// Weston in a window of the test's X server, with its socket in a folder of the test's own. A compositor
// that ends is a display lost, as an X server that ends is; libdecor's GTK plugin ends the game before
// the game can tell, with GTK's message in place of the game's line. Weston asked to end (SIGTERM) removes
// its socket; killed (SIGKILL), as in a crash, it leaves the socket behind, refusing connections.
TEST_F(LostDisplay, WaylandCompositorEndingEndsTheGameAsALostDisplay) {
  if (system("command -v weston >/dev/null 2>&1") != 0) GTEST_SKIP() << "weston is not installed";
  const std::string runtime = scratch.path() + "/runtime";
  ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
  Launch launch;
  launch.argv = {
      "weston",      "--backend=x11-backend.so", "--socket=glimtra-test", "--no-config", "--width=640",
      "--height=480"};
  launch.env = PlayerEnvironment(x->name());
  launch.env.push_back("XDG_RUNTIME_DIR=" + runtime);
  launch.output = scratch.path() + "/weston.log";
  const std::string socket = runtime + "/glimtra-test";
  // No DISPLAY: the game can only come up on Wayland.
  auto startOnWayland = [&]() -> Game & {
    Game &game =
        Start(kRoot, {"env", "-u", "DISPLAY", "XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=glimtra-test"});
    Point at = {-1, -1};
    for (const double by = Now() + 10; at.x < 0 && game.process().Running() && Now() < by;)
      at = Locate(Capture(x->dpy(), DefaultRootWindow(x->dpy())), refs->startup);
    EXPECT_GE(at.x, 0) << "the idle scene never showed in weston's window";
    return game;
  };
  for (const int signal : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal == SIGTERM ? "weston ended with SIGTERM" : "weston killed with SIGKILL");
    Process weston = Spawn(launch);
    const double end = Now() + 10;
    while (!std::filesystem::exists(socket) && Now() < end) usleep(10000);
    ASSERT_TRUE(std::filesystem::exists(socket)) << "weston did not start:\n" << ReadFile(launch.output);

    // Weston draws the pointer over what it shows, and sends keys to the game; keep it in weston's corner.
    MovePointer(x->dpy(), DefaultRootWindow(x->dpy()), 0, 0);
    if (signal == SIGTERM) {
      // While the compositor is there, a quit is the player's.
      Game &quit = startOnWayland();
      SetKey(x->dpy(), XK_Escape, true);
      SetKey(x->dpy(), XK_Escape, false);
      ASSERT_TRUE(quit.Ends(0)) << "after Escape";
      // Weston fades a closed window out: the next game's scene must not be mistaken for its last frame.
      for (const double by = Now() + 5;
           Locate(Capture(x->dpy(), DefaultRootWindow(x->dpy())), refs->startup).x >= 0 && Now() < by;)
        usleep(10000);
    }

    Game &game = startOnWayland();
    const pid_t pid = game.process().pid();
    const bool gtk =
        ReadFile("/proc/" + std::to_string(pid) + "/maps").find("libdecor-gtk") != std::string::npos;
    kill(weston.pid(), signal);
    ASSERT_TRUE(weston.Wait(3, nullptr)) << "weston still running 3 s after the signal";
    if (signal == SIGKILL) {
      ASSERT_TRUE(std::filesystem::exists(socket)) << "weston took its socket along";
    }
    const double gone = Now();
    const double before = CpuSeconds(pid);
    double used = before;
    int status = -1;
    while (!game.process().Wait(0.02, &status) && Now() < gone + 3) used = CpuSeconds(pid);
    ASSERT_FALSE(game.process().started()) << "still running 3 s after the compositor ended";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << Game::Describe(status);
    EXPECT_NE(game.Output().find(gtk ? "Gdk-Message: " : kLostLine), std::string::npos);
    // SDL's wait for a frame polls the closed connection until it gives up (a sixth of a second under SDL
    // 2), once or twice before its quit comes through; a busy loop up to the time limit takes several times
    // that.
    const double cpu = used - before;
    EXPECT_LT(cpu, 0.5) << "seconds of processor time in the " << Now() - gone << " s to the end";
  }
}

}  // namespace
}  // namespace e2e
