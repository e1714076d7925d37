// End-to-end harness: processes, Xvfb, XTest input and window read-back, with SDL only as the BMP codec.
#include "harness.h"

#include <SDL.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char **environ;

namespace e2e {

const char *const kGameBinary = GLIMTRA_BINARY;
const char *const kReferenceTool = GLIMTRA_REFERENCE_TOOL;
const char *const kRoot = GLIMTRA_ROOT;
const char *const kValgrindSupp = GLIMTRA_VALGRIND_SUPP;

// ---- Pictures ----

static Uint32 RawPixel(const SDL_Surface *s, int x, int y) {
  const Uint8 *p = static_cast<const Uint8 *>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
  switch (s->format->BytesPerPixel) {
    case 1:
      return *p;
    case 2:
      return *reinterpret_cast<const Uint16 *>(p);
    case 3:
      return SDL_BYTEORDER == SDL_BIG_ENDIAN ? (p[0] << 16 | p[1] << 8 | p[2])
                                             : (p[0] | p[1] << 8 | p[2] << 16);
    default:
      return *reinterpret_cast<const Uint32 *>(p);
  }
}

Image LoadBmp(const std::string &path) {
  Image image;
  SDL_Surface *s = SDL_LoadBMP(path.c_str());
  if (!s) return image;
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  image.w = s->w;
  image.h = s->h;
  image.px.resize(static_cast<size_t>(s->w) * s->h);
  for (int y = 0; y < s->h; ++y) {
    for (int x = 0; x < s->w; ++x) {
      Uint8 r, g, b;
      SDL_GetRGB(RawPixel(s, x, y), s->format, &r, &g, &b);
      image.px[static_cast<size_t>(y) * s->w + x] = static_cast<uint32_t>(r) << 16 | g << 8 | b;
    }
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return image;
}

bool SaveBmp(const Image &image, const std::string &path) {
  if (image.empty()) return false;
  std::vector<uint32_t> copy = image.px;
  SDL_Surface *s =
      SDL_CreateRGBSurfaceFrom(copy.data(), image.w, image.h, 32, image.w * 4, 0xFF0000, 0xFF00, 0xFF, 0);
  if (!s) return false;
  const bool ok = SDL_SaveBMP(s, path.c_str()) == 0;
  SDL_FreeSurface(s);
  return ok;
}

int CountDifferences(const Image &a, const Image &b, int x, int y, int w, int h) {
  if (w == 0 || h == 0) {
    if (a.w != b.w || a.h != b.h) return -1;
    x = y = 0;
    w = a.w;
    h = a.h;
  }
  if (x < 0 || y < 0 || x + w > a.w || y + h > a.h || x + w > b.w || y + h > b.h) return -1;
  int differences = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) differences += a.at(i, j) != b.at(i, j);
  return differences;
}

bool ShowsSprite(const Image &frame, const Image &sprite, int x, int y, uint32_t key) {
  if (sprite.empty() || x < 0 || y < 0 || x + sprite.w > frame.w || y + sprite.h > frame.h) return false;
  for (int j = 0; j < sprite.h; ++j) {
    for (int i = 0; i < sprite.w; ++i) {
      const uint32_t p = sprite.at(i, j);
      if (p != key && frame.at(x + i, y + j) != p) return false;
    }
  }
  return true;
}

// ---- Processes ----

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Process &Process::operator=(Process &&other) noexcept {
  if (this != &other) {
    Kill();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

bool Process::Wait(double seconds, int *status) {
  if (pid_ <= 0) return false;
  const double end = Now() + seconds;
  for (;;) {
    int st = 0;
    const pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      if (status) *status = st;
      return true;
    }
    if (r < 0 || Now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Process::Running() {
  if (pid_ <= 0) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void Process::Kill() {
  if (pid_ <= 0) return;
  // A polite end first, so that Xvfb removes its lock and socket; then no more waiting.
  ::kill(pid_, SIGTERM);
  if (Wait(3, nullptr)) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

Process Spawn(const Launch &launch) {
  std::vector<char *> argv, env;
  for (const std::string &a : launch.argv) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string &e : launch.env) env.push_back(const_cast<char *>(e.c_str()));
  env.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Children must not outlive a test program that CTest kills on a timeout.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    // A desktop starts programs with the default signal actions, whatever this test program inherited
    // (a shell starts background jobs with SIGINT ignored).
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!launch.cwd.empty() && chdir(launch.cwd.c_str()) != 0) _exit(126);
    if (!launch.output.empty()) {
      const int fd = open(launch.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) _exit(126);
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
    }
    execvpe(argv[0], argv.data(), env.data());
    _exit(127);
  }
  return Process(pid);
}

std::vector<std::string> PlayerEnvironment(const std::string &display) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("SDL_", 0) == 0 || entry.rfind("SDL12COMPAT_", 0) == 0 ||
        entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0)
      continue;
    env.push_back(entry);
  }
  env.push_back("DISPLAY=" + display);
  return env;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

double CpuSeconds(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  long user = 0, system = 0;  // fields 14 and 15, counted from the state after the name
  sscanf(stat.c_str() + stat.rfind(')') + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &user,
         &system);
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

ScratchDir::ScratchDir() {
  char name[] = "scratch-XXXXXX";
  if (mkdtemp(name)) path_ = std::filesystem::absolute(name).string();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

// ---- The X server ----

// Windows come and go while the test walks the tree; a stale id is no reason to end the test program.
static int IgnoreXError(Display *, XErrorEvent *) { return 0; }

XServer::XServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  Launch launch;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  launch.argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"};
  launch.env = PlayerEnvironment("");
  launch.output = "/dev/null";
  proc_ = Spawn(launch);
  close(fds[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  pollfd p = {fds[0], POLLIN, 0};
  const double end = Now() + 15;
  while (Now() < end && number.find('\n') == std::string::npos) {
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) return;
  name_ = ":" + number.substr(0, number.find('\n'));
  XSetErrorHandler(IgnoreXError);
  dpy_ = XOpenDisplay(name_.c_str());
}

XServer::~XServer() {
  if (dpy_) XCloseDisplay(dpy_);
}

void XServer::Kill(int signal) {
  if (dpy_) XCloseDisplay(dpy_);
  dpy_ = nullptr;
  if (proc_.started()) ::kill(proc_.pid(), signal);
  proc_.Wait(5, nullptr);
}

static bool Titled(Display *dpy, Window w, const char *title) {
  char *name = nullptr;
  bool match = false;
  if (XFetchName(dpy, w, &name) && name) match = strcmp(name, title) == 0;
  if (name) XFree(name);
  return match;
}

static Window Search(Display *dpy, Window w, const char *title, Window except) {
  if (w == except) return 0;
  XWindowAttributes a;
  if (Titled(dpy, w, title) && XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable) return w;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && !found; ++i) found = Search(dpy, children[i], title, except);
  if (children) XFree(children);
  return found;
}

Window FindWindow(Display *dpy, const char *title, double seconds, Window except) {
  const double end = Now() + seconds;
  for (;;) {
    const Window w = Search(dpy, DefaultRootWindow(dpy), title, except);
    if (w || Now() > end) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Image Capture(Display *dpy, Window win) {
  Image image;
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, win, &a)) return image;
  XImage *x = XGetImage(dpy, win, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!x) return image;
  image.w = a.width;
  image.h = a.height;
  image.px.resize(static_cast<size_t>(a.width) * a.height);
  // The 24-bit TrueColor visual of Xvfb: red, green and blue masks 0xFF0000, 0xFF00, 0xFF.
  for (int y = 0; y < a.height; ++y)
    for (int i = 0; i < a.width; ++i)
      image.px[static_cast<size_t>(y) * a.width + i] = XGetPixel(x, i, y) & 0xFFFFFF;
  XDestroyImage(x);
  return image;
}

Image Shrink(const Image &image, int scale) {
  if (scale <= 1) return image;
  Image small;
  small.w = image.w / scale;
  small.h = image.h / scale;
  small.px.resize(static_cast<size_t>(small.w) * small.h);
  for (int y = 0; y < small.h; ++y)
    for (int x = 0; x < small.w; ++x)
      small.px[static_cast<size_t>(y) * small.w + x] = image.at(x * scale, y * scale);
  return small;
}

Image Enlarge(const Image &image, int scale) {
  Image big;
  big.w = image.w * scale;
  big.h = image.h * scale;
  big.px.resize(static_cast<size_t>(big.w) * big.h);
  for (int y = 0; y < big.h; ++y)
    for (int x = 0; x < big.w; ++x)
      big.px[static_cast<size_t>(y) * big.w + x] = image.at(x / scale, y / scale);
  return big;
}

void MovePointer(Display *dpy, Window win, int x, int y) {
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
}

void SetButton(Display *dpy, unsigned button, bool down) {
  XTestFakeButtonEvent(dpy, button, down, CurrentTime);
  XSync(dpy, False);
}

void SetKey(Display *dpy, unsigned long keysym, bool down) {
  XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, keysym), down, CurrentTime);
  XSync(dpy, False);
}

void SendCloseRequest(Display *dpy, Window win) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XSync(dpy, False);
}

void KillClient(Display *dpy, Window win) {
  XKillClient(dpy, win);
  XSync(dpy, False);
}

int CountFrames(Display *dpy, Window win, double seconds) {
  int event = 0, error = 0;
  if (!XDamageQueryExtension(dpy, &event, &error)) return -1;
  // Raw rectangles: an event for every drawing into the window, none merged with the next.
  const Damage damage = XDamageCreate(dpy, win, XDamageReportRawRectangles);
  XSync(dpy, False);
  int frames = 0;
  const double end = Now() + seconds;
  while (Now() < end) {
    while (XPending(dpy)) {
      XEvent e;
      XNextEvent(dpy, &e);
      frames += e.type == event + XDamageNotify;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  XDamageDestroy(dpy, damage);
  XSync(dpy, False);
  return frames;
}

std::vector<unsigned long> Property32(Display *dpy, Window win, const char *name) {
  std::vector<unsigned long> items;
  Atom type;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char *data = nullptr;
  if (XGetWindowProperty(dpy, win, XInternAtom(dpy, name, False), 0, 1 << 24, False, AnyPropertyType, &type,
                         &format, &n, &after, &data) == Success &&
      data && format == 32) {
    // Xlib hands 32-bit items over as longs.
    const unsigned long *longs = reinterpret_cast<const unsigned long *>(data);
    items.assign(longs, longs + n);
  }
  if (data) XFree(data);
  return items;
}

}  // namespace e2e
