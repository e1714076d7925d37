// Shared set-up of the in-process measurements: the game on SDL's dummy driver with its real pictures.
#ifndef GLIMTRA_BENCH_HARNESS_H
#define GLIMTRA_BENCH_HARNESS_H

#include <SDL.h>

// A 350x300 software surface in 32-bit xRGB, the layout of a usual desktop's window surface.
SDL_Surface *NewWindowSizedSurface();

// Starts SDL's video on the dummy driver, points the game's screen at a plain 32-bit xRGB surface and
// loads every picture with InitStuff(); the working directory must hold pix/. With videoSurface set,
// the screen is instead the dummy driver's own 32-bit window surface, so that SDL_Flip presents it.
// Ends the process with a message on failure.
void StartGame(bool videoSurface = false);

#endif
