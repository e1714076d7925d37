// Runs a fixed number of frames of one kind of work, for valgrind to count instructions and allocations.
// Usage: glimtra_frames scene|floor|pass|string|loop|flip COUNT
//   scene   DrawScene onto a plain 32-bit surface (its SDL_Flip presents nothing)
//   floor   one full-window blit between two 32-bit xRGB surfaces
//   pass    Event and UpDate
//   string  one DrawString of a sidebar line
//   loop    a whole pass of the frame loop: Event, UpDate, DrawScene
//   flip    the same onto the dummy driver's window surface, so that SDL_Flip presents each frame
// Counting two runs of different lengths and taking the difference leaves out start-up and shutdown.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "main.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s scene|floor|pass|string|loop|flip COUNT\n", argv[0]);
    return 2;
  }
  const char *mode = argv[1];
  const long count = strtol(argv[2], nullptr, 10);
  StartGame(strcmp(mode, "flip") == 0);
  SDL_Surface *from = NewWindowSizedSurface();
  SDL_Surface *to = NewWindowSizedSurface();

  if (strcmp(mode, "scene") == 0) {
    for (long i = 0; i < count; ++i) DrawScene();
  } else if (strcmp(mode, "floor") == 0) {
    for (long i = 0; i < count; ++i) SDL_BlitSurface(from, nullptr, to, nullptr);
  } else if (strcmp(mode, "pass") == 0) {
    for (long i = 0; i < count; ++i) {
      Event();
      UpDate();
    }
  } else if (strcmp(mode, "string") == 0) {
    for (long i = 0; i < count; ++i) DrawString(text10, 255, 165, "f\xF6r att byta", screen);
  } else if (strcmp(mode, "loop") == 0 || strcmp(mode, "flip") == 0) {
    for (long i = 0; i < count; ++i) {
      Event();
      UpDate();
      DrawScene();
    }
  } else {
    fprintf(stderr, "%s: unknown mode '%s'\n", argv[0], mode);
    return 2;
  }

  SDL_FreeSurface(from);
  SDL_FreeSurface(to);
  SDL_Quit();
  return 0;
}
