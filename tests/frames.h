// Frame helpers for the rendering tests: pixel reads, golden-frame comparison and failure pictures.
#ifndef GLIMTRA_TESTS_FRAMES_H
#define GLIMTRA_TESTS_FRAMES_H

#include <SDL.h>

#include <string>

// The colour at (x, y) as 0xRRGGBB, whatever the surface's format.
Uint32 RgbAt(SDL_Surface *surface, int x, int y);

// Whether every pixel of `image` that is not its colour key shows at (x, y) on `surface`.
bool ShowsImageAt(SDL_Surface *surface, SDL_Surface *image, int x, int y);

// Whether every pixel of the w by h rectangle at (x, y) is `rgb`.
bool AllPixels(SDL_Surface *surface, int x, int y, int w, int h, Uint32 rgb);

// Compares the frame with tests/golden/NAME.bmp; an empty result means equal, otherwise it says where they
// differ, and the frames side by side with their difference are saved under tests/failures/. With
// GLIMTRA_UPDATE_GOLDEN set in the environment the golden frame is written instead.
std::string CompareWithGolden(SDL_Surface *frame, const std::string &name);

#endif
