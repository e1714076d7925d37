// The game as a player meets it: reading its screen against the in-process frames, clicking its controls.
#include "game.h"

#include <X11/keysym.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace e2e {

// The status line: "Memorera!" starts at x 85, the others a little right of it; the button row starts at
// y 80 and the row panel ends at y 61.
static const int kStatusX = 80, kStatusY = 62, kStatusW = 130, kStatusH = 17;
// Inside the Nivå button, around the digit at (20, 100), clear of the label above it.
static const int kDigitX = 16, kDigitY = 98, kDigitW = 46, kDigitH = 20;

const char *Name(StatusLine status) {
  switch (status) {
    case StatusLine::kNone:
      return "no status";
    case StatusLine::kMemorise:
      return "Memorera!";
    case StatusLine::kAnswer:
      return "Skriv in!";
    case StatusLine::kRight:
      return "R\xC3\xA4tt svar!";
    case StatusLine::kWrong:
      return "Fel svar!";
    case StatusLine::kOther:
      break;
  }
  return "something else";
}

static bool SameStatusLine(const Image &a, const Image &b) {
  return CountDifferences(a, b, kStatusX, kStatusY, kStatusW, kStatusH) == 0;
}

StatusLine ReadStatus(const Image &frame, const References &refs) {
  if (SameStatusLine(frame, refs.memorise)) return StatusLine::kMemorise;
  if (SameStatusLine(frame, refs.answer)) return StatusLine::kAnswer;
  if (SameStatusLine(frame, refs.right)) return StatusLine::kRight;
  if (SameStatusLine(frame, refs.wrong)) return StatusLine::kWrong;
  if (SameStatusLine(frame, refs.startup)) return StatusLine::kNone;
  return StatusLine::kOther;
}

int ReadSymbol(const Image &frame, const Pictures &pics, int x, int y) {
  for (int s = 0; s < 10; ++s)
    if (ShowsSprite(frame, pics.symbol[s], x, y)) return s;
  return -1;
}

std::vector<int> ReadRow(const Image &frame, const Pictures &pics, int y, int length) {
  std::vector<int> row;
  for (int i = 0; i < length; ++i) row.push_back(ReadSymbol(frame, pics, SlotX(i), y));
  return row;
}

int ReadLevel(const Image &frame, const References &refs) {
  for (int level = 4; level <= 6; ++level)
    if (CountDifferences(frame, refs.level[level], kDigitX, kDigitY, kDigitW, kDigitH) == 0) return level;
  return 0;
}

// Judged on the pixels where the two faces differ, so that the label or symbol drawn on top is no matter.
static bool ShowsFace(const Image &frame, const Image &face, const Image &other, Point at) {
  int differing = 0, matching = 0;
  for (int j = 0; j < face.h && at.y + j < frame.h; ++j) {
    for (int i = 0; i < face.w && at.x + i < frame.w; ++i) {
      if (face.at(i, j) == other.at(i, j)) continue;
      ++differing;
      matching += frame.at(at.x + i, at.y + j) == face.at(i, j);
    }
  }
  return differing > 0 && matching * 2 > differing;
}

bool ShowsPressed(const Image &frame, const Pictures &pics, Point face) {
  return ShowsFace(frame, pics.butdown, pics.butup, face);
}

bool ShowsReleased(const Image &frame, const Pictures &pics, Point face) {
  return ShowsFace(frame, pics.butup, pics.butdown, face);
}

// ---- Game ----

Game::Game(const XServer &x, const std::string &log, const std::string &cwd,
           const std::vector<std::string> &prefix, const std::string &program)
    : dpy_(x.dpy()), log_(log) {
  Launch launch;
  launch.argv = prefix;
  launch.argv.push_back(program);
  launch.env = PlayerEnvironment(x.name());
  launch.cwd = cwd;
  launch.output = log;
  proc_ = Spawn(launch);
}

bool Game::Open(double seconds) {
  const double end = Now() + seconds;
  win_ = FindWindow(dpy_, "Glimtra", seconds);
  if (!win_) return false;
  XWindowAttributes a;
  if (XGetWindowAttributes(dpy_, win_, &a) && a.width >= 2 * kWidth) scale_ = a.width / kWidth;
  return !WaitFrame(end - Now(), [&](const Image &f) {
            return ReadStatus(f, *refs) == StatusLine::kNone;
          }).empty();
}

