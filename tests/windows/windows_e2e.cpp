// The Windows zip as a player meets it: unzipped, glimtra.exe under Wine in an X server of the test's own.
#include <X11/keysym.h>

#include <cstdio>
#include <filesystem>

#include "wine.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

// Where the zip is unpacked and the test's own Wine prefix lives, under this build folder.
const std::string kUnzipped = std::string(kWindowsBuild) + "/unzipped";
const std::string kPrefix = std::string(kWindowsBuild) + "/wineprefix";
const std::string kGameFolder = kUnzipped + "/" + kZipFolder;

class WindowsGame : public WineTest {
 protected:
  static void SetUpTestSuite() {
    E2eTest::SetUpTestSuite();
    if (!fs::exists(kZip)) {
      missing = std::string("no ") + kZip +
                ": make windows builds it from the SDL 2 and sdl12-compat releases in ../shared/third_party/ "
                "(or SDL2_SOURCE= and SDL12COMPAT_SOURCE=)";
      return;
    }
    // The zip as a player gets it, unpacked afresh; the Wine prefix once, for every later run too.
    fs::remove_all(kUnzipped);
    fs::create_directories(kUnzipped);
    if (Shell("cd '" + kUnzipped + "' && cmake -E tar xf '" + kZip + "'") != 0) missing = "an unpacked zip";
    if (missing.empty()) SetUpPrefix(kPrefix);
  }

  Game &StartExe(const std::string &cwd, const std::string &folder = kGameFolder,
                 const std::string &debug = "-all", const std::vector<std::string> &extra = {}) {
    return WineTest::StartExe(cwd, folder, debug, extra);
  }
};

// Started in its own folder, as a double-click does: the first frame is the golden one, pixel for pixel.
TEST_F(WindowsGame, StartUpFrameIsTheGoldenOneAndEscapeEndsWithStatusZero) {
  Game &game = StartExe(kGameFolder);
  ASSERT_TRUE(game.Open(30)) << "no window with the idle scene: " << game.Output();
  EXPECT_EQ(game.scale(), 1);
  const Image golden = LoadBmp(std::string(kRoot) + "/tests/golden/startup.bmp");
  ASSERT_FALSE(golden.empty());
  const Image frame = game.Frame();
  Keep(frame, "startup");
  EXPECT_EQ(CountDifferences(frame, golden), 0) << "the start-up frame differs from tests/golden/startup.bmp";
  game.TapKey(XK_Escape);
  EXPECT_TRUE(game.Ends(0, 15)) << "after Escape: " << game.Output();
}

// On a 3840x2160 desktop the same whole factor as on Linux, 2, set through Windows' environment for
// sdl12-compat, and every game pixel an even, sharp block.
TEST_F(WindowsGame, OnA4KDesktopTheWindowIsTwiceAsLargeWithTheGoldenFrameInSharpBlocks) {
  UseScreen(3840, 2160);
  Game &game = StartExe(kGameFolder);
  ASSERT_TRUE(game.Open(30)) << "no window with the idle scene: " << game.Output();
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(x->dpy(), game.win(), &a));
  EXPECT_EQ(a.width, 2 * kWidth);
  EXPECT_EQ(a.height, 2 * kHeight);
  const Image whole = Capture(x->dpy(), game.win());
  const Image golden = LoadBmp(std::string(kRoot) + "/tests/golden/startup.bmp");
  Keep(whole, "scaled");
  EXPECT_EQ(CountDifferences(whole, Enlarge(golden, 2)), 0) << "not the golden frame in 2x2 blocks";
}

// From a folder without pix/, as a shortcut or a command prompt may start it: the pictures come from
// beside the exe. A right round, a wrong one, and the window closed.
TEST_F(WindowsGame, FromAnotherFolderPlaysARightAndAWrongRoundAndClosingTheWindowEndsWithStatusZero) {
  Game &game = StartExe(scratch.path());
  ASSERT_TRUE(game.Open(30)) << "no window with the idle scene: " << game.Output();
  Focus(game);

  PlayARightAndAWrongRound(game);
  if (HasFatalFailure()) return;

  SendCloseRequest(x->dpy(), game.win());
  EXPECT_TRUE(game.Ends(0, 15)) << "after closing the window: " << game.Output();
}

