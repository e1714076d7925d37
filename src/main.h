// The game's shared state and functions, declared once for the entry point, the tests and the benchmarks.
#ifndef GLIMTRA_MAIN_H
#define GLIMTRA_MAIN_H

#include <SDL.h>

#include "pkfont.h"

// Display and images, loaded once at start-up and kept for the life of the process.
extern SDL_Surface *screen;          // the window's surface; every frame is drawn here
extern SDL_Surface *ikon;            // the window icon
extern SDL_Surface *butup;           // released button face
extern SDL_Surface *butdown;         // pressed button face
extern SDL_Surface *symbolbild[10];  // symbols 0..8, and 9 the blank of an empty answer slot
extern SDL_Surface *go;              // the GO label
extern SDL_Surface *skin;            // the window background
extern SDL_Surface *sdl;             // the SDL badge
extern SDL_Surface *logo;            // the wordmark
extern SDL_Surface *tolm;            // the corner badge
extern PKFont text10;                // the game's one font

// Round and controls.
extern int done;           // quit flag: ends the frame loop after the current pass
extern int gameState;      // 0 idle, 1 memorise, 2 answer, 3 score (never drawn)
extern int butState;       // button drawn pressed: 0 none, 1 GO, 2..10 keypad keys, 11 level
extern int antal;          // the level: symbols in a row, 4..6
extern char stopper;       // click latch: 'a' released, 'b' consumed until the left button is released
extern char ratt;          // last verdict: 'a' none yet, 'b' correct, 'c' wrong
extern int tid;            // tick count at the previous UpDate
extern int tanketid;       // milliseconds spent memorising
extern int tanketid2;      // milliseconds spent answering
extern int memheight;      // memorise bar length in pixels
extern int memheight2;     // answer bar length in pixels
extern int svarsordning;   // next answer slot to fill
extern int kodlinje[6];    // the code row, symbol indices 0..8
extern int svarslinje[6];  // the answer row, symbol indices 0..8, or 9 for an empty slot

// The whole factor by which a 350x300 window is shown on a desktop of this size: as large as fits within
// 40% of the desktop's height (and within its width), and at least 1.
int DefaultWindowScale(int desktopWidth, int desktopHeight);
// Opens the game window on a driver that shows it, scaled for large desktops unless the player chose a
// factor (SDL12COMPAT_WINDOW_SCALING); on failure says why on standard error, returns false.
bool OpenWindow();
// Seeds the draw, starts the clock and loads every image and the font; a missing or broken image ends
// the process with a message naming the file.
void InitStuff();
// Drains the event queue, then lets the control under a held mouse button act.
void Event();
// Starts a round from the idle state with a new random code row.
void startStop();
// A press on keypad key 2..10: drawn pressed, and in the answer phase enters symbol key - 2 once per click.
void symbol(int key);
// Advances the round clocks by the time since the previous call, and scores a finished round.
void UpDate();
// Blits symbol image n (0..9) onto the screen at (x, y).
void drawSymbol(int n, int x, int y);
// Paints the whole frame from the game state and flips it to the display.
void DrawScene();
// Called after each frame: once the second after start-up is over, tells the player (Warn), once for the
// process, when its frames came faster than any display refreshes, and what brings a flip that waits.
void CheckPacing();
// Shutdown hook after the frame loop.
void kill();
// The game: start-up, frame loop, shutdown. Returns the process's exit status.
extern "C" int SDL_main(int argc, char *argv[]);

#endif
