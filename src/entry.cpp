// Process entry where SDL's start-up code does not provide one: hands over to SDL_main.
#include "main.h"

// On platforms where SDL renames main to SDL_main, SDL's own start-up code is the entry.
#ifndef main
int main(int argc, char *argv[]) { return SDL_main(argc, argv); }
#endif
