// The Linux desktop: display loss on X11 and Wayland, the bounded way out, and the advice Debian needs.
#include <SDL.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

// Xlib calls this when the connection to the X server is gone: the server ended, or the window was killed
// (XKillClient). Xlib's own handler calls exit(), whose SDL_Quit then waits forever for replies on the
// dead connection; so the game says why it ends and leaves at once, without the exit handlers.
static int DisplayLost(Display *) {
  fputs("glimtra: the connection to the display was lost\n", stderr);
  _exit(EXIT_FAILURE);
}

// The connection a Wayland compositor handed the game (WAYLAND_SOCKET), or -1. libwayland takes the
// variable out of the environment once it has connected, so it is read before SDL starts.
static int waylandSocket = -1;

// A write to a connection that the server has closed raises SIGPIPE first, whose default action would end
// the game without a word; ignored, the failed write reaches Xlib, which reports the loss to DisplayLost.
void PlatformStart() {
  signal(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(DisplayLost);
  const char *handed = getenv("WAYLAND_SOCKET");
  if (handed && *handed) waylandSocket = atoi(handed);
}

// Whether the Wayland compositor the game was started on is no longer there. Without a connection of its
// own to ask, the game tries the compositor's socket, as libwayland found it; the attempt does not wait,
// so a compositor too busy to answer counts as there and cannot hold up the way out.
static bool CompositorGone() {
  if (waylandSocket >= 0) {
    pollfd peer = {waylandSocket, POLLIN, 0};
    return poll(&peer, 1, 0) == 1 && (peer.revents & (POLLHUP | POLLERR));
  }
  const char *name = getenv("WAYLAND_DISPLAY");
  const char *runtime = getenv("XDG_RUNTIME_DIR");
  if (!name || !*name) name = "wayland-0";
  if (name[0] != '/' && !runtime) return false;
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const int length = name[0] == '/'
                         ? snprintf(address.sun_path, sizeof address.sun_path, "%s", name)
                         : snprintf(address.sun_path, sizeof address.sun_path, "%s/%s", runtime, name);
  if (length < 0 || static_cast<size_t>(length) >= sizeof address.sun_path) return false;
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool gone = connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) < 0 &&
                    (errno == ECONNREFUSED || errno == ENOENT);
  close(probe);
  return gone;
}

// On Wayland nothing tells the game that the compositor went away: SDL reports it as a quit, the same
// event as a closed window. Every end of the game passes here before SDL_Quit, and one that comes after
// the compositor has gone ends as a lost X server does. (libdecor's GTK plugin ends the process itself,
// with _exit(1) and GTK's own message, before SDL or the game can see the loss.)
static void EndIfCompositorGone() {
  char driver[16] = "";
  SDL_VideoDriverName(driver, sizeof driver);
  if (strcmp(driver, "wayland") == 0 && CompositorGone()) DisplayLost(nullptr);
}

void PlatformAtExit() { atexit(EndIfCompositorGone); }

void SetEnvironment(const char *name, const char *value, bool overwrite) { setenv(name, value, overwrite); }

void ReportFailure(const char *message) { fprintf(stderr, "glimtra: %s\n", message); }

void Warn(const char *message) { fprintf(stderr, "glimtra: %s\n", message); }

const char *PacingRemedy() {
  if (SDL_Linked_Version()->patch < 50)
    return "the classic SDL 1.2 cannot wait for it; install sdl12-compat (Debian 12: libsdl1.2-compat-shim)";
  return "SDL waits for it only through OpenGL; install an OpenGL driver (Debian: libgl1 libglx-mesa0 "
         "libgl1-mesa-dri)";
}

// How long the way out may take once the game has decided to end.
static const unsigned kExitLimitSeconds = 3;
static volatile sig_atomic_t exitStatus = 0;

static void EndNow(int) { _exit(exitStatus); }

// SDL_Quit, run at exit, and the libraries under it talk to the display while they shut down; on a stuck
// connection they would never return, so a time limit is armed that ends the process with the same status
// regardless.
int Finish(int status) {
  exitStatus = status;
  signal(SIGALRM, EndNow);
  alarm(kExitLimitSeconds);
  return status;
}
