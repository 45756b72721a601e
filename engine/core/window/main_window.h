// The library's one top-level window and its state (WindowData): creation in
// window or full-screen style, the window scale (client pixels per screen
// pixel), caption, icon number, the run-while-inactive choice, the mouse
// cursor, position and wheel, and the getters through which graphics, input
// and presentation read the window state. Runs on the main thread under
// ApiLock; the message thread reads flags under the same lock.
// Coordinates: desktop pixels for the client rectangle, screen pixels for
// mouse positions.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/api/services/graphics_service.h"

struct WindowData {
  // ---- settings made before the window exists (kept by creation) ----
  int32_t window_mode = 1;      // 1 window, 0 full screen
  double window_scale = 1.0;    // 0 or less counts as 1.0
  int32_t run_in_background = 0;
  int32_t icon_number = 0;      // 0: the application icon
  std::string title;            // Shift-JIS
  std::string class_name;       // Shift-JIS

  // ---- the window ----
  bool has_window = false;
  std::thread::id main_thread;
  int32_t styled = 0;
  int32_t cursor_request = 0;
  int32_t cursor_visible = 1;   // what the cursor was last set to
  int32_t wheel_count = 0;
  WindowRectangle client_rect;
  int32_t desktop_width = 0, desktop_height = 0, desktop_bits = 0;
  int32_t code_page_mode = 1;   // 2 on a code-page-949 system
  double total_memory_mb = 0, available_memory_mb = 0;
  std::string video_card_name, video_card_description;
  int64_t video_memory = 0;

  // ---- message-pump state ----
  std::atomic<int> active{0};
  int32_t exit_requested = 0;
  int32_t destroyed = 0;
  int32_t window_creating = 0;
  int32_t in_paint = 0;
  uint32_t inactive_since = 0xFFFFFFFFu;
  int32_t inactive = 0;
  int32_t mode_change_in_progress = 0;
  int32_t display_change_seen = 0;
  int32_t lost_while_inactive = 0;
  std::vector<char*> dropped_files;  // tracked blocks, at most 1000
  int32_t pass_guard = 0;            // 1 while the text-input step runs
};

inline constexpr int kMaxDroppedFiles = 1000;

WindowData& GetWindowData();
// Clears WindowData, settings included (tests). Closes nothing.
void ResetWindowData();

// 0, or -1 (second instance, or the window cannot be made; the quit flag is
// then set).
int CreateMainWindow();
// 0 when nothing had to change, else the display-mode change's result.
int ChangeWindowMode(int flag);
int StoreWindowModeFlag(int flag);
int ApplyWindowStyle();
int FitWindowToScreenSize();
int SetWindowScale(double scale);
double GetWindowScale();
int SetWindowCaption(const char* text);
int ChangeWindowIcon(int resource_number);
int SetRunInBackground(int flag);
int ShowMouseCursor(int flag);
int GetCursorRequest();
int GetMousePosition(int* x, int* y);
int SetMousePosition(int x, int y);
int TakeMouseWheelCount();
int GetWindowClientRect(WindowRectangle* rect);
int GetDesktopDisplayMode(int* width, int* height, int* bits);
// Re-applies the cursor request in full screen (no menu is ever attached).
int AutoShowMenu();

int ReadActiveFlag();
int IsWindowedMode();
int GetCloseRequestedFlag();
bool HasMainWindowHandle();
int IsWindowRegionSet();
int GetUseMenuFlag();
// Gives up the single-instance lock (window shutdown).
void ReleaseInstanceLock();
// True on the thread that created the main window.
bool IsMainWindowThread();

// The screen mode's size (through the graphics hook; 640 × 480 without one).
void QueryScreenSize(int32_t* width, int32_t* height);

// Tests: the fixed default class name used when no title is set either.
inline constexpr const char* kDefaultWindowClassName = "VeskMain";
