// Glimtra: start-up and frame loop, asset loading, game state, round clock, controls and the scene.
#include "main.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "fontmetrics.h"
#include "platform.h"

SDL_Surface *screen = nullptr;
SDL_Surface *ikon = nullptr;
SDL_Surface *butup = nullptr;
SDL_Surface *butdown = nullptr;
SDL_Surface *symbolbild[10] = {};
SDL_Surface *go = nullptr;
SDL_Surface *skin = nullptr;
SDL_Surface *sdl = nullptr;
SDL_Surface *logo = nullptr;
SDL_Surface *tolm = nullptr;
PKFont text10 = {};

int done = 0;
int gameState = 0;
int butState = 0;
int antal = 4;
char stopper = 'a';
char ratt = 'a';
int tid = 0;
int tanketid = 0;
int tanketid2 = 0;
int memheight = 0;
int memheight2 = 0;
int svarsordning = 0;
int kodlinje[6] = {0, 0, 0, 0, 0, 0};
int svarslinje[6] = {0, 0, 0, 0, 0, 0};

static const int kRowLength = 6;  // slots in each row; antal of them are in play
static const int kBlank = 9;      // symbol index of an empty answer slot
static const int kSymbols = 9;    // symbols a code row is drawn from

// ---- Start-up, frame loop and shutdown ----

static const int kWindowWidth = 350;
static const int kWindowHeight = 300;
static const Uint32 kVideoFlags = SDL_HWSURFACE | SDL_DOUBLEBUF;

// Formats a line for ReportFailure; one that will not fit is cut short rather than overrun.
static void Report(const char *format, ...) {
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  ReportFailure(message);
}

static void ReportSdlFailure(const char *what) { Report("%s failed: %s", what, SDL_GetError()); }

// Drivers that open no window: the game would run unseen and spin. The classic SDL 1.2 falls back to its
// text-mode drivers (caca, aalib) where there is no display, and nothing can reach the game there either.
static bool ShowsNothing(const char *driver) {
  static const char *const kHeadless[] = {"offscreen", "dummy", "caca", "aalib"};
  for (const char *headless : kHeadless)
    if (strcmp(driver, headless) == 0) return true;
  return false;
}

static bool IsSet(const char *name) {
  const char *value = getenv(name);
  return value && *value;
}

// Gives sdl12-compat the game's defaults where the player's environment sets none. Called before video
// starts, which is when some of them are read.
static void SetDisplayDefaults() {
  // The flip at the end of each frame is the loop's only pacing; without vsync the game spins a core.
  // sdl12-compat reads this when the mode is set.
  SetEnvironment("SDL12COMPAT_SYNC_TO_VBLANK", "1", false);
  // Where the window is scaled up, keep the pixel art and the bitmap text sharp. sdl12-compat reads this
  // when video starts, so it must be in place before SDL_Init.
  SetEnvironment("SDL12COMPAT_SCALE_METHOD", "nearest", false);
}

// The window may take at most this share of the desktop's height, in tenths.
static const int kMaxHeightTenths = 4;

int DefaultWindowScale(int desktopWidth, int desktopHeight) {
  const int byHeight = desktopHeight * kMaxHeightTenths / (10 * kWindowHeight);
  const int byWidth = desktopWidth / kWindowWidth;
  const int scale = byHeight < byWidth ? byHeight : byWidth;
  return scale > 1 ? scale : 1;
}

// On a large desktop the 350x300 window would be a postage stamp: unless the player chose a factor,
// sdl12-compat is asked to present it larger, by a whole factor so that each game pixel is an even block.
// It reads the factor when the mode is set; the desktop's size is known only once video has started.
static void ChooseWindowScale() {
  static const bool playerChose = IsSet("SDL12COMPAT_WINDOW_SCALING");  // before the game sets it itself
  const SDL_VideoInfo *desktop = SDL_GetVideoInfo();
  if (playerChose || !desktop) return;
  char factor[16];
  snprintf(factor, sizeof factor, "%d", DefaultWindowScale(desktop->current_w, desktop->current_h));
  SetEnvironment("SDL12COMPAT_WINDOW_SCALING", factor, true);
}

