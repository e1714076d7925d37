// Test seams: the test program's own millisecond clock and mouse, plus a fixture that resets the game.
#ifndef GLIMTRA_TESTS_SEAMS_H
#define GLIMTRA_TESTS_SEAMS_H

#include <gtest/gtest.h>

#include "main.h"

// What SDL_GetTicks and SDL_GetMouseState return to the game while a test runs.
extern Uint32 fakeTicks;
extern int fakeMouseX, fakeMouseY;
extern Uint8 fakeButtons;

// Puts every shared variable back to its value at program load, and the test clock back to 0.
void ResetGameState();

// Starts SDL's video on the dummy driver once per test program and resets the game before each test.
class GameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;

  // Holds the given button mask at (x, y) from now on.
  static void Hold(int x, int y, Uint8 buttons = SDL_BUTTON(SDL_BUTTON_LEFT));
  // Releases mouse button `button`: queues its release event and clears it from the held mask.
  static void Release(Uint8 button = SDL_BUTTON_LEFT);
  static void PushKey(SDLKey key);
  static void PushQuit();
  // One pass of the frame loop without the drawing: Event, then UpDate after `ms` milliseconds.
  static void Pass(int ms = 16);
};

#endif
