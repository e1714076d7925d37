// Whole rounds of the real game in an X server, played by reading the code row off the screen.
#include <algorithm>

#include "game.h"

namespace e2e {
namespace {

using PlayedRound = E2eTest;

std::string Text(const std::vector<int> &row) {
  std::string s;
  for (int v : row) s += (s.empty() ? "" : " ") + std::to_string(v);
  return s;
}

// Sets the level with the Nivå button, presses GO and reads the code row while it is shown. `started`, when
// given, receives the time the round's first frame was seen.
std::vector<int> StartRound(Game &game, const Pictures &pics, int level, double *started = nullptr) {
  for (int l = 4; l < level; ++l)
    if (!game.ClickLevel()) return {};
  if (!game.ClickGo(5, started)) return {};
  const Image shown = game.WaitStatus(StatusLine::kMemorise, 3);
  if (shown.empty()) return {};
  std::vector<int> code = ReadRow(shown, pics, kRowY, level);
  // Only the level's slots are filled; the next one shows the panel.
  if (level < 6 && ReadSymbol(shown, pics, SlotX(level), kRowY) != -1) return {};
  return code;
}

bool AllSymbols(const std::vector<int> &row) {
  return std::all_of(row.begin(), row.end(), [](int s) { return s >= 0 && s < 9; });
}

TEST_F(PlayedRound, EnteredRightAtLevelSixSaysRattSvarAndClearsTheRows) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  const std::vector<int> code = StartRound(game, *pics, 6);
  ASSERT_EQ(code.size(), 6u) << "no code row of six symbols on screen";
  ASSERT_TRUE(AllSymbols(code)) << Text(code);

  const Image answering = game.WaitStatus(StatusLine::kAnswer, 6);
  ASSERT_FALSE(answering.empty()) << "the answer phase never began";
  EXPECT_EQ(ReadRow(answering, *pics, kRowY, 6), std::vector<int>(6, kBlank))
      << "the answer row starts blank";
  // One symbol per click, shown in its slot as it goes.
  std::vector<int> entered(6, kBlank);
  for (size_t i = 0; i + 1 < code.size(); ++i) {
    ASSERT_TRUE(game.ClickKey(code[i])) << "key " << code[i] + 2 << " never drawn pressed and released";
    entered[i] = code[i];
    const Image f = game.Frame();
    ASSERT_EQ(ReadRow(f, *pics, kRowY, 6), entered) << "after click " << i + 1;
  }
  ASSERT_TRUE(game.ClickKey(code.back()));

  const Image verdict = game.WaitStatus(StatusLine::kRight, 3);
  Keep(verdict.empty() ? game.Frame() : verdict, "verdict");
  ASSERT_FALSE(verdict.empty()) << "no \"R\xC3\xA4tt svar!\" for " << Text(code) << ": "
                                << Name(ReadStatus(game.Frame(), *refs));
  for (int y : {kWrongCodeRowY, kRowY, kWrongAnswerRowY})
    EXPECT_EQ(ReadRow(verdict, *pics, y, 6), std::vector<int>(6, -1)) << "a row is left at y " << y;
}

TEST_F(PlayedRound, EnteredWrongSaysFelSvarWithTheCodeAboveTheEntry) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  const std::vector<int> code = StartRound(game, *pics, 4);
  ASSERT_EQ(code.size(), 4u);
  ASSERT_TRUE(AllSymbols(code)) << Text(code);
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 6).empty()) << "the answer phase never began";

  // Right but for the last symbol.
  std::vector<int> answer = code;
  answer.back() = (answer.back() + 1) % 9;
  for (int s : answer) ASSERT_TRUE(game.ClickKey(s));

  const Image verdict = game.WaitStatus(StatusLine::kWrong, 3);
  Keep(verdict.empty() ? game.Frame() : verdict, "verdict");
  ASSERT_FALSE(verdict.empty()) << "no \"Fel svar!\" for " << Text(answer) << " against " << Text(code);
  EXPECT_EQ(ReadRow(verdict, *pics, kWrongCodeRowY, 4), code);
  EXPECT_EQ(ReadRow(verdict, *pics, kWrongAnswerRowY, 4), answer);
}

TEST_F(PlayedRound, LeftAloneEndsAfterFourPlusEightSecondsAsFelSvarWithBlankSlots) {
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  double started = 0;
  const std::vector<int> code = StartRound(game, *pics, 5, &started);
  ASSERT_EQ(code.size(), 5u);
  ASSERT_TRUE(AllSymbols(code)) << Text(code);

  // Each phase is timed between the frames that begin it and the next one, as they are seen: a busy
  // machine delays both sightings alike, and what is left is the game's own phase length.
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 10).empty()) << "the answer phase never began";
  const double answering = Now();
  const Image verdict = game.WaitStatus(StatusLine::kWrong, 14);
  const double ended = Now();
  Keep(verdict.empty() ? game.Frame() : verdict, "verdict");
  ASSERT_FALSE(verdict.empty()) << "no \"Fel svar!\" within 14 s of \"Skriv in!\"";
  const double memorise = answering - started, answer = ended - answering;
  EXPECT_GT(memorise, 3.5);
  EXPECT_LT(memorise, 4.9);
  EXPECT_GT(answer, 7.5);
  EXPECT_LT(answer, 8.9);
  EXPECT_EQ(ReadRow(verdict, *pics, kWrongCodeRowY, 5), code);
  EXPECT_EQ(ReadRow(verdict, *pics, kWrongAnswerRowY, 5), std::vector<int>(5, kBlank));
}

// On a 4K desktop the window is twice the size; the player clicks where the controls are shown, and
// sdl12-compat hands the game its own pixels.
TEST_F(PlayedRound, AtTwiceTheSizeOnA4kDesktopClicksLandWhereTheControlsShow) {
  UseScreen(3840, 2160);
  Game &game = Start();
  ASSERT_TRUE(game.Open()) << game.Output();
  ASSERT_EQ(game.scale(), 2);
  const std::vector<int> code = StartRound(game, *pics, 5);
  ASSERT_EQ(code.size(), 5u) << "no code row of five symbols after the Niv\xC3\xA5 button and GO";
  ASSERT_TRUE(AllSymbols(code)) << Text(code);
  ASSERT_FALSE(game.WaitStatus(StatusLine::kAnswer, 6).empty()) << "the answer phase never began";
  for (int s : code) ASSERT_TRUE(game.ClickKey(s)) << "key " << s + 2 << " never drawn pressed and released";
  const Image verdict = game.WaitStatus(StatusLine::kRight, 3);
  Keep(verdict.empty() ? game.Frame() : verdict, "verdict");
  ASSERT_FALSE(verdict.empty()) << "no \"R\xC3\xA4tt svar!\" for " << Text(code);

  SendCloseRequest(x->dpy(), game.win());
  ASSERT_TRUE(game.Ends(0)) << "after the close request";
}

}  // namespace
}  // namespace e2e