static SDL_Surface *SetVideoMode() {
  ChooseWindowScale();
  return SDL_SetVideoMode(kWindowWidth, kWindowHeight, 0, kVideoFlags);
}

bool OpenWindow() {
  screen = SetVideoMode();
  if (!screen) {
    ReportSdlFailure("opening the 350x300 window (SDL_SetVideoMode)");
    return false;
  }
  char chosen[64] = "";
  SDL_VideoDriverName(chosen, sizeof chosen);
  if (!ShowsNothing(chosen) || IsSet("SDL_VIDEODRIVER")) return true;

  // SDL sometimes settles on a headless driver although a display is there; ask for the real one.
  const char *real = IsSet("DISPLAY") ? "x11" : IsSet("WAYLAND_DISPLAY") ? "wayland" : nullptr;
  if (!real) {
    Report("no display to open the window on (SDL chose its '%s' driver); set DISPLAY or WAYLAND_DISPLAY",
           chosen);
    return false;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  SetEnvironment("SDL_VIDEODRIVER", real, true);
  SetDisplayDefaults();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) < 0) {
    Report("starting SDL's %s video driver failed: %s", real, SDL_GetError());
    return false;
  }
  screen = SetVideoMode();
  if (!screen) {
    Report("opening the window with SDL's %s video driver failed: %s", real, SDL_GetError());
    return false;
  }
  return true;
}

// ---- Pacing ----

// Faster than any display refreshes (the fastest refresh at 500 to 600 Hz), and slower than an unpaced flip
// of this small window, which comes 1,000 times a second or more: more frames than this in one second
// were not paced by the display.
static const int kUnpacedFramesPerSecond = 750;
// Start-up makes the first frames slow (shaders compiled, Direct3D starting: some 70 frames in the first
// second under Wine, where the flip waits for nothing), so the frames are counted over the second after it.
static const Uint32 kStartUpMs = 1000;
static const Uint32 kPaceCheckMs = 1000;

// Why the flip does not wait for the display, and what brings a flip that does.
static const char *WhyUnpaced() {
  const char *vsync = getenv("SDL12COMPAT_SYNC_TO_VBLANK");
  if (vsync && strcmp(vsync, "0") == 0) return "SDL12COMPAT_SYNC_TO_VBLANK=0 in the environment turns it off";
  return PacingRemedy();
}

// The frame loop has no pacing of its own, so a flip that does not wait for the display makes the game take
// a whole core: once the second after start-up is over, say so once.
void CheckPacing() {
  static Uint32 since = 0;  // when start-up began, with the first frame; then when the counted second began
  static int frames = -2;   // frames counted; -2 before the first frame, -1 in start-up
  static int unpaced = kUnpacedFramesPerSecond;
  static bool checked = false;
  if (checked) return;
  const Uint32 now = SDL_GetTicks();
  if (frames == -2) {
    // A machine under load flips unpaced frames fewer times a second than any display refreshes, so a test
    // of the warning that runs beside other work sets a lower bar, GLIMTRA_UNPACED_FPS.
    const char *bar = getenv("GLIMTRA_UNPACED_FPS");
    if (bar && atoi(bar) > 0) unpaced = atoi(bar);
    since = now;
    frames = -1;
    return;
  }
  if (frames == -1) {
    if (now - since < kStartUpMs) return;
    since = now;
    frames = 0;
    return;
  }
  ++frames;
  if (now - since < kPaceCheckMs) return;
  checked = true;
  if (frames <= unpaced) return;
  char message[512];
  snprintf(message, sizeof message,
           "the display does not pace the frames (%d in a second after start-up), so the game keeps a "
           "processor core busy: %s",
           frames, WhyUnpaced());
  Warn(message);
}

