// The real game's window in an X server: how it looks at start-up, the level button, quitting, bad pictures.
#include <X11/keysym.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "game.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

using GameWindow = E2eTest;

TEST_F(GameWindow, Is350By300TitledGlimtraWithTheBadgeAsIcon) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(x->dpy(), game.win(), &a));
  EXPECT_EQ(a.width, kWidth);
  EXPECT_EQ(a.height, kHeight);

  // The title is found by FindWindow already; here the name a window list would show.
  char *name = nullptr;
  ASSERT_TRUE(XFetchName(x->dpy(), game.win(), &name));
  EXPECT_STREQ(name, "Glimtra");
  XFree(name);

  // _NET_WM_ICON holds width, height, then ARGB pixels: the badge pix/tolm2.bmp. Its pure blue corners are
  // the key colour the scene draws it with; whether the icon shows them is left open here.
  const Image badge = LoadBmp(std::string(kRoot) + "/pix/tolm2.bmp");
  ASSERT_FALSE(badge.empty());
  std::vector<unsigned long> icon;
  const double end = Now() + 5;
  while ((icon = Property32(x->dpy(), game.win(), "_NET_WM_ICON")).empty() && Now() < end) usleep(10000);
  ASSERT_GE(icon.size(), 2u) << "no _NET_WM_ICON on the window";
  ASSERT_EQ(icon[0], static_cast<unsigned long>(badge.w));
  ASSERT_EQ(icon[1], static_cast<unsigned long>(badge.h));
  ASSERT_EQ(icon.size(), 2u + badge.px.size());
  int wrong = 0;
  for (size_t i = 0; i < badge.px.size(); ++i)
    if (badge.px[i] != 0x0000FF) wrong += (icon[2 + i] & 0xFFFFFFFF) != (0xFF000000 | badge.px[i]);
  EXPECT_EQ(wrong, 0) << "icon pixels that are not the badge's";
}

TEST_F(GameWindow, FirstFrameIsTheOneTheGameDrawsInProcess) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  // The window may be mapped before its first frame is flipped to it.
  const Image frame =
      game.WaitFrame(5, [&](const Image &f) { return CountDifferences(f, refs->startup) == 0; });
  const Image last = frame.empty() ? game.Frame() : frame;
  Keep(last, "x-server");
  Keep(refs->startup, "in-process");
  EXPECT_FALSE(frame.empty()) << CountDifferences(last, refs->startup)
                              << " pixels differ from the in-process frame; see frames/";
}

TEST_F(GameWindow, LevelButtonStepsFourFiveSixFourOncePerClick) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  ASSERT_EQ(ReadLevel(game.WaitFrame(5, [&](const Image &f) { return ReadLevel(f, *refs) != 0; }), *refs), 4);
  // Held for a good many frames each time: the level still moves one step per click.
  for (int expected : {5, 6, 4, 5}) {
    ASSERT_TRUE(game.ClickLevel(0.25)) << "the Niv\xC3\xA5 button was never drawn pressed and released";
    const Image f = game.Frame();
    const int level = ReadLevel(f, *refs);
    if (level != expected) Keep(f, "level");
    ASSERT_EQ(level, expected);
  }
}

// ---- Quitting ----

TEST_F(GameWindow, EscapeEndsTheGameWithStatusZeroWhenIdleAndMidRound) {
  for (bool midRound : {false, true}) {
    SCOPED_TRACE(midRound ? "mid-round" : "idle");
    Game &game = Start();
    ASSERT_TRUE(game.Open()) << game.Output();
    if (midRound) {
      ASSERT_TRUE(game.ClickGo());
      ASSERT_FALSE(game.WaitStatus(StatusLine::kMemorise, 3).empty());
    } else {
      ASSERT_FALSE(game.WaitStatus(StatusLine::kNone, 5).empty());
    }
    game.TapKey(XK_Escape);
    ASSERT_TRUE(game.Ends(0)) << "after Escape\n" << game.Output();
  }
}

