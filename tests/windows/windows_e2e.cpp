// The Windows zip as a player meets it: unzipped, glimtra.exe under Wine in an X server of the test's own.
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

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
  ASSERT_TRUE(game.Open(kWineWait)) << "no window with the idle scene: " << game.Output();
  EXPECT_EQ(game.scale(), 1);
  const Image golden = LoadBmp(std::string(kRoot) + "/tests/golden/startup.bmp");
  ASSERT_FALSE(golden.empty());
  const Image frame = game.Frame();
  Keep(frame, "startup");
  EXPECT_EQ(CountDifferences(frame, golden), 0) << "the start-up frame differs from tests/golden/startup.bmp";
  game.TapKey(XK_Escape);
  EXPECT_TRUE(game.Ends(0, kWineWait)) << "after Escape: " << game.Output();
}

// On a 3840x2160 desktop the same whole factor as on Linux, 2, set through Windows' environment for
// sdl12-compat, and every game pixel an even, sharp block.
TEST_F(WindowsGame, OnA4KDesktopTheWindowIsTwiceAsLargeWithTheGoldenFrameInSharpBlocks) {
  UseScreen(3840, 2160);
  Game &game = StartExe(kGameFolder);
  ASSERT_TRUE(game.Open(kWineWait)) << "no window with the idle scene: " << game.Output();
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
  ASSERT_TRUE(game.Open(kWineWait)) << "no window with the idle scene: " << game.Output();
  Focus(game);

  PlayARightAndAWrongRound(game);
  if (HasFatalFailure()) return;

  SendCloseRequest(x->dpy(), game.win());
  EXPECT_TRUE(game.Ends(0, kWineWait)) << "after closing the window: " << game.Output();
}

// A copy of the game without one picture: a message box names it, and once it is dismissed the game ends
// with status 1, as on Linux.
TEST_F(WindowsGame, AMissingPictureIsNamedInAMessageBoxAndEndsWithStatusOne) {
  const std::string copy = scratch.path() + "/Glimtra";
  fs::copy(kGameFolder, copy, fs::copy_options::recursive);
  fs::remove(copy + "/pix/s3.bmp");
  Game &game = StartExe(scratch.path(), copy, "-all,+win");
  const Window box = FindWindow(x->dpy(), "Glimtra", kWineWait);
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
  EXPECT_TRUE(game.Ends(1, kWineWait)) << "after the box was dismissed: " << game.Output();
}

// Wine paces no flip here (see docs/windows.md). Its Direct3D, SDL's first choice, is held to a few hundred
// frames a second by its own work, which a fast display could match; SDL's software renderer is not, and the
// game must say so where a Windows player sees it: in a box of its own, in a corner, naming the remedy in
// Windows terms, while the game plays on. Beside a build, the software renderer may flip no more often than
// a fast display refreshes (513 frames a second were seen at a load of 7 to 12), so the bar is set where any
// machine clears it; the bar itself is checked in-process (init_test.cpp).
TEST_F(WindowsGame, UnpacedFramesAreToldInAWarningBoxBesideTheGameWhichPlaysOn) {
  Game &game = StartExe(kGameFolder, kGameFolder, "-all,+win",
                        {"SDL_RENDER_DRIVER=software", "GLIMTRA_UNPACED_FPS=20"});
  ASSERT_TRUE(game.Open(kWineWait)) << "no window with the idle scene: " << game.Output();
  const double seconds = 3, cpu = CpuSeconds(game.process().pid()), start = Now();
  const int frames = CountFrames(x->dpy(), game.win(), seconds);
  printf("idle under Wine, software renderer: %.0f frames a second, %.0f%% of a core\n", frames / seconds,
         100 * (CpuSeconds(game.process().pid()) - cpu) / (Now() - start));
  const Window box = FindWindow(x->dpy(), "Glimtra", kWineWait, game.win());
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
  EXPECT_FALSE(game.WaitStatus(StatusLine::kMemorise, 10).empty()) << "no round after GO";
}

// ---- The zip itself, as Windows and a player read it, without Wine ----

// What a command prints on its standard output.
std::string Output(const std::string &command) {
  std::string out;
  if (FILE *pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    pclose(pipe);
  }
  return out;
}

