// Shared set-up of the in-process measurements: the game on SDL's dummy driver with its real pictures.
#include "harness.h"

#include <cstdio>
#include <cstdlib>

#include "main.h"

static const int kWidth = 350, kHeight = 300;

SDL_Surface *NewWindowSizedSurface() {
  SDL_Surface *surface =
      SDL_CreateRGBSurface(SDL_SWSURFACE, kWidth, kHeight, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
  if (!surface) {
    fprintf(stderr, "bench: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
    exit(EXIT_FAILURE);
  }
  return surface;
}

void StartGame(bool videoSurface) {
  // The measurements are of the game's own work; no window, and no display needed.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "bench: SDL_Init failed: %s\n", SDL_GetError());
    exit(EXIT_FAILURE);
  }
  // The video mode is set either way: SDL 1.2 expects one before events are pumped.
  SDL_Surface *video = SDL_SetVideoMode(kWidth, kHeight, 32, SDL_SWSURFACE);
  if (!video) {
    fprintf(stderr, "bench: SDL_SetVideoMode failed: %s\n", SDL_GetError());
    exit(EXIT_FAILURE);
  }
  screen = videoSurface ? video : NewWindowSizedSurface();
  InitStuff();
}
