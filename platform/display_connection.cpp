// Display loss on X11: the I/O error handlers note the loss and return, so
// the X library does not end the process.
#include "platform/display_connection.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

#include "platform/sdl_main_window.h"

namespace platform {
namespace {

std::atomic<bool> g_lost{false};
std::atomic<bool> g_reported{false};

void NoteLoss() {
  if (!g_lost.exchange(true)) std::fputs("the display connection was lost: closing\n", stderr);
}

// Called first on an I/O error of any connection; the message replaces the
// library's own.
int OnIoError(Display*) {
  NoteLoss();
  return 0;
}

// Called next for the watched connection in place of ending the process;
// returning leaves the connection marked as broken, and the calls made on
// it afterwards return at once.
void OnIoErrorExit(Display*, void*) { NoteLoss(); }

}  // namespace

void WatchMainWindowDisplay() {
  SDL_Window* window = GetSdlMainWindow();
  if (window == nullptr) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  if (info.info.x11.display == nullptr) return;
  XSetIOErrorHandler(OnIoError);
  XSetIOErrorExitHandler(info.info.x11.display, OnIoErrorExit, nullptr);
}

bool DisplayConnectionLost() { return g_lost.load(); }

bool TakeDisplayLossReport() { return g_lost.load() && !g_reported.exchange(true); }

}  // namespace platform