// Loads one image; the game cannot run without any of them, so a failure ends start-up.
static SDL_Surface *LoadImage(const char *path) {
  // Opened apart from the decoding, so that a missing file is reported as such.
  SDL_RWops *file = SDL_RWFromFile(path, "rb");
  SDL_Surface *image = file ? SDL_LoadBMP_RW(file, 1) : nullptr;
  if (!image) {
    Report("cannot load %s: %s (run the game from the folder that holds pix/)", path, SDL_GetError());
    exit(Finish(EXIT_FAILURE));
  }
  return image;
}

void kill() {}

int SDL_main(int, char **) {
  PlatformStart();
  SetDisplayDefaults();
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    ReportSdlFailure("starting SDL's video (SDL_Init)");
    return EXIT_FAILURE;
  }
  atexit(SDL_Quit);
  PlatformAtExit();
  if (!OpenWindow()) return Finish(EXIT_FAILURE);
  InitStuff();
  ikon = LoadImage("pix/tolm2.bmp");
  SDL_WM_SetIcon(ikon, nullptr);
  SDL_WM_SetCaption("Glimtra", nullptr);
  while (!done) {
    Event();
    UpDate();
    DrawScene();
    CheckPacing();
  }
  kill();
  return Finish(0);
}

// ---- Asset loading ----

static void SetKey(SDL_Surface *image, Uint8 r, Uint8 g, Uint8 b) {
  SDL_SetColorKey(image, SDL_SRCCOLORKEY, SDL_MapRGB(image->format, r, g, b));
}

void InitStuff() {
  srand(static_cast<unsigned>(time(nullptr)));
  tid = static_cast<int>(SDL_GetTicks());

  butup = LoadImage("pix/butup.bmp");
  butdown = LoadImage("pix/butdown.bmp");
  char path[32];
  for (int i = 0; i < 10; ++i) {
    snprintf(path, sizeof path, "pix/s%d.bmp", i + 1);
    symbolbild[i] = LoadImage(path);
  }
  for (SDL_Surface *image : symbolbild) SetKey(image, 255, 0, 255);
  go = LoadImage("pix/go.bmp");
  SetKey(go, 255, 0, 255);
  skin = LoadImage("pix/skin3.bmp");
  sdl = LoadImage("pix/sdllogo.bmp");
  logo = LoadImage("pix/glt4.bmp");
  SetKey(logo, 255, 0, 255);
  tolm = LoadImage("pix/tolm2.bmp");
  SetKey(tolm, 0, 0, 255);

  for (int &slot : svarslinje) slot = kBlank;
  memcpy(text10.width, text10Width, sizeof text10.width);
  memcpy(text10.xoffset, text10Xoffset, sizeof text10.xoffset);
  text10.bitmap = LoadImage("pix/tahoma10.bmp");
  SetKey(text10.bitmap, 255, 255, 255);
}

// ---- Keypad layout, shared by the controls and the scene ----

// Key (r, c) is drawn at (44 + 55c, 140 + 50r), with its symbol 10 pixels right of and 7 below that.
static const int kKeypadX = 44, kKeypadY = 140, kKeyPitchX = 55, kKeyPitchY = 50;
static const int kKeySymbolX = 10, kKeySymbolY = 7;

static int KeyX(int c) { return kKeypadX + kKeyPitchX * c; }
static int KeyY(int r) { return kKeypadY + kKeyPitchY * r; }
// Button number of key (r, c); the key enters symbol index number - 2.
static int KeyNumber(int r, int c) { return 2 + 3 * r + c; }

// ---- Controls ----

// Hit areas in window pixels, both bounds included.
static const int kLevelLeft = 21, kLevelRight = 69, kLevelTop = 86, kLevelBottom = 114;
static const int kGoLeft = 100, kGoRight = 140, kGoTop = 81, kGoBottom = 121;
// A keypad key answers presses on a 50 by 41 area one pixel in from the corner where its face is drawn.
static const int kKeyWidth = 50, kKeyHeight = 41;
static const int kMaxLevel = 6, kMinLevel = 4;

static bool Inside(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && x <= right && y >= top && y <= bottom;
}

