// Draws, with the game's own code on SDL's dummy driver, the frames the end-to-end tests expect on screen.
#include <cstdio>
#include <string>

#include "main.h"

static std::string outDir;

static bool Save(const char *name) {
  DrawScene();
  const std::string path = outDir + "/" + name + ".bmp";
  if (SDL_SaveBMP(screen, path.c_str()) == 0) return true;
  fprintf(stderr, "e2e_reference: cannot write %s: %s\n", path.c_str(), SDL_GetError());
  return false;
}

int main(int argc, char *argv[]) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT-FOLDER (run from the folder that holds pix/)\n", argv[0]);
    return 2;
  }
  outDir = argv[1];
  if (SDL_Init(SDL_INIT_VIDEO) < 0) return 1;
  // The game's screen on an X server is 32-bit xRGB too, so that a frame compares pixel for pixel.
  screen = SDL_SetVideoMode(350, 300, 32, SDL_SWSURFACE);
  if (!screen) return 1;
  InitStuff();

  // The state at start-up is the one the globals are defined with.
  bool ok = Save("startup");
  gameState = 1;
  ok = ok && Save("memorise");
  gameState = 2;
  ok = ok && Save("answer");
  gameState = 0;
  ratt = 'b';
  ok = ok && Save("right");
  ratt = 'c';
  ok = ok && Save("wrong");
  ratt = 'a';
  antal = 5;
  ok = ok && Save("level5");
  antal = 6;
  ok = ok && Save("level6");
  SDL_Quit();
  return ok ? 0 : 1;
}