// A copy of the game without one picture: a message box names it, and once it is dismissed the game ends
// with status 1, as on Linux.
TEST_F(WindowsGame, AMissingPictureIsNamedInAMessageBoxAndEndsWithStatusOne) {
  const std::string copy = scratch.path() + "/Glimtra";
  fs::copy(kGameFolder, copy, fs::copy_options::recursive);
  fs::remove(copy + "/pix/s3.bmp");
  Game &game = StartExe(scratch.path(), copy, "-all,+win");
  const Window box = FindWindow(x->dpy(), "Glimtra", 30);
  ASSERT_NE(box, 0u) << "no message box: " << game.Output();
  // Wine's trace of the box's text being set, as the player reads it.
  EXPECT_NE(game.Output().find("set_window_text L\"cannot load pix/s3.bmp"), std::string::npos)
      << "the box does not name pix/s3.bmp";
  EXPECT_TRUE(game.process().Running()) << "ended before the box was dismissed: " << game.Output();
  // Return presses the box's one button, as a player's Enter does.
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(x->dpy(), box, &a));
  MovePointer(x->dpy(), box, a.width / 2, a.height / 2);
  SetKey(x->dpy(), XK_Return, true);
  SetKey(x->dpy(), XK_Return, false);
  EXPECT_TRUE(game.Ends(1, 15)) << "after the box was dismissed: " << game.Output();
}

// Wine paces no flip here (see README.md). Its Direct3D, SDL's first choice, is held to a few hundred frames
// a second by its own work, which a fast display could match; SDL's software renderer is not, and the game
// must say so where a Windows player sees it: in a box of its own, in a corner, naming the remedy in
// Windows terms, while the game plays on.
TEST_F(WindowsGame, UnpacedFramesAreToldInAWarningBoxBesideTheGameWhichPlaysOn) {
  Game &game = StartExe(kGameFolder, kGameFolder, "-all,+win", {"SDL_RENDER_DRIVER=software"});
  ASSERT_TRUE(game.Open(30)) << "no window with the idle scene: " << game.Output();
  const double seconds = 3, cpu = CpuSeconds(game.process().pid()), start = Now();
  const int frames = CountFrames(x->dpy(), game.win(), seconds);
  printf("idle under Wine, software renderer: %.0f frames a second, %.0f%% of a core\n", frames / seconds,
         100 * (CpuSeconds(game.process().pid()) - cpu) / (Now() - start));
  const Window box = FindWindow(x->dpy(), "Glimtra", 15, game.win());
  ASSERT_NE(box, 0u) << "no warning box";
  const std::string said = game.Output();
  EXPECT_NE(said.find("set_window_text L\"the display does not pace the frames"), std::string::npos)
      << "the box does not say that the frames are not paced";
  EXPECT_NE(said.find("graphics driver"), std::string::npos) << "the remedy is not named in Windows terms";
  EXPECT_EQ(said.find("OpenGL"), std::string::npos) << "Debian's remedy on Windows";
  // Beside the game's window, not over it.
  XWindowAttributes b, g;
  Window child;
  int bx = 0, by = 0, gx = 0, gy = 0;
  ASSERT_TRUE(XGetWindowAttributes(x->dpy(), box, &b) && XGetWindowAttributes(x->dpy(), game.win(), &g));
  XTranslateCoordinates(x->dpy(), box, DefaultRootWindow(x->dpy()), 0, 0, &bx, &by, &child);
  XTranslateCoordinates(x->dpy(), game.win(), DefaultRootWindow(x->dpy()), 0, 0, &gx, &gy, &child);
  EXPECT_TRUE(bx + b.width <= gx || gx + g.width <= bx || by + b.height <= gy || gy + g.height <= by)
      << "the box at " << bx << "," << by << " covers the game's window at " << gx << "," << gy;
  Focus(game);
  EXPECT_TRUE(game.ClickGo()) << "the game did not go on while the box was up";
  EXPECT_FALSE(game.WaitStatus(StatusLine::kMemorise, 3).empty()) << "no round after GO";
}

}  // namespace
}  // namespace e2e