// The manifest Windows gives an exe when it starts it: resource type 24 (RT_MANIFEST), name 1, in its first
// language, found through the resource directory of the PE32+ file as the loader finds it. Empty without one.
std::string ExeManifest(const std::string &b) {
  auto u16 = [&](size_t at) -> uint32_t {
    return at + 2 <= b.size() ? uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 : 0;
  };
  auto u32 = [&](size_t at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };
  const size_t pe = u32(0x3C), optional = pe + 24, sections = optional + u16(pe + 20);
  if (b.compare(pe, 4, std::string("PE\0\0", 4)) != 0 || u16(optional) != 0x20B) return "";
  // From an address in memory to its place in the file, through the section that holds it.
  auto offset = [&](uint32_t rva) -> size_t {
    for (size_t s = sections; s < sections + 40 * u16(pe + 6); s += 40)
      if (rva >= u32(s + 12) && rva - u32(s + 12) < std::max(u32(s + 8), u32(s + 16)))
        return u32(s + 20) + rva - u32(s + 12);
    return 0;
  };
  const size_t root = offset(u32(optional + 112 + 2 * 8));  // the third data directory: the resources
  // The entry of one level of the tree with the number `id` (any, when -1): where its level or data is.
  auto entry = [&](size_t level, long id) -> size_t {
    for (size_t e = level + 16 + 8 * u16(level + 12);
         e < level + 16 + 8 * (u16(level + 12) + u16(level + 14)); e += 8)
      if (id < 0 || u32(e) == static_cast<uint32_t>(id)) return root + (u32(e + 4) & 0x7FFFFFFF);
    return 0;
  };
  const size_t type = root ? entry(root, 24) : 0, name = type ? entry(type, 1) : 0,
               data = name ? entry(name, -1) : 0;
  const size_t at = data ? offset(u32(data)) : 0;
  return at ? b.substr(at, u32(data + 4)) : "";
}

class WindowsZip : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kZip)) GTEST_SKIP() << "skipped: no " << kZip << "; make windows builds it";
  }
  ScratchDir scratch;
};

// Every licence, every picture, the game, SDL and the notes, in one folder named for the release; no more.
TEST_F(WindowsZip, HoldsWhatAReleaseMustHold) {
  std::istringstream listed(Output("cmake -E tar tf '" + std::string(kZip) + "'"));
  std::istringstream wanted(ReadFile(std::string(kRoot) + "/tests/windows/zip-contents.txt"));
  std::vector<std::string> files, expected;
  for (std::string line; std::getline(listed, line);) files.push_back(line);
  for (std::string line; std::getline(wanted, line);)
    if (!line.empty() && line[0] != '#') expected.push_back(std::string(kZipFolder) + "/" + line);
  std::sort(files.begin(), files.end());
  ASSERT_GT(expected.size(), 20u);
  EXPECT_EQ(files, expected) << "the zip's files differ from tests/windows/zip-contents.txt";
}

// No entry carries an extra field: neither the builder's user and group ids (Info-ZIP's "ux"), which would
// make the bytes depend on who built them, nor the file times beside the fixed one of each entry. Read from
// both headers of each entry, the central directory's and the local one.
TEST_F(WindowsZip, CarriesNoOwnerIdsNorOtherExtraFields) {
  const std::string z = ReadFile(kZip);
  auto u16 = [&](size_t at) -> uint32_t {
    return at + 2 <= z.size() ? uint8_t(z[at]) | uint8_t(z[at + 1]) << 8 : 0;
  };
  auto u32 = [&](size_t at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };
  const size_t end = z.rfind(std::string("PK\5\6", 4));
  ASSERT_NE(end, std::string::npos) << "no end of the central directory";
  ASSERT_GT(u16(end + 10), 20u) << "fewer entries than a release holds";
  size_t entry = u32(end + 16);
  for (uint32_t i = 0; i < u16(end + 10); ++i) {
    ASSERT_EQ(u32(entry), 0x02014b50u) << "entry " << i << " of the central directory is not one";
    const std::string name = z.substr(entry + 46, u16(entry + 28));
    const size_t local = u32(entry + 42);
    EXPECT_EQ(u16(entry + 30), 0u) << name << ": an extra field in the central directory";
    EXPECT_EQ(u16(local + 28), 0u) << name << ": an extra field in its local header";
    entry += 46 + u16(entry + 28) + u16(entry + 30) + u16(entry + 32);
  }
}

// Windows stretches a program that is not declared DPI-aware, blurred, at 125 to 200 %; Wine does not.
TEST_F(WindowsZip, TheExeDeclaresItselfDpiAwareInItsManifest) {
  const std::string exe = std::string(kZipFolder) + "/glimtra.exe";
  ASSERT_EQ(Shell("cd '" + scratch.path() + "' && cmake -E tar xf '" + kZip + "' '" + exe + "'"), 0);
  const std::string manifest = ExeManifest(ReadFile(scratch.path() + "/" + exe));
  ASSERT_FALSE(manifest.empty()) << "glimtra.exe has no manifest resource 1 of type 24";
  const std::regex aware(
      R"(<application\s+xmlns="urn:schemas-microsoft-com:asm\.v3"\s*>\s*<windowsSettings>[^]*<dpiAware\s+)"
      R"(xmlns="http://schemas\.microsoft\.com/SMI/2005/WindowsSettings"\s*>\s*(true|true/pm|per monitor)\s*)"
      R"(</dpiAware>[^]*</windowsSettings>)",
      std::regex::icase);
  EXPECT_TRUE(std::regex_search(manifest, aware)) << "not declared DPI-aware:\n" << manifest;
  // Newer Windows reads dpiAwareness before dpiAware.
  EXPECT_FALSE(
      std::regex_search(manifest, std::regex(R"(<dpiAwareness[^>]*>\s*unaware)", std::regex::icase)));
}

}  // namespace
}  // namespace e2e
