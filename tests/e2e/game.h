// The game as a player meets it in an X server: where its controls are, what its screen says, a fixture.
#ifndef GLIMTRA_TESTS_E2E_GAME_H
#define GLIMTRA_TESTS_E2E_GAME_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// ---- Layout, in window pixels ----

struct Point {
  int x, y;
};
constexpr int kWidth = 350, kHeight = 300;
constexpr Point kGoFace = {99, 80}, kGoCentre = {120, 101};
constexpr Point kLevelFace = {15, 80}, kLevelCentre = {45, 100};
// Keypad key for symbol s (0..8): its face and the middle of its hit area.
inline Point KeyFace(int s) { return {44 + 55 * (s % 3), 140 + 50 * (s / 3)}; }
inline Point KeyCentre(int s) { return {45 + 55 * (s % 3) + 25, 141 + 50 * (s / 3) + 20}; }
inline int SlotX(int i) { return 25 + 34 * i; }
constexpr int kRowY = 25, kWrongCodeRowY = 2, kWrongAnswerRowY = 32;
constexpr int kBlank = 9;  // symbol index of s10.bmp, the empty answer slot

// ---- What the screen says ----

// The game's own pictures from pix/.
struct Pictures {
  Image symbol[10];
  Image butup, butdown;
};

// Frames drawn in-process by the game's own DrawScene on SDL's dummy driver.
struct References {
  Image startup, memorise, answer, right, wrong;
  Image level[7];  // level[4..6]: the idle frame at that level
};

enum class StatusLine { kNone, kMemorise, kAnswer, kRight, kWrong, kOther };
const char *Name(StatusLine status);

// The status line under the row panel, judged against the in-process frames.
StatusLine ReadStatus(const Image &frame, const References &refs);
// Symbol index 0..9 whose picture sits at (x, y), or -1.
int ReadSymbol(const Image &frame, const Pictures &pics, int x, int y);
std::vector<int> ReadRow(const Image &frame, const Pictures &pics, int y, int length);
// The level digit on the Nivå button, 4..6, or 0 if it shows none of them.
int ReadLevel(const Image &frame, const References &refs);
// Whether the button face at `face` is drawn pressed.
bool ShowsPressed(const Image &frame, const Pictures &pics, Point face);
bool ShowsReleased(const Image &frame, const Pictures &pics, Point face);

// ---- One run of the real game ----

class Game {
 public:
  // Starts `prefix` + `program` (build/glimtra, or e.g. an installed launcher) in `cwd` on the server's
  // display, output into `log`.
  Game(const XServer &x, const std::string &log, const std::string &cwd = kRoot,
       const std::vector<std::string> &prefix = {}, const std::string &program = kGameBinary);
  // Waits for the window and its first frame, the idle scene; false if either never showed. The window
  // is mapped before the first frame is presented, which may take seconds more (shaders are compiled
  // then), and the round clock runs meanwhile: a round started before would pass unseen.
  bool Open(double seconds = 10);

  Window win() const { return win_; }
  // How many times larger than 350x300 the window is, as Open found it.
  int scale() const { return scale_; }
  Process &process() { return proc_; }
  std::string Output() const { return ReadFile(log_); }
  // What the window shows, in game pixels: one pixel of each scale by scale block.
  Image Frame() const { return Shrink(Capture(dpy_, win_), scale_); }

  // The first frame within `seconds` that `pred` accepts, or an empty image.
  template <class Pred>
  Image WaitFrame(double seconds, Pred pred) const {
    const double end = Now() + seconds;
    for (;;) {
      Image f = Frame();
      if (!f.empty() && pred(f)) return f;
      if (Now() > end) return Image();
      Pause();
    }
  }
  Image WaitStatus(StatusLine status, double seconds) const;

  // A left click as a player makes it, at `at` in game pixels (the middle of its block on a scaled
  // window): press, hold until the game draws `face` pressed (then `hold` seconds more), release, and wait
  // until it is drawn released again. False if either never shows. `pressedSeen`, when given, receives
  // the time the pressed face was first seen.
  bool Click(Point at, Point face, double hold = 0, double seconds = 5, double *pressedSeen = nullptr) const;
  // GO is drawn pressed in the first frame of the round it starts.
  bool ClickGo(double seconds = 5, double *roundSeen = nullptr) const {
    return Click(kGoCentre, kGoFace, 0, seconds, roundSeen);
  }
  bool ClickLevel(double hold = 0) const { return Click(kLevelCentre, kLevelFace, hold); }
  bool ClickKey(int s, double seconds = 5) const { return Click(KeyCentre(s), KeyFace(s), 0, seconds); }
  void TapKey(unsigned long keysym) const;
  // Exit status text for messages.
  static std::string Describe(int status);
  // Whether the game ends within `seconds` with exit status `code`; if not, the failure says how it ended.
  ::testing::AssertionResult Ends(int code, double seconds = 5);

  const Pictures *pics = nullptr;
  const References *refs = nullptr;

 private:
  static void Pause();
  Display *dpy_;
  Process proc_;
  std::string log_;
  Window win_ = 0;
  int scale_ = 1;
};

// ---- Fixture ----

// Each test gets an X server of its own; pictures and expected frames are read once per test program.
class E2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  // After a failure: each game's output into the test log, and the whole screen under frames/.
  void TearDown() override;

  // Replaces this test's X server with one whose screen is `width` by `height`; before any Start.
  void UseScreen(int width, int height);
  // Starts the game on this test's server; the pointer to it stays valid for the test.
  Game &Start(const std::string &cwd = kRoot, const std::vector<std::string> &prefix = {},
              const std::string &program = kGameBinary);
  // GO, the row of four read off the screen while it is shown (kept as frames/<test>-<name>.bmp), then the
  // answer phase; empty if any of it never showed.
  std::vector<int> StartRoundOfFour(Game &game, const std::string &name);
  // A right round of four, then a wrong one (right but for the last symbol), played with real clicks and
  // read off the screen, the verdicts kept as frames; fails the test where any of it does not show.
  void PlayARightAndAWrongRound(Game &game);
  // Keeps a frame for a person to look at: frames/<test>-<what>.bmp under the test's working directory.
  static void Keep(const Image &frame, const std::string &what);
  static std::string FrameName(const std::string &what);

  static Pictures *pics;
  static References *refs;
  std::unique_ptr<XServer> x;
  ScratchDir scratch;

 private:
  std::vector<std::unique_ptr<Game>> games_;
};

}  // namespace e2e

#endif