TEST_F(GameWindow, CloseRequestEndsTheGameWithStatusZeroMidRound) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  ASSERT_TRUE(game.ClickGo());
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 8).empty()) << "no answer phase";
  SendCloseRequest(x->dpy(), game.win());
  ASSERT_TRUE(game.Ends(0)) << "after the close request\n" << game.Output();
}

// ---- Broken pictures ----

// A copy of the game's pictures in a scratch folder, for breaking one of them.
static std::string CopyPictures(const std::string &into) {
  const std::string pix = into + "/pix";
  fs::create_directories(pix);
  for (const fs::directory_entry &e : fs::directory_iterator(std::string(kRoot) + "/pix"))
    fs::copy_file(e.path(), pix + "/" + e.path().filename().string());
  return pix;
}

static void ExpectClearFailure(const XServer &x, const std::string &cwd, const std::string &log,
                               const std::string &file) {
  Game game(x, log, cwd);
  int status = -1;
  ASSERT_TRUE(game.process().Wait(10, &status)) << "still running 10 s after start";
  const std::string out = game.Output();
  EXPECT_TRUE(WIFEXITED(status)) << Game::Describe(status) << "\n" << out;
  EXPECT_NE(WIFEXITED(status) ? WEXITSTATUS(status) : 0, 0) << "reported success\n" << out;
  EXPECT_NE(out.find("cannot load pix/" + file), std::string::npos) << out;
}

TEST_F(GameWindow, MissingOrTruncatedPictureIsNamedAndEndsTheGameWithoutACrash) {
  const std::string pix = CopyPictures(scratch.path());
  // One the scene draws on every frame, and the font, loaded last.
  for (const char *file : {"s10.bmp", "tahoma10.bmp"}) {
    SCOPED_TRACE(std::string("missing ") + file);
    const std::string saved = scratch.path() + "/saved.bmp";
    fs::rename(pix + "/" + file, saved);
    ExpectClearFailure(*x, scratch.path(), scratch.path() + "/missing.log", file);
    fs::rename(saved, pix + "/" + file);
  }
  // Cut in the header, and in the pixels.
  for (const auto &cut : {std::make_pair("skin3.bmp", 20), std::make_pair("go.bmp", -100)}) {
    SCOPED_TRACE(std::string("truncated ") + cut.first + " at " + std::to_string(cut.second));
    const std::string path = pix + "/" + cut.first;
    const auto size = static_cast<std::intmax_t>(fs::file_size(path));
    fs::resize_file(path, static_cast<std::uintmax_t>(cut.second > 0 ? cut.second : size + cut.second));
    ExpectClearFailure(*x, scratch.path(), scratch.path() + "/truncated.log", cut.first);
    fs::copy_file(std::string(kRoot) + "/pix/" + cut.first, path, fs::copy_options::overwrite_existing);
  }
}

// ---- Start-up under load ----

TEST_F(GameWindow, ShowsItsWindowOnEachOfTwentyStartsWhileACoreIsBusy) {
  // The busy loop is a child of its own, so that the guard ends it whatever happens here.
  const pid_t busy = fork();
  if (busy == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (volatile unsigned long n = 0;; n = n + 1) {
    }
  }
  Process spinner(busy);
  ASSERT_TRUE(spinner.started());
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE("start " + std::to_string(run + 1));
    Game &game = Start();
    ASSERT_TRUE(game.Open(10)) << "no window within 10 s\n" << game.Output();
    // Something a player can see: the idle frame, as the game draws it.
    EXPECT_FALSE(
        game.WaitFrame(5, [&](const Image &f) { return ReadStatus(f, *refs) == StatusLine::kNone; }).empty());
    SendCloseRequest(x->dpy(), game.win());
    ASSERT_TRUE(game.Ends(0)) << "\n" << game.Output();
  }
}

}  // namespace
}  // namespace e2e
