// The browser: the page (src/web/page.html) hears of a failure and of the game's end; nothing else to do.
#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

#include "platform.h"

// No display to lose and no signals in a page: the tab closes the game with it.
void PlatformStart() {}

void PlatformAtExit() {}

void SetEnvironment(const char *name, const char *value, bool overwrite) { setenv(name, value, overwrite); }

// Also to the console, where a page without the listener leaves it.
void ReportFailure(const char *message) {
  fprintf(stderr, "glimtra: %s\n", message);
  EM_ASM(
      {
        if (Module.onGameFailure) Module.onGameFailure(UTF8ToString($0));
      },
      message);
}

// To the console: a page that plays on needs no message over the game.
void Warn(const char *message) { fprintf(stderr, "glimtra: %s\n", message); }

// The flip waits for the browser's next animation frame (src/web/sdl_fixes.js), which no display sends
// faster than the pacing check's limit; only a browser told to run them unlimited gets here.
const char *PacingRemedy() {
  return "the browser runs its animation frames unlimited; start it without its frame-rate override";
}

// The tab stays open when the game ends, so the page says so instead of showing a frozen last frame.
int Finish(int status) {
  EM_ASM(
      {
        if (Module.onGameEnd) Module.onGameEnd($0);
      },
      status);
  return status;
}
