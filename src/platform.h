// What the game needs of the home it runs in, one file each: platform_linux.cpp for the Linux desktop (X11
// and Wayland), platform_windows.cpp for Windows; the browser has its own. CMake builds exactly one of them.
#ifndef GLIMTRA_PLATFORM_H
#define GLIMTRA_PLATFORM_H

// Called first, before SDL starts: prepares for the display going away underneath the game.
void PlatformStart();
// Called right after SDL_Quit is registered with atexit, so that what it registers runs before SDL_Quit.
void PlatformAtExit();
// Sets an environment variable for SDL to read; an existing value stays unless `overwrite`.
void SetEnvironment(const char *name, const char *value, bool overwrite);
// Tells the player why the game cannot go on: one line, without its newline, where the player sees it.
void ReportFailure(const char *message);
// Tells the player something the game goes on despite: one line, without its newline, where the player
// sees it, without holding up the frame loop.
void Warn(const char *message);
// What brings a flip that waits for the display, here, when the player has not turned the wait off.
const char *PacingRemedy();
// Every end of the game passes here on its way out; returns `status`, the process's exit status.
int Finish(int status);

#endif
