// The round as the player drives it: hit areas, the click latch, the level, the clocks and the verdict.
#include <climits>

#include "seams.h"

namespace {

struct Area {
  const char *name;
  int left, top, right, bottom;  // both bounds included
  int button;                    // the butState a press there shows from the idle state
};

const Area kAreas[] = {
    {"level", 21, 86, 69, 114, 11},   {"GO", 100, 81, 140, 121, 1},       {"key 2", 45, 141, 94, 181, 2},
    {"key 3", 100, 141, 149, 181, 3}, {"key 4", 155, 141, 204, 181, 4},   {"key 5", 45, 191, 94, 231, 5},
    {"key 6", 100, 191, 149, 231, 6}, {"key 7", 155, 191, 204, 231, 7},   {"key 8", 45, 241, 94, 281, 8},
    {"key 9", 100, 241, 149, 281, 9}, {"key 10", 155, 241, 204, 281, 10},
};

// Centre of keypad key k (2..10).
int KeyX(int k) { return 70 + 55 * ((k - 2) % 3); }
int KeyY(int k) { return 161 + 50 * ((k - 2) / 3); }

class Controls : public GameTest {
 protected:
  // butState after a single press at (x, y) from a fresh idle game.
  int PressedAt(int x, int y) {
    ResetGameState();
    Hold(x, y);
    Event();
    Release();
    const int pressed = butState;
    Event();
    return pressed;
  }

  // Starts a round with GO and lets it reach the answer phase; leaves the button released.
  void StartAnswerPhase() {
    Hold(120, 100);
    Pass();
    Release();
    Pass(4001);
    ASSERT_EQ(gameState, 2);
  }

