// Preloaded into the game by an end-to-end test: an exit handler that never returns, as a library's
// shutdown on a stuck display connection would not. It runs after the game's own handlers.
#include <unistd.h>

#include <cstdlib>

static void WaitForever() {
  for (;;) pause();
}

__attribute__((constructor)) static void RegisterFirst() { atexit(WaitForever); }
