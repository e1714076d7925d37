// End-to-end harness: an X server of the test's own, the real game binary in it, XTest input, read-back.
#ifndef GLIMTRA_TESTS_E2E_HARNESS_H
#define GLIMTRA_TESTS_E2E_HARNESS_H

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Paths baked in by CMake.
extern const char *const kGameBinary;     // build/glimtra
extern const char *const kReferenceTool;  // the in-process renderer of expected frames
extern const char *const kRoot;           // the repository, the game's working directory
extern const char *const kValgrindSupp;   // suppressions for the memcheck run

// ---- Pictures ----

// Pixels as 0xRRGGBB, row by row.
struct Image {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
  bool empty() const { return px.empty(); }
};

// Decoded with SDL's own BMP reader; empty when the file cannot be read.
Image LoadBmp(const std::string &path);
bool SaveBmp(const Image &image, const std::string &path);
// Pixels that differ between a and b inside the rectangle (every pixel, when w or h is 0).
int CountDifferences(const Image &a, const Image &b, int x = 0, int y = 0, int w = 0, int h = 0);
// Whether the sprite sits at (x, y) of the frame; pixels of the key colour are see-through and skipped.
bool ShowsSprite(const Image &frame, const Image &sprite, int x, int y, uint32_t key = 0xFF00FF);

// ---- Processes ----

double Now();  // seconds on a steady clock

// A child process; the guard kills and reaps it if it is still there when the guard goes.
class Process {
 public:
  Process() = default;
  explicit Process(pid_t pid) : pid_(pid) {}
  Process(Process &&other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  Process &operator=(Process &&other) noexcept;
  Process(const Process &) = delete;
  Process &operator=(const Process &) = delete;
  ~Process() { Kill(); }

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }
  // Waits up to `seconds` for the exit; on exit stores waitpid's status and returns true.
  bool Wait(double seconds, int *status);
  bool Running();
  void Kill();

 private:
  pid_t pid_ = -1;
};

struct Launch {
  std::vector<std::string> argv;
  std::vector<std::string> env;  // the whole environment of the child
  std::string cwd;
  std::string output;  // file taking the child's standard output and error; empty keeps the test's
};
Process Spawn(const Launch &launch);

// This process's environment without any SDL_* or SDL12COMPAT_* variable and without a display, then
// DISPLAY=display: the game sees only what a player's desktop session would give it.
std::vector<std::string> PlayerEnvironment(const std::string &display);

std::string ReadFile(const std::string &path);
// Processor time, user and system, that a process has used so far, in seconds; one that has ended but is
// not yet reaped still shows its total.
double CpuSeconds(pid_t pid);
// A fresh folder under the test's working directory, removed with everything in it when the guard goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// ---- The X server ----

// Xvfb on a display number it picks itself (-displayfd), with one screen of the given size and a client
// connection for the test.
class XServer {
 public:
  explicit XServer(int width = 640, int height = 480);
  ~XServer();
  XServer(const XServer &) = delete;
  XServer &operator=(const XServer &) = delete;
  bool ok() const { return dpy_ != nullptr; }
  Display *dpy() const { return dpy_; }
  const std::string &name() const { return name_; }
  // Ends the server with `signal` (a crash, a logout) and waits for it; the test's own connection is
  // closed first, and ok() is false from then on.
  void Kill(int signal);

 private:
  Process proc_;
  Display *dpy_ = nullptr;
  std::string name_;
};

// The viewable window titled `title`, other than `except`, waiting up to `seconds` for it to appear; 0 if it
// does not.
Window FindWindow(Display *dpy, const char *title, double seconds, Window except = 0);
Image Capture(Display *dpy, Window win);
// Each `scale` by `scale` block of `image` as one pixel, taken from the block's top-left corner.
Image Shrink(const Image &image, int scale);
// Each pixel of `image` as a `scale` by `scale` block.
Image Enlarge(const Image &image, int scale);
// XTest input, as the pointer and keyboard devices would send it; coordinates are the window's.
void MovePointer(Display *dpy, Window win, int x, int y);
void SetButton(Display *dpy, unsigned button, bool down);
void SetKey(Display *dpy, unsigned long keysym, bool down);
// What a window manager sends when the player closes the window.
void SendCloseRequest(Display *dpy, Window win);
// What xkill or a window manager's "force quit" does: the server closes the connection of the window's
// client.
void KillClient(Display *dpy, Window win);
// How many times the window's contents change within `seconds`: one for each frame the game presents.
int CountFrames(Display *dpy, Window win, double seconds);
// A window property as 32-bit items (CARDINAL, ATOM, ...); empty when unset.
std::vector<unsigned long> Property32(Display *dpy, Window win, const char *name);

}  // namespace e2e

#endif