void Event() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        done = 1;
        break;
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) done = 1;
        break;
      case SDL_MOUSEBUTTONUP:
        // Only the left button frees the latch: a middle or right click acts but does not re-arm.
        if (event.button.button == SDL_BUTTON_LEFT) {
          stopper = 'a';
          butState = 0;
        }
        break;
    }
  }

  // Controls act on the buttons held now, sampled once per pass, not on press events.
  SDL_PumpEvents();
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  if (SDL_GetMouseState(nullptr, nullptr) == 0) return;

  if (Inside(x, y, kLevelLeft, kLevelTop, kLevelRight, kLevelBottom) && stopper == 'a') {
    stopper = 'b';
    butState = 11;
    if (++antal > kMaxLevel) antal = kMinLevel;
  }
  if (Inside(x, y, kGoLeft, kGoTop, kGoRight, kGoBottom)) startStop();
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int left = KeyX(c) + 1, top = KeyY(r) + 1;
      if (Inside(x, y, left, top, left + kKeyWidth - 1, top + kKeyHeight - 1)) symbol(KeyNumber(r, c));
    }
  }
}

void startStop() {
  if (gameState != 0) return;
  butState = 1;
  gameState = 1;
  for (int &slot : kodlinje) slot = rand() % kSymbols;
}

void symbol(int key) {
  butState = key;
  if (gameState != 2 || stopper != 'a') return;
  stopper = 'b';
  svarslinje[svarsordning] = key - 2;
  ++svarsordning;
  // antal is at most 6, so the entry that fills the last slot always ends the phase.
  if (svarsordning > antal - 1) gameState = 3;
}

// ---- Round clock and scoring ----

static const int kMemoriseMs = 4000;
static const int kAnswerMs = 8000;
static const int kFullBar = 145;

// Bar length for a clock; in 64 bits, since clock × 145 leaves 32 bits after about four hours.
static int BarLength(int clock, int limit) {
  return static_cast<int>(static_cast<int64_t>(clock) * kFullBar / limit);
}

// Adds the pass's time to a phase clock, wrapping rather than overflowing after weeks in one pass.
static int AddTime(int clock, int delta) {
  return static_cast<int>(static_cast<Uint32>(clock) + static_cast<Uint32>(delta));
}

void UpDate() {
  const Uint32 now = SDL_GetTicks();
  // Modulo 2^32, so the tick counter's wrap after 49 days still gives the right difference.
  const int delta = static_cast<int>(now - static_cast<Uint32>(tid));
  tid = static_cast<int>(now);

  // Three separate tests, not alternatives: a phase that ends hands over within this same call, so the
  // delta that ends the memorise phase also starts the answer clock.
  if (gameState == 1) {
    tanketid = AddTime(tanketid, delta);
    memheight = BarLength(tanketid, kMemoriseMs);
    if (tanketid > kMemoriseMs) {
      gameState = 2;
      tanketid = 0;
      svarsordning = 0;
      for (int &slot : svarslinje) slot = kBlank;
    }
  }
  if (gameState == 2) {
    tanketid2 = AddTime(tanketid2, delta);
    memheight2 = BarLength(tanketid2, kAnswerMs);
    if (tanketid2 > kAnswerMs) {
      gameState = 3;
      tanketid2 = 0;
    }
  }
  if (gameState == 3) {
    // All six slots count against the level as it stands now; unfilled answer slots are blank and
    // never match.
    int matches = 0;
    for (int i = 0; i < kRowLength; ++i) matches += svarslinje[i] == kodlinje[i];
    ratt = matches > antal - 1 ? 'b' : 'c';
    gameState = 0;
    memheight2 = 0;
    memheight = 0;
    tanketid = 0;
    tanketid2 = 0;
  }
}

// ---- Scene ----

void drawSymbol(int n, int x, int y) { DrawIMG(symbolbild[n], x, y, screen); }

// Fill colours as 0xRRGGBB.
static const Uint32 kClearColour = 0xAAAAAA;
static const Uint32 kEdgeColour = 0x111111;  // the row panel's edge and the bar tracks
static const Uint32 kPanelColour = 0xFFFFFF;
static const Uint32 kBarColour = 0xFF0000;

