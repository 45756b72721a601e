// The main window on SDL2.
#include "platform/window.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/display_connection.h"
#include "platform/sdl_main_window.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

SDL_Window* g_window = nullptr;
bool g_video_started = false;
std::atomic<MainWindowHook> g_closing_hook{nullptr};

// A window that can still be talked to: it exists and its display is there.
bool UsableWindow() { return g_window != nullptr && !DisplayConnectionLost(); }

}  // namespace

SDL_Window* GetSdlMainWindow() { return g_window; }

void SetMainWindowClosingHook(MainWindowHook hook) { g_closing_hook.store(hook); }

bool StartVideo() {
  if (g_video_started) return true;
  // Closing the window is the engine's decision: the desktop's close request
  // arrives as an event, never as a quit of its own.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Compositions longer than one fixed-size event arrive whole.
  SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  g_video_started = true;
  return true;
}

void StopVideo() {
  if (!g_video_started) return;
  CloseMainWindow();
  // With the display gone, closing its connection could wait for replies
  // that never come; the process ends soon and takes it along.
  if (!DisplayConnectionLost()) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  g_video_started = false;
}

bool IsHeadlessVideo() {
  const char* driver = g_video_started ? SDL_GetCurrentVideoDriver() : nullptr;
  if (driver == nullptr) driver = SDL_getenv("SDL_VIDEODRIVER");
  if (driver == nullptr) return false;
  return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

void SetScreenSaverEnabled(bool enabled) {
  if (!g_video_started || DisplayConnectionLost()) return;
  if (enabled) {
    SDL_EnableScreenSaver();
  } else {
    SDL_DisableScreenSaver();
  }
}

DesktopMode GetDesktopMode() {
  DesktopMode mode;
  if (!StartVideo()) return mode;
  int display = 0;
  if (g_window != nullptr) {
    display = SDL_GetWindowDisplayIndex(g_window);
    if (display < 0) display = 0;
  }
  SDL_DisplayMode sdl_mode;
  if (SDL_GetDesktopDisplayMode(display, &sdl_mode) == 0 && sdl_mode.w > 0 && sdl_mode.h > 0) {
    mode.width = sdl_mode.w;
    mode.height = sdl_mode.h;
  }
  mode.bits_per_pixel = 32;
  return mode;
}

bool OpenMainWindow(std::string_view title_sjis, int32_t x, int32_t y,
                    int32_t client_width, int32_t client_height, bool full_screen) {
  if (DisplayConnectionLost() || !StartVideo()) return false;
  CloseMainWindow();
  if (client_width <= 0) client_width = 1;
  if (client_height <= 0) client_height = 1;
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (full_screen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  const std::string title = SjisToUtf8(title_sjis);
  g_window = SDL_CreateWindow(title.c_str(), x, y, client_width, client_height, flags);
  if (g_window == nullptr) return false;
  SDL_ShowWindow(g_window);
  WatchMainWindowDisplay();
  return true;
}

void CloseMainWindow() {
  if (g_window == nullptr) return;
  if (MainWindowHook hook = g_closing_hook.load(); hook != nullptr) hook();
  // A window on a lost display went with it; destroying it would wait for
  // the display's answer for ever.
  if (!DisplayConnectionLost()) SDL_DestroyWindow(g_window);
  g_window = nullptr;
}

bool HasMainWindow() { return g_window != nullptr; }

void SetMainWindowTitle(std::string_view title_sjis) {
  if (!UsableWindow()) return;
  SDL_SetWindowTitle(g_window, SjisToUtf8(title_sjis).c_str());
}

void SetMainWindowGeometry(int32_t x, int32_t y, int32_t client_width,
                           int32_t client_height) {
  if (!UsableWindow()) return;
  if (client_width <= 0) client_width = 1;
  if (client_height <= 0) client_height = 1;
  SDL_SetWindowSize(g_window, client_width, client_height);
  SDL_SetWindowPosition(g_window, x, y);
}

void SetMainWindowFullScreen(bool full_screen) {
  if (!UsableWindow()) return;
  SDL_SetWindowFullscreen(g_window, full_screen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

ClientRect GetMainWindowClientRect() {
  ClientRect rect;
  if (g_window == nullptr) return rect;
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(g_window, &x, &y);
  SDL_GetWindowSize(g_window, &w, &h);
  rect.left = x;
  rect.top = y;
  rect.right = x + w;
  rect.bottom = y + h;
  return rect;
}

void RaiseMainWindow() {
  if (UsableWindow()) SDL_RaiseWindow(g_window);
}

void MinimizeMainWindow() {
  if (UsableWindow()) SDL_MinimizeWindow(g_window);
}

void SetCursorVisible(bool visible) {
  if (!g_video_started || DisplayConnectionLost()) return;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool IsCursorVisible() {
  if (!g_video_started) return true;
  return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

void GetCursorPosition(int32_t* x, int32_t* y) {
  int mx = 0, my = 0;
  if (g_video_started) SDL_GetMouseState(&mx, &my);
  const ClientRect rect = GetMainWindowClientRect();
  if (x != nullptr) *x = rect.left + mx;
  if (y != nullptr) *y = rect.top + my;
}

void WarpCursor(int32_t x, int32_t y) {
  if (!UsableWindow()) return;
  const ClientRect rect = GetMainWindowClientRect();
  SDL_WarpMouseInWindow(g_window, x - rect.left, y - rect.top);
}

}  // namespace platform
