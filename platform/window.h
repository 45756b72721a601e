// The program's one top-level window, standing in for the Win32 window the
// engine was designed around. Coordinates are desktop pixels; the client
// area is the drawable part of the window (decorations belong to the desktop
// and are not counted). Titles are Shift-JIS and converted to UTF-8 here.
// Every function runs on the thread that opened the window (the main
// thread). With no display (SDL's dummy driver) the window exists in memory
// only: it is always active and nothing waits for it. Once the display has
// gone away, the window counts as closed: the calls that would talk to it do
// nothing, and no new window opens.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

struct DesktopMode {
  int32_t width = 640;
  int32_t height = 480;
  int32_t bits_per_pixel = 32;  // always reported as 32
};

struct ClientRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Starts the video and event services (idempotent); false when no video
// driver can start.
bool StartVideo();
// Stops them after the window is gone.
void StopVideo();
// True when the video driver has no display (dummy or offscreen).
bool IsHeadlessVideo();

// The desktop's screen saver, switched off while the window lives.
void SetScreenSaverEnabled(bool enabled);

// The desktop of the display the window is (or would be) on.
DesktopMode GetDesktopMode();

// Opens the window with its client area at (x, y) of the size given; full
// screen covers the desktop at that size. False when it cannot be made.
bool OpenMainWindow(std::string_view title_sjis, int32_t x, int32_t y,
                    int32_t client_width, int32_t client_height, bool full_screen);
void CloseMainWindow();
bool HasMainWindow();

void SetMainWindowTitle(std::string_view title_sjis);
// Moves and sizes the client area (window mode).
void SetMainWindowGeometry(int32_t x, int32_t y, int32_t client_width,
                           int32_t client_height);
// Switches between window and full-screen style; the client size stays.
void SetMainWindowFullScreen(bool full_screen);
// The client area in desktop coordinates.
ClientRect GetMainWindowClientRect();
void RaiseMainWindow();
void MinimizeMainWindow();

// Mouse cursor: shown or hidden over the window; position in desktop
// coordinates.
void SetCursorVisible(bool visible);
bool IsCursorVisible();
void GetCursorPosition(int32_t* x, int32_t* y);
void WarpCursor(int32_t x, int32_t y);

}  // namespace platform
