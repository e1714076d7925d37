// The frame as the player sees it in each state: golden frames and the layout rules they rest on.
#include <cstring>

#include "frames.h"
#include "seams.h"

namespace {

const Uint32 kEdge = 0x111111, kWhite = 0xFFFFFF, kRed = 0xFF0000;

class Scene : public GameTest {
 protected:
  static void SetUpTestSuite() {
    GameTest::SetUpTestSuite();
    display = SDL_GetVideoSurface();
    ASSERT_EQ(display->format->BitsPerPixel, 32);
    ASSERT_EQ(display->format->Rmask, 0xFF0000u);
    InitStuff();
  }

  void SetUp() override {
    GameTest::SetUp();
    for (int &slot : svarslinje) slot = 9;  // as start-up leaves it
    screen = display;
  }

  static void SetRow(int *row, std::initializer_list<int> symbols) {
    int i = 0;
    for (int s : symbols) row[i++] = s;
  }

  std::string Golden(const char *name) {
    DrawScene();
    return CompareWithGolden(screen, name);
  }

  static SDL_Surface *display;
};

SDL_Surface *Scene::display = nullptr;

// ---- Golden frames ----

TEST_F(Scene, GoldenStartUp) { EXPECT_EQ(Golden("startup"), ""); }

TEST_F(Scene, GoldenMemorise) {
  gameState = 1;
  SetRow(kodlinje, {4, 7, 1, 8, 2, 6});
  memheight = 72;
  butState = 1;
  EXPECT_EQ(Golden("memorise"), "");
}

TEST_F(Scene, GoldenAnswerWithTwoEntries) {
  gameState = 2;
  SetRow(kodlinje, {4, 7, 1, 8, 2, 6});
  SetRow(svarslinje, {4, 0, 9, 9, 9, 9});
  svarsordning = 2;
  memheight = 145;
  memheight2 = 36;
  butState = 2;
  EXPECT_EQ(Golden("answer"), "");
}

TEST_F(Scene, GoldenRightAnswer) {
  ratt = 'b';
  SetRow(kodlinje, {4, 7, 1, 8, 2, 6});
  SetRow(svarslinje, {4, 7, 1, 8, 9, 9});
  EXPECT_EQ(Golden("right"), "");
}

TEST_F(Scene, GoldenWrongAnswerShowsBothRowsWithBlanks) {
  ratt = 'c';
  antal = 5;
  SetRow(kodlinje, {4, 7, 1, 8, 2, 6});
  SetRow(svarslinje, {4, 3, 1, 9, 9, 9});
  EXPECT_EQ(Golden("wrong"), "");
}

TEST_F(Scene, GoldenPressedButtons) {
  const struct {
    int button;
    const char *name;
  } cases[] = {{1, "pressed-go"}, {2, "pressed-key2"}, {10, "pressed-key10"}, {11, "pressed-level"}};
  for (const auto &c : cases) {
    butState = c.button;
    EXPECT_EQ(Golden(c.name), "");
  }
}

TEST_F(Scene, GoldenLevelSix) {
  antal = 6;
  EXPECT_EQ(Golden("level6"), "");
}

// ---- Layout rules ----

// Where the keypad's faces and symbols stand, row by row from the top left: symbol index k is entered by
// the key drawn at kKeyFace[k], whose symbol sits 10 pixels right of and 7 below its face.
struct Point {
  int x, y;
};
const Point kKeyFace[9] = {
    {44, 140}, {99, 140}, {154, 140},  // top row
    {44, 190}, {99, 190}, {154, 190},  // middle row
    {44, 240}, {99, 240}, {154, 240},  // bottom row
};
const Point kKeySymbol[9] = {
    {54, 147}, {109, 147}, {164, 147},  // top row
    {54, 197}, {109, 197}, {164, 197},  // middle row
    {54, 247}, {109, 247}, {164, 247},  // bottom row
};

TEST_F(Scene, BarsGrowDownFromTheTopOfTheirTracks) {
  gameState = 2;
  memheight = 145;
  memheight2 = 36;
  DrawScene();
  EXPECT_TRUE(AllPixels(screen, 15, 140, 15, 145, kRed));
  EXPECT_TRUE(AllPixels(screen, 220, 140, 15, 36, kRed));
  EXPECT_TRUE(AllPixels(screen, 220, 176, 15, 109, kEdge));
}

TEST_F(Scene, ABarLongerThanItsTrackReachesBelowIt) {
  gameState = 2;
  memheight = 148;
  DrawScene();
  EXPECT_TRUE(AllPixels(screen, 15, 140, 15, 148, kRed));
  EXPECT_EQ(RgbAt(screen, 22, 288), RgbAt(skin, 22, 288));
}

TEST_F(Scene, RowsFillOnlyTheSlotsOfTheLevel) {
  gameState = 1;
  SetRow(kodlinje, {0, 1, 2, 3, 4, 5});
  for (int level : {4, 5, 6}) {
    antal = level;
    DrawScene();
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", slot " << i);
      const int x = 25 + 34 * i;
      if (i < level) {
        EXPECT_TRUE(ShowsImageAt(screen, symbolbild[kodlinje[i]], x, 25));
      } else {
        EXPECT_TRUE(AllPixels(screen, x, 25, symbolbild[0]->w, symbolbild[0]->h, kWhite));
      }
    }
  }
}