void Game::Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

Image Game::WaitStatus(StatusLine status, double seconds) const {
  return WaitFrame(seconds, [&](const Image &f) { return ReadStatus(f, *refs) == status; });
}

bool Game::Click(Point at, Point face, double hold, double seconds, double *pressedSeen) const {
  // As a hand does, the pointer comes from beside the control: a pointer that is already there when the
  // window opens sends no motion, and SDL 3 does not know where it is until it moves.
  const int x = at.x * scale_ + scale_ / 2, y = at.y * scale_ + scale_ / 2;
  MovePointer(dpy_, win_, x + 1, y + 1);
  MovePointer(dpy_, win_, x, y);
  SetButton(dpy_, 1, true);
  const bool pressed =
      !WaitFrame(seconds, [&](const Image &f) { return ShowsPressed(f, *pics, face); }).empty();
  if (pressedSeen) *pressedSeen = Now();
  if (hold > 0) std::this_thread::sleep_for(std::chrono::duration<double>(hold));
  SetButton(dpy_, 1, false);
  const bool released =
      !WaitFrame(seconds, [&](const Image &f) { return ShowsReleased(f, *pics, face); }).empty();
  return pressed && released;
}

void Game::TapKey(unsigned long keysym) const {
  // Key events go to the window under the pointer when no window manager has set a focus.
  MovePointer(dpy_, win_, kWidth / 2 * scale_, (kHeight - 10) * scale_);
  SetKey(dpy_, keysym, true);
  SetKey(dpy_, keysym, false);
}

