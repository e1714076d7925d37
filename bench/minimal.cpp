// The floor of the game's window stack: the same SDL 1.2 window, with each frame only filled and flipped.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int, char **) {
  // The same pacing and scaling requests as the game makes, before video starts as it does.
  setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 0);
  setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "minimal: SDL_Init failed: %s\n", SDL_GetError());
    return EXIT_FAILURE;
  }
  atexit(SDL_Quit);
  SDL_Surface *screen = SDL_SetVideoMode(350, 300, 0, SDL_HWSURFACE | SDL_DOUBLEBUF);
  if (!screen) {
    fprintf(stderr, "minimal: SDL_SetVideoMode failed: %s\n", SDL_GetError());
    return EXIT_FAILURE;
  }
  const Uint32 grey = SDL_MapRGB(screen->format, 0xAA, 0xAA, 0xAA);
  for (bool done = false; !done;) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) done = true;
      if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) done = true;
    }
    SDL_FillRect(screen, nullptr, grey);
    SDL_Flip(screen);
  }
  return 0;
}