static const int kRowX = 25, kSlotPitch = 34;  // slot i of a row at x 25 + 34i
static const int kRowY = 25;                   // the row of the current phase
static const int kWrongCodeRowY = 2, kWrongAnswerRowY = 32;
static const int kBarTop = 140, kBarWidth = 15, kTrackLength = 145;
static const int kMemoriseBarX = 15, kAnswerBarX = 220;

// The colours are meant as red, green and blue; mapping them keeps them right on displays that are not
// 32-bit xRGB, and leaves the value unchanged on those that are.
static Uint32 Colour(Uint32 rgb) {
  return SDL_MapRGB(screen->format, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

static void Fill(int x, int y, int w, int h, Uint32 rgb) {
  SDL_Rect rect;
  rect.x = static_cast<Sint16>(x);
  rect.y = static_cast<Sint16>(y);
  rect.w = static_cast<Uint16>(w);
  rect.h = static_cast<Uint16>(h);  // unclamped: a bar longer than its track reaches below it
  SDL_FillRect(screen, &rect, Colour(rgb));
}

static void DrawRow(const int *row, int y) {
  for (int i = 0; i < antal; ++i) drawSymbol(row[i], kRowX + kSlotPitch * i, y);
}

static SDL_Surface *Face(int button) { return butState == button ? butdown : butup; }

void DrawScene() {
  SDL_FillRect(screen, nullptr, Colour(kClearColour));
  DrawIMG(skin, 0, 0, screen);
  Fill(5, 0, 239, 60, kEdgeColour);
  Fill(6, 2, 239, 60, kPanelColour);
  Fill(kAnswerBarX, kBarTop, kBarWidth, kTrackLength, kEdgeColour);
  Fill(kMemoriseBarX, kBarTop, kBarWidth, kTrackLength, kEdgeColour);
  Fill(kMemoriseBarX, kBarTop, kBarWidth, memheight, kBarColour);
  Fill(kAnswerBarX, kBarTop, kBarWidth, memheight2, kBarColour);

  DrawIMG(Face(11), 15, 80, screen);
  DrawString(text10, 20, 85, "Niv\xE5:", screen);
  char level[2];
  snprintf(level, sizeof level, "%i", antal);
  DrawString(text10, 20, 100, level, screen);

  DrawIMG(logo, 250, 0, screen);
  DrawString(text10, 255, 100, "Tryck 'GO'", screen);
  DrawString(text10, 255, 115, "f\xF6r att", screen);
  DrawString(text10, 255, 130, "b\xF6rja.", screen);
  DrawString(text10, 255, 150, "Tryck 'Niv\xE5'", screen);
  DrawString(text10, 255, 165, "f\xF6r att byta", screen);
  DrawString(text10, 255, 180, "sv\xE5righets-", screen);
  DrawString(text10, 255, 195, "grad.", screen);
  DrawIMG(tolm, 305, 210, screen);
  DrawIMG(sdl, 291, 257, screen);

  if (gameState == 1) DrawRow(kodlinje, kRowY);
  if (gameState == 2 || gameState == 3) DrawRow(svarslinje, kRowY);

  DrawIMG(Face(1), 99, 80, screen);
  if (gameState == 0) DrawIMG(go, 109, 87, screen);

  if (gameState == 1) {
    DrawString(text10, 85, 62, "Memorera!", screen);
  } else if (gameState == 2) {
    DrawString(text10, 93, 62, "Skriv in!", screen);
  } else if (gameState == 0) {
    if (ratt == 'b') DrawString(text10, 87, 62, "R\xE4tt svar!", screen);
    if (ratt == 'c') {
      DrawString(text10, 93, 62, "Fel svar!", screen);
      DrawRow(kodlinje, kWrongCodeRowY);
      DrawRow(svarslinje, kWrongAnswerRowY);
    }
  }

  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) DrawIMG(Face(KeyNumber(r, c)), KeyX(c), KeyY(r), screen);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) drawSymbol(KeyNumber(r, c) - 2, KeyX(c) + kKeySymbolX, KeyY(r) + kKeySymbolY);

  SDL_Flip(screen);
}
