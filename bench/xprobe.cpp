// Starts a program on the X display and measures it: time to its first frame, CPU share while it runs,
// and peak resident memory.
// Usage: glimtra_xprobe SECONDS COMMAND [ARGS...]
// The display must show a black root (Xvfb -br): the first frame is the first time the program's
// mapped 350x300 top-level window, found by its _NET_WM_PID, reads back with any pixel that is not
// black. The CPU share is the program's user plus system time over the SECONDS that follow, and the
// peak memory is its VmHWM just before it is asked to quit (SIGTERM, which SDL turns into a quit event).
// Prints one line: mapped_ms=.. first_frame_ms=.. cpu_percent=.. vmhwm_kib=.. exit_status=..
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void Sleep(double seconds) {
  timespec ts;
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - ts.tv_sec) * 1e9);
  nanosleep(&ts, nullptr);
}

static long PidOf(Display *display, Window window) {
  static Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char *data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                         &data) == Success &&
      data && items == 1 && format == 32)
    pid = *reinterpret_cast<long *>(data);
  if (data) XFree(data);
  return pid;
}

// How far the program's window has come: 0 not there or not mapped, 1 mapped, 2 showing its first frame.
static int WindowProgress(Display *display, pid_t pid) {
  Window root = DefaultRootWindow(display), parent, *children = nullptr;
  unsigned count = 0;
  int progress = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && progress < 2; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
    if (attributes.map_state != IsViewable || attributes.width != 350 || attributes.height != 300) continue;
    if (PidOf(display, children[i]) != pid) continue;
    progress = 1;
    // One row across the middle: cheap enough to poll every millisecond without slowing the program
    // down, and it crosses the drawn background of both programs measured.
    XImage *image = XGetImage(display, children[i], 0, 150, 350, 1, AllPlanes, ZPixmap);
    if (!image) continue;
    // Only the colour bits: a window with an alpha channel reads back black as alpha alone.
    unsigned long colour = image->red_mask | image->green_mask | image->blue_mask;
    if (!colour) colour = 0xFFFFFF;
    for (int x = 0; x < image->width && progress < 2; ++x)
      if (XGetPixel(image, x, 0) & colour) progress = 2;
    XDestroyImage(image);
  }
  if (children) XFree(children);
  return progress;
}

// User plus system time of a running process, in seconds.
static double CpuSeconds(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE *file = fopen(path, "r");
  if (!file) return -1;
  char line[1024] = "";
  const bool read = fgets(line, sizeof line, file) != nullptr;
  fclose(file);
  if (!read) return -1;
  // Fields after the command name, which is in parentheses and may hold spaces; utime and stime are the
  // 14th and 15th fields of the line.
  const char *after = strrchr(line, ')');
  if (!after) return -1;
  unsigned long utime = 0, stime = 0;
  if (sscanf(after + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
    return -1;
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

static long PeakResidentKib(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  FILE *file = fopen(path, "r");
  if (!file) return -1;
  char line[256];
  long kib = -1;
  while (fgets(line, sizeof line, file))
    if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  fclose(file);
  return kib;
}

// The program creates and destroys windows of its own while it starts; one may be gone by the time it is
// looked at, which is no error here.
static int IgnoreError(Display *, XErrorEvent *) { return 0; }

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s SECONDS COMMAND [ARGS...]\n", argv[0]);
    return 2;
  }
  const double seconds = atof(argv[1]);
  Display *display = XOpenDisplay(nullptr);
  if (!display) {
    fprintf(stderr, "xprobe: cannot open the X display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreError);

  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    perror("xprobe: exec");
    _exit(127);
  }

  double mapped = -1, firstFrame = -1;
  while (Now() - start < 30) {
    const int progress = WindowProgress(display, pid);
    if (progress >= 1 && mapped < 0) mapped = Now() - start;
    if (progress == 2) {
      firstFrame = Now() - start;
      break;
    }
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      fprintf(stderr, "xprobe: %s ended before its first frame\n", argv[2]);
      return 1;
    }
    Sleep(0.001);
  }
  if (firstFrame < 0) {
    fprintf(stderr, "xprobe: no frame from %s within 30 s\n", argv[2]);
    kill(pid, SIGKILL);
    return 1;
  }

  const double cpuBefore = CpuSeconds(pid), wallBefore = Now();
  Sleep(seconds);
  const double cpuAfter = CpuSeconds(pid), wallAfter = Now();
  const long peak = PeakResidentKib(pid);

  kill(pid, SIGTERM);
  int status = 0;
  rusage usage;
  wait4(pid, &status, 0, &usage);
  XCloseDisplay(display);

  printf("mapped_ms=%.1f first_frame_ms=%.1f cpu_percent=%.1f vmhwm_kib=%ld exit_status=%d\n", mapped * 1000,
         firstFrame * 1000, 100 * (cpuAfter - cpuBefore) / (wallAfter - wallBefore), peak,
         WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