std::string Game::Describe(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

::testing::AssertionResult Game::Ends(int code, double seconds) {
  int status = -1;
  if (!proc_.Wait(seconds, &status))
    return ::testing::AssertionFailure() << "still running " << seconds << " s later";
  if (WIFEXITED(status) && WEXITSTATUS(status) == code) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Describe(status) << ", not exit status " << code;
}

// ---- Fixture ----

Pictures *E2eTest::pics = nullptr;
References *E2eTest::refs = nullptr;

void E2eTest::SetUpTestSuite() {
  pics = new Pictures;
  const std::string pix = std::string(kRoot) + "/pix/";
  for (int s = 0; s < 10; ++s) pics->symbol[s] = LoadBmp(pix + "s" + std::to_string(s + 1) + ".bmp");
  pics->butup = LoadBmp(pix + "butup.bmp");
  pics->butdown = LoadBmp(pix + "butdown.bmp");

  // The expected frames come from the game's own renderer, run on the dummy driver in a process of its own.
  refs = new References;
  ScratchDir out;
  Launch launch;
  launch.argv = {kReferenceTool, out.path()};
  launch.env = PlayerEnvironment("");
  launch.env.push_back("SDL_VIDEODRIVER=dummy");
  launch.cwd = kRoot;
  Process renderer = Spawn(launch);
  int status = -1;
  if (!renderer.Wait(30, &status) || status != 0) return;
  refs->startup = LoadBmp(out.path() + "/startup.bmp");
  refs->memorise = LoadBmp(out.path() + "/memorise.bmp");
  refs->answer = LoadBmp(out.path() + "/answer.bmp");
  refs->right = LoadBmp(out.path() + "/right.bmp");
  refs->wrong = LoadBmp(out.path() + "/wrong.bmp");
  refs->level[4] = refs->startup;
  refs->level[5] = LoadBmp(out.path() + "/level5.bmp");
  refs->level[6] = LoadBmp(out.path() + "/level6.bmp");
}

void E2eTest::TearDownTestSuite() {
  delete pics;
  delete refs;
  pics = nullptr;
  refs = nullptr;
}

void E2eTest::SetUp() {
  for (int s = 0; s < 10; ++s) ASSERT_FALSE(pics->symbol[s].empty()) << "pix/s" << s + 1 << ".bmp unreadable";
  ASSERT_FALSE(pics->butup.empty() || pics->butdown.empty()) << "pix/butup.bmp or butdown.bmp unreadable";
  ASSERT_FALSE(refs->startup.empty() || refs->wrong.empty() || refs->level[6].empty())
      << "the in-process renderer " << kReferenceTool << " gave no frames";
  ASSERT_FALSE(scratch.path().empty());
  x = std::make_unique<XServer>();
  ASSERT_TRUE(x->ok()) << "Xvfb did not start";
}

void E2eTest::UseScreen(int width, int height) {
  x = std::make_unique<XServer>(width, height);
  ASSERT_TRUE(x->ok()) << "Xvfb did not start with a " << width << "x" << height << " screen";
}

void E2eTest::TearDown() {
  if (!HasFailure()) return;
  for (size_t i = 0; i < games_.size(); ++i)
    printf("---- output of game %zu ----\n%s---- end of game %zu ----\n", i, games_[i]->Output().c_str(), i);
  if (x && x->ok()) {
    Keep(Capture(x->dpy(), DefaultRootWindow(x->dpy())), "screen");
    printf("the screen at the failure: %s/frames/%s\n", std::filesystem::current_path().c_str(),
           FrameName("screen").c_str());
  }
}

Game &E2eTest::Start(const std::string &cwd, const std::vector<std::string> &prefix,
                     const std::string &program) {
  const std::string log = scratch.path() + "/game" + std::to_string(games_.size()) + ".log";
  games_.push_back(std::make_unique<Game>(*x, log, cwd, prefix, program));
  games_.back()->pics = pics;
  games_.back()->refs = refs;
  return *games_.back();
}

std::vector<int> E2eTest::StartRoundOfFour(Game &game, const std::string &name) {
  if (!game.ClickGo()) return {};
  const Image shown = game.WaitStatus(StatusLine::kMemorise, 3);
  Keep(shown.empty() ? game.Frame() : shown, name);
  if (shown.empty()) return {};
  std::vector<int> code = ReadRow(shown, *pics, kRowY, 4);
  for (int s : code)
    if (s < 0 || s >= 9) return {};
  if (game.WaitStatus(StatusLine::kAnswer, 6).empty()) return {};
  return code;
}

void E2eTest::PlayARightAndAWrongRound(Game &game) {
  std::vector<int> code = StartRoundOfFour(game, "memorise");
  ASSERT_EQ(code.size(), 4u) << "no row of four symbols, then the answer phase, after GO: "
                             << Name(ReadStatus(game.Frame(), *refs));
  for (int s : code) ASSERT_TRUE(game.ClickKey(s)) << "key " << s + 2 << " never drawn pressed and released";
  const Image right = game.WaitStatus(StatusLine::kRight, 3);
  Keep(right.empty() ? game.Frame() : right, "right");
  ASSERT_FALSE(right.empty()) << "no \"R\xC3\xA4tt svar!\": " << Name(ReadStatus(game.Frame(), *refs));

  // Right but for the last symbol: the verdict, and the row asked for above the one entered.
  code = StartRoundOfFour(game, "memorise-again");
  ASSERT_EQ(code.size(), 4u) << "no second round after GO: " << Name(ReadStatus(game.Frame(), *refs));
  std::vector<int> answer = code;
  answer.back() = (answer.back() + 1) % 9;
  for (int s : answer) ASSERT_TRUE(game.ClickKey(s)) << "key " << s + 2 << " never drawn pressed";
  const Image wrong = game.WaitStatus(StatusLine::kWrong, 3);
  Keep(wrong.empty() ? game.Frame() : wrong, "wrong");
  ASSERT_FALSE(wrong.empty()) << "no \"Fel svar!\": " << Name(ReadStatus(game.Frame(), *refs));
  EXPECT_EQ(ReadRow(wrong, *pics, kWrongCodeRowY, 4), code);
  EXPECT_EQ(ReadRow(wrong, *pics, kWrongAnswerRowY, 4), answer);
}

std::string E2eTest::FrameName(const std::string &what) {
  const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(t->test_suite_name()) + "." + t->name() + "-" + what + ".bmp";
}

void E2eTest::Keep(const Image &frame, const std::string &what) {
  mkdir("frames", 0755);
  SaveBmp(frame, "frames/" + FrameName(what));
}

}  // namespace e2e
