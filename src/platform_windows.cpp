// Windows: pix/ beside the exe, failures and warnings in message boxes, and the advice Windows needs.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

// A shortcut, a command prompt or Explorer may start the game in any folder; the pictures sit beside the
// exe, so that folder becomes the working directory.
void PlatformStart() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return;  // a cut-off path names no folder; pix/ is then looked for here
  wchar_t *slash = wcsrchr(path, L'\\');
  if (!slash) return;
  *slash = L'\0';
  SetCurrentDirectoryW(path);
}

void PlatformAtExit() {}

void SetEnvironment(const char *name, const char *value, bool overwrite) {
  const char *set = getenv(name);
  if (overwrite || !set) _putenv_s(name, value);
}

static const char kTitle[] = "Glimtra";

// A program of the GUI subsystem has nowhere to print that a player looks at; the line also goes to
// standard error, for whoever started the game with its output redirected.
void ReportFailure(const char *message) {
  fprintf(stderr, "glimtra: %s\n", message);
  MessageBoxA(nullptr, message, kTitle, MB_OK | MB_ICONERROR);
}

static HHOOK placing = nullptr;

// A message box opens in the middle of the screen, where the game's window is too, and takes the keyboard
// and the next click from it. The warning's box is moved to the corner of the desktop as it appears, and
// Windows is asked to leave it inactive (Wine activates it all the same), so that the game stays in view
// and plays on.
static LRESULT CALLBACK PlaceBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code != HCBT_ACTIVATE) return CallNextHookEx(nullptr, code, wParam, lParam);
  RECT work;
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    SetWindowPos(reinterpret_cast<HWND>(wParam), nullptr, work.left, work.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UnhookWindowsHookEx(placing);
  return 1;  // not activated
}

static DWORD WINAPI ShowWarning(void *message) {
  placing = SetWindowsHookExW(WH_CBT, PlaceBox, nullptr, GetCurrentThreadId());
  MessageBoxA(nullptr, static_cast<const char *>(message), kTitle, MB_OK | MB_ICONWARNING);
  free(message);
  return 0;
}

// The game goes on, so the box gets a thread of its own: a message box waits for its button, and the frame
// loop must not.
void Warn(const char *message) {
  fprintf(stderr, "glimtra: %s\n", message);
  char *copy = _strdup(message);
  if (!copy) return;
  const HANDLE thread = CreateThread(nullptr, 0, ShowWarning, copy, 0, nullptr);
  if (thread) {
    CloseHandle(thread);
  } else {
    free(copy);
  }
}

const char *PacingRemedy() {
  return "Windows waits for the display when the graphics driver lets it; install the current driver from "
         "the maker of the graphics card (Windows' basic display driver does not wait), and leave vertical "
         "sync to the application in its settings";
}

int Finish(int status) { return status; }