  void Enter(int key) {
    Hold(KeyX(key), KeyY(key));
    Pass();
    Release();
    Pass();
  }
};

TEST_F(Controls, EachAreaActsOnItsEdgesAndNotOnePixelOutside) {
  for (const Area &a : kAreas) {
    SCOPED_TRACE(a.name);
    const int midX = (a.left + a.right) / 2, midY = (a.top + a.bottom) / 2;
    EXPECT_EQ(PressedAt(a.left, a.top), a.button);
    EXPECT_EQ(PressedAt(a.right, a.top), a.button);
    EXPECT_EQ(PressedAt(a.left, a.bottom), a.button);
    EXPECT_EQ(PressedAt(a.right, a.bottom), a.button);
    EXPECT_EQ(PressedAt(a.left - 1, midY), 0);
    EXPECT_EQ(PressedAt(a.right + 1, midY), 0);
    EXPECT_EQ(PressedAt(midX, a.top - 1), 0);
    EXPECT_EQ(PressedAt(midX, a.bottom + 1), 0);
  }
}

TEST_F(Controls, LevelStepsOncePerLeftClickAndWraps) {
  const int expected[] = {5, 6, 4, 5};
  for (int step : expected) {
    Hold(40, 100);
    for (int pass = 0; pass < 5; ++pass) Pass();
    EXPECT_EQ(antal, step);
    EXPECT_EQ(butState, 11);
    Release();
    Pass();
    EXPECT_EQ(butState, 0);
  }
}

TEST_F(Controls, LevelStepsInEveryPhaseWithoutChangingIt) {
  for (int state : {0, 1, 2}) {
    SCOPED_TRACE(state);
    ResetGameState();
    gameState = state;
    Hold(40, 100);
    Event();
    Release();
    Event();
    EXPECT_EQ(antal, 5);
    EXPECT_EQ(gameState, state);
  }
}

TEST_F(Controls, MiddleAndRightButtonsActButOnlyTheLeftReleaseRearms) {
  for (Uint8 button : {SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT}) {
    SCOPED_TRACE(static_cast<int>(button));
    ResetGameState();
    Hold(40, 100, SDL_BUTTON(button));
    Pass();
    EXPECT_EQ(antal, 5);
    Release(button);
    Pass();
    EXPECT_EQ(stopper, 'b');
    EXPECT_EQ(butState, 11);
    // The next left press finds the latch still consumed; only its release frees it.
    Hold(40, 100);
    Pass();
    EXPECT_EQ(antal, 5);
    Release();
    Pass();
    Hold(40, 100);
    Pass();
    EXPECT_EQ(antal, 6);
    Release();
    Pass();
  }
}

TEST_F(Controls, ReleaseOfAnotherButtonWhileLeftIsHeldFreesNothing) {
  Hold(40, 100, SDL_BUTTON(SDL_BUTTON_LEFT) | SDL_BUTTON(SDL_BUTTON_RIGHT));
  Pass();
  Release(SDL_BUTTON_RIGHT);
  Pass();
  Pass();
  EXPECT_EQ(antal, 5);
}

TEST_F(Controls, GoStartsARoundWithSixSymbolsAndLeavesTheRestAlone) {
  svarslinje[0] = 3;
  svarsordning = 4;
  ratt = 'b';
  stopper = 'b';
  for (int &slot : kodlinje) slot = -1;  // so that a slot the draw skips shows
  Hold(120, 100);
  Event();
  EXPECT_EQ(gameState, 1);
  EXPECT_EQ(butState, 1);
  for (int slot : kodlinje) {
    EXPECT_GE(slot, 0);
    EXPECT_LE(slot, 8);
  }
  EXPECT_EQ(svarslinje[0], 3);
  EXPECT_EQ(svarsordning, 4);
  EXPECT_EQ(ratt, 'b');
  EXPECT_EQ(stopper, 'b');
}

TEST_F(Controls, CodeRowsUseAllNineSymbolsInEverySlot) {
  bool seen[6][9] = {};
  for (int round = 0; round < 400; ++round) {
    gameState = 0;
    startStop();
    for (int i = 0; i < 6; ++i) seen[i][kodlinje[i]] = true;
  }
  for (auto &slot : seen)
    for (bool s : slot) EXPECT_TRUE(s);
}

TEST_F(Controls, GoHeldThroughARoundChangesNothingUntilTheRoundIsScored) {
  Hold(120, 100);
  Pass();
  int code[6];
  memcpy(code, kodlinje, sizeof code);
  butState = 0;
  for (int ms = 0; ms <= 4000; ms += 16) Pass();
  ASSERT_EQ(gameState, 2);
  EXPECT_EQ(0, memcmp(code, kodlinje, sizeof code));
  EXPECT_EQ(butState, 0);  // GO is drawn pressed only when it starts a round
  Pass(8001);
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(ratt, 'c');
  Pass();  // still held: the next pass starts the next round
  EXPECT_EQ(gameState, 1);
  EXPECT_EQ(butState, 1);
}

TEST_F(Controls, OneHeldPressEntersOneSymbolAndDraggingOnlyMovesThePressedLook) {
  StartAnswerPhase();
  Hold(KeyX(4), KeyY(4));
  Pass();
  Hold(KeyX(9), KeyY(9));
  Pass();
  EXPECT_EQ(svarsordning, 1);
  EXPECT_EQ(svarslinje[0], 2);
  EXPECT_EQ(svarslinje[1], 9);
  EXPECT_EQ(butState, 9);
  Hold(300, 20);  // off the keypad: the last key stays drawn pressed
  Pass();
  EXPECT_EQ(butState, 9);
  Release();
  Pass();
  EXPECT_EQ(butState, 0);
  Enter(10);
  EXPECT_EQ(svarslinje[1], 8);
}

TEST_F(Controls, KeysOutsideTheAnswerPhaseShowPressedButStoreNothing) {
  for (int state : {0, 1}) {
    ResetGameState();
    gameState = state;
    svarslinje[0] = 9;
    Hold(KeyX(6), KeyY(6));
    Event();
    EXPECT_EQ(butState, 6);
    EXPECT_EQ(svarslinje[0], 9);
    EXPECT_EQ(svarsordning, 0);
    EXPECT_EQ(stopper, 'a');
  }
}

TEST_F(Controls, AKeyHeldIntoTheAnswerPhaseEntersItsSymbolOnTheNextPass) {
  Hold(120, 100);
  Pass();
  Release();
  Pass();
  ASSERT_EQ(tanketid, 32);
  Hold(KeyX(3), KeyY(3));
  Pass(3968);
  ASSERT_EQ(gameState, 1);
  Pass(1);  // the memorise phase ends in this pass's UpDate
  ASSERT_EQ(gameState, 2);
  EXPECT_EQ(svarsordning, 0);
  Pass();
  EXPECT_EQ(svarsordning, 1);
  EXPECT_EQ(svarslinje[0], 1);
}

TEST_F(Controls, QuitAndEscapeEndTheGameButTheHeldControlStillActs) {
  Hold(40, 100);
  PushQuit();
  Pass();
  EXPECT_EQ(done, 1);
  EXPECT_EQ(antal, 5);

  ResetGameState();
  PushKey(SDLK_a);
  Pass();
  EXPECT_EQ(done, 0);
  PushKey(SDLK_ESCAPE);
  Pass();
  EXPECT_EQ(done, 1);
}

// The pointer rests on a control, but no button is held when the pass samples the mouse.
TEST_F(Controls, APressAndReleaseBetweenTwoPassesOnlyFreesTheLatch) {
  stopper = 'b';
  butState = 5;
  fakeMouseX = 40;
  fakeMouseY = 100;
  Release();
  Pass();
  EXPECT_EQ(antal, 4);
  EXPECT_EQ(stopper, 'a');
  EXPECT_EQ(butState, 0);
  Hold(120, 100, 0);
  Pass();
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(butState, 0);
}

// ---- Round clock and scoring ----

class Round : public Controls {};

TEST_F(Round, MemorisePhaseEndsOnlyAfterMoreThan4000Ms) {
  gameState = 1;
  Pass(4000);
  EXPECT_EQ(gameState, 1);
  EXPECT_EQ(tanketid, 4000);
  EXPECT_EQ(memheight, 145);
  Pass(1);
  EXPECT_EQ(gameState, 2);
  EXPECT_EQ(tanketid, 0);
  EXPECT_EQ(memheight, 145);  // kept through the answer phase
  EXPECT_EQ(tanketid2, 1);    // the ending pass's time also starts the answer clock
  for (int slot : svarslinje) EXPECT_EQ(slot, 9);
}

TEST_F(Round, AnswerPhaseEndsOnlyAfterMoreThan8000Ms) {
  gameState = 2;
  for (int &slot : svarslinje) slot = 9;
  Pass(8000);
  EXPECT_EQ(gameState, 2);
  EXPECT_EQ(memheight2, 145);
  Pass(1);
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(ratt, 'c');
}

TEST_F(Round, BarLengths) {
  const struct {
    int ms, memorise, answer;
  } rows[] = {{16, 0, 0}, {2000, 72, 36}, {4000, 145, 72}, {4016, 145, 72}, {4100, 148, 74}};
  for (const auto &row : rows) {
    ResetGameState();
    gameState = 1;
    tanketid2 = -8000;  // keeps the answer phase open so that the memorise bar can be read
    Pass(row.ms);
    EXPECT_EQ(memheight, row.memorise) << row.ms;
    ResetGameState();
    gameState = 2;
    Pass(row.ms);
    EXPECT_EQ(memheight2, row.answer) << row.ms;
  }
  ResetGameState();
  gameState = 1;
  Pass(4027);
  EXPECT_EQ(memheight, 145);
  ResetGameState();
  gameState = 1;
  Pass(4028);
  EXPECT_EQ(memheight, 146);
}

TEST_F(Round, OneVeryLongPassInTheMemorisePhaseScoresTheRoundAtOnce) {
  gameState = 1;
  Pass(8002);
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(ratt, 'c');
  EXPECT_EQ(memheight, 0);
  EXPECT_EQ(memheight2, 0);
  EXPECT_EQ(tanketid, 0);
  EXPECT_EQ(tanketid2, 0);
}

TEST_F(Round, TheMemoriseBarOfAPassOfOverFourHoursDoesNotOverflow) {
  gameState = 1;
  tanketid2 = -1000000000;  // holds the answer phase open so that the bar can be read after the pass
  Pass(15000000);
  ASSERT_EQ(gameState, 2);
  EXPECT_EQ(memheight, 543750);  // 15,000,000 × 145 / 4000, past what 32 bits hold mid-way
}

TEST_F(Round, TimeInTheIdleStateIsDropped) {
  Pass(60000);
  Hold(120, 100);
  Pass(16);
  EXPECT_EQ(gameState, 1);
  EXPECT_EQ(tanketid, 16);
}

TEST_F(Round, TheTickCounterWrappingDoesNotDisturbTheClock) {
  fakeTicks = 0xFFFFFFF0u;
  tid = static_cast<int>(fakeTicks);
  gameState = 1;
  Pass(32);
  EXPECT_EQ(tanketid, 32);
}

TEST_F(Round, RightSymbolsInOrderAreCorrectAndAnythingElseIsWrong) {
  const int code[6] = {3, 0, 8, 3, 5, 7};
  const struct {
    const char *what;
    int entries[4];
    char verdict;
  } cases[] = {
      {"right", {3, 0, 8, 3}, 'b'}, {"one wrong", {3, 0, 8, 4}, 'c'}, {"reordered", {0, 3, 8, 3}, 'c'}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ResetGameState();
    StartAnswerPhase();
    memcpy(kodlinje, code, sizeof code);
    for (int symbolIndex : c.entries) Enter(symbolIndex + 2);
    EXPECT_EQ(gameState, 0);
    EXPECT_EQ(ratt, c.verdict);
    EXPECT_EQ(svarsordning, 4);
    EXPECT_EQ(0, memcmp(kodlinje, code, sizeof code));  // both rows stay for the wrong-answer screen
    EXPECT_EQ(svarslinje[0], c.entries[0]);
    EXPECT_EQ(svarslinje[4], 9);
  }
}

TEST_F(Round, TheLastEntryEndsThePhaseAtOnceAtEveryLevel) {
  for (int level : {4, 5, 6}) {
    ResetGameState();
    antal = level;
    StartAnswerPhase();
    for (int i = 0; i < level - 1; ++i) Enter(2);
    EXPECT_EQ(gameState, 2);
    Hold(KeyX(2), KeyY(2));
    Event();
    EXPECT_EQ(gameState, 3);
    UpDate();
    EXPECT_EQ(gameState, 0);
    Release();
    Pass();
  }
}

TEST_F(Round, ATimeOutWithRightButTooFewEntriesIsWrong) {
  StartAnswerPhase();
  for (int i = 0; i < 3; ++i) Enter(kodlinje[i] + 2);
  Pass(8000);
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(ratt, 'c');
  EXPECT_EQ(svarslinje[3], 9);
}

TEST_F(Round, LoweringTheLevelMidAnswerScoresAllSixSlotsAgainstTheNewLevel) {
  antal = 6;
  StartAnswerPhase();
  const int code[6] = {0, 1, 2, 3, 4, 5};
  memcpy(kodlinje, code, sizeof code);
  for (int k : {2, 3, 4, 10, 6}) Enter(k);  // right, right, right, wrong, right
  EXPECT_EQ(svarsordning, 5);
  antal = 4;
  Pass();
  EXPECT_EQ(gameState, 2);  // lowering the level does not end the phase by itself
  Enter(7);                 // the next entry does, into the sixth slot, and is right
  EXPECT_EQ(svarslinje[5], 5);
  // Five of six slots match: enough for four. Within the first four slots only three do.
  EXPECT_EQ(ratt, 'b');
}

TEST_F(Round, RaisingTheLevelMidAnswerAsksForMoreEntries) {
  StartAnswerPhase();
  for (int i = 0; i < 3; ++i) Enter(kodlinje[i] + 2);
  Hold(40, 100);
  Pass();
  Release();
  Pass();
  ASSERT_EQ(antal, 5);
  Enter(kodlinje[3] + 2);
  EXPECT_EQ(gameState, 2);
  Enter(kodlinje[4] + 2);
  EXPECT_EQ(gameState, 0);
  EXPECT_EQ(ratt, 'b');
}

TEST_F(Round, AVerdictLastsThroughTheNextRoundUntilItIsScored) {
  StartAnswerPhase();
  for (int i = 0; i < 4; ++i) Enter(kodlinje[i] + 2);
  ASSERT_EQ(ratt, 'b');
  StartAnswerPhase();
  EXPECT_EQ(ratt, 'b');
  Pass(8001);
  EXPECT_EQ(ratt, 'c');
}

}  // namespace
