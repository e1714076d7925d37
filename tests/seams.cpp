// Test seams: a controllable clock and mouse that the game links against in the test programs.
#include "seams.h"

#include <cstring>

Uint32 fakeTicks = 0;
int fakeMouseX = 0, fakeMouseY = 0;
Uint8 fakeButtons = 0;

// A definition in the executable wins over SDL's, so the game's code reads these.
extern "C" Uint32 SDL_GetTicks(void) { return fakeTicks; }

extern "C" Uint8 SDL_GetMouseState(int *x, int *y) {
  if (x) *x = fakeMouseX;
  if (y) *y = fakeMouseY;
  return fakeButtons;
}

void ResetGameState() {
  fakeTicks = 0;
  done = 0;
  gameState = 0;
  butState = 0;
  antal = 4;
  stopper = 'a';
  ratt = 'a';
  tid = 0;
  tanketid = 0;
  tanketid2 = 0;
  memheight = 0;
  memheight2 = 0;
  svarsordning = 0;
  memset(kodlinje, 0, sizeof kodlinje);
  memset(svarslinje, 0, sizeof svarslinje);
}

void GameTest::SetUpTestSuite() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return;
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  ASSERT_NE(SDL_SetVideoMode(350, 300, 32, SDL_SWSURFACE), nullptr) << SDL_GetError();
}

void GameTest::SetUp() {
  ResetGameState();
  fakeMouseX = fakeMouseY = 0;
  fakeButtons = 0;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
  }
}

void GameTest::Hold(int x, int y, Uint8 buttons) {
  fakeMouseX = x;
  fakeMouseY = y;
  fakeButtons = buttons;
}

void GameTest::Release(Uint8 button) {
  SDL_Event event = {};
  event.type = SDL_MOUSEBUTTONUP;
  event.button.type = SDL_MOUSEBUTTONUP;
  event.button.button = button;
  event.button.state = SDL_RELEASED;
  event.button.x = static_cast<Uint16>(fakeMouseX);
  event.button.y = static_cast<Uint16>(fakeMouseY);
  ASSERT_EQ(SDL_PushEvent(&event), 0);
  fakeButtons &= static_cast<Uint8>(~SDL_BUTTON(button));
}

void GameTest::PushKey(SDLKey key) {
  SDL_Event event = {};
  event.type = SDL_KEYDOWN;
  event.key.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.sym = key;
  ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void GameTest::PushQuit() {
  SDL_Event event = {};
  event.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void GameTest::Pass(int ms) {
  Event();
  fakeTicks += static_cast<Uint32>(ms);
  UpDate();
}