TEST_F(Scene, TheGoLabelShowsOnlyWhenIdle) {
  for (int state : {0, 1, 2, 3}) {
    SCOPED_TRACE(state);
    gameState = state;
    DrawScene();
    EXPECT_EQ(ShowsImageAt(screen, go, 109, 87), state == 0);
    if (state != 0) {
      EXPECT_TRUE(ShowsImageAt(screen, butup, 99, 80));
    }
  }
}

// Whether the top rows of a button face, above what is drawn on it, show `face`.
bool FaceTopAt(SDL_Surface *face, int x, int y, int rows) {
  for (int iy = 0; iy < rows; ++iy)
    for (int ix = 0; ix < face->w; ++ix)
      if (RgbAt(screen, x + ix, y + iy) != RgbAt(face, ix, iy)) return false;
  return true;
}

TEST_F(Scene, LaterElementsPaintOverEarlierOnes) {
  DrawScene();
  EXPECT_EQ(RgbAt(screen, 100, 30), kWhite);  // the panel over the background
  for (int k = 0; k < 9; ++k)
    EXPECT_TRUE(ShowsImageAt(screen, symbolbild[k], kKeySymbol[k].x, kKeySymbol[k].y));
  EXPECT_TRUE(ShowsImageAt(screen, go, 109, 87));  // over its button
}

TEST_F(Scene, OnlyTheButtonInButStateIsDrawnPressed) {
  for (int pressed = 0; pressed <= 11; ++pressed) {
    SCOPED_TRACE(pressed);
    butState = pressed;
    DrawScene();
    EXPECT_TRUE(FaceTopAt(pressed == 11 ? butdown : butup, 15, 80, 5));  // text starts 5 rows down
    EXPECT_TRUE(FaceTopAt(pressed == 1 ? butdown : butup, 99, 80, 7));
    for (int k = 0; k < 9; ++k) {
      EXPECT_TRUE(FaceTopAt(pressed == k + 2 ? butdown : butup, kKeyFace[k].x, kKeyFace[k].y, 7))
          << "key " << k + 2;
    }
  }
}

TEST_F(Scene, AnUnscoredRoundIsDrawnWithItsAnswerRowAndNoStatus) {
  gameState = 3;
  ratt = 'c';
  SetRow(kodlinje, {1, 1, 1, 1, 1, 1});
  SetRow(svarslinje, {6, 7, 8, 0, 9, 9});
  DrawScene();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ShowsImageAt(screen, symbolbild[svarslinje[i]], 25 + 34 * i, 25));
  // No verdict and no status text: the status line shows the background only.
  for (int x = 80; x < 180; ++x)
    for (int y = 62; y < 80; ++y) ASSERT_EQ(RgbAt(screen, x, y), RgbAt(skin, x, y)) << x << "," << y;
}

// ---- Other display formats ----

TEST_F(Scene, ColoursStayRightOnA16BitDisplay) {
  SDL_Surface *display16 = SDL_CreateRGBSurface(SDL_SWSURFACE, 350, 300, 16, 0xF800, 0x07E0, 0x001F, 0);
  ASSERT_NE(display16, nullptr);
  screen = display16;
  gameState = 2;
  memheight = 100;
  DrawScene();
  EXPECT_EQ(RgbAt(screen, 235, 30), kWhite);
  EXPECT_EQ(RgbAt(screen, 22, 150), kRed);
  EXPECT_EQ(RgbAt(screen, 22, 260), 0x101010u);  // 0x111111 at 5 and 6 bits a channel
  EXPECT_EQ(RgbAt(screen, 5, 30), 0x101010u);
  screen = display;
  SDL_FreeSurface(display16);
}

}  // namespace
