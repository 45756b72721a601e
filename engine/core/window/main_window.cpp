// The main window: creation, styles, scale, caption, cursor and mouse.
#include "engine/core/window/main_window.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/core/base/library_state.h"
#include "engine/core/base/library_timing.h"
#include "engine/core/base/log.h"
#include "engine/core/base/mersenne_twister.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/message_thread.h"
#include "engine/core/window/window_procedure.h"
#include "platform/clock.h"
#include "platform/ime.h"
#include "platform/window.h"
#include "platform/window_instance_lock.h"

namespace {

WindowData g_window_data;
platform::InstanceLock g_instance_lock;

// How long window creation pumps messages before the window is fitted.
constexpr uint32_t kCreationSettleMs = 200;

int32_t TruncateToInt(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
  return static_cast<int32_t>(value);
}

// Total and available physical memory in bytes, from the kernel's figures.
void ReadPhysicalMemory(double* total_bytes, double* available_bytes) {
  *total_bytes = 0;
  *available_bytes = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string name;
    double kilobytes = 0;
    fields >> name >> kilobytes;
    if (name == "MemTotal:") *total_bytes = kilobytes * 1024.0;
    if (name == "MemAvailable:") *available_bytes = kilobytes * 1024.0;
  }
}

// The window-mode client rectangle centred on the recorded desktop; the
// desktop draws the frame around the client area, so the frame adds
// nothing here.
WindowRectangle CentredClientRect(const WindowData& w) {
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  const double scale = GetWindowScale();
  const int32_t width = TruncateToInt(screen_w * scale);
  const int32_t height = TruncateToInt(screen_h * scale);
  WindowRectangle rect;
  rect.left = (w.desktop_width - width) / 2;
  rect.top = (w.desktop_height - height) / 2;
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  return rect;
}

// Where the screen lies on the desktop in full screen (the whole window).
struct FullScreenMapping {
  int64_t left = 0, top = 0, width = 1, height = 1;
  int64_t screen_width = 1, screen_height = 1;
};

FullScreenMapping GetFullScreenMapping() {
  FullScreenMapping map;
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  map.screen_width = screen_w > 0 ? screen_w : 1;
  map.screen_height = screen_h > 0 ? screen_h : 1;
  const platform::ClientRect actual = platform::GetMainWindowClientRect();
  map.left = actual.left;
  map.top = actual.top;
  map.width = actual.right > actual.left ? actual.right - actual.left : map.screen_width;
  map.height = actual.bottom > actual.top ? actual.bottom - actual.top : map.screen_height;
  return map;
}

}  // namespace

WindowData& GetWindowData() { return g_window_data; }

void ResetWindowData() {
  WindowData& w = g_window_data;
  w.window_mode = 1;
  w.window_scale = 1.0;
  w.run_in_background = 0;
  w.icon_number = 0;
  w.title.clear();
  w.class_name.clear();
  w.has_window = false;
  w.main_thread = std::thread::id();
  w.styled = 0;
  w.cursor_request = 0;
  w.cursor_visible = 1;
  w.wheel_count = 0;
  w.client_rect = WindowRectangle{};
  w.desktop_width = w.desktop_height = w.desktop_bits = 0;
  w.code_page_mode = 1;
  w.total_memory_mb = w.available_memory_mb = 0;
  w.video_card_name.clear();
  w.video_card_description.clear();
  w.video_memory = 0;
  w.active.store(0);
  w.exit_requested = 0;
  w.destroyed = 0;
  w.window_creating = 0;
  w.in_paint = 0;
  w.inactive_since = 0xFFFFFFFFu;
  w.inactive = 0;
  w.mode_change_in_progress = 0;
  w.display_change_seen = 0;
  w.lost_while_inactive = 0;
  ClearDroppedFiles();
  w.pass_guard = 0;
  g_instance_lock.Release();
}

void QueryScreenSize(int32_t* width, int32_t* height) {
  int32_t w = 640, h = 480, bits = 16;
  const auto& query = GetWindowServiceHooks().query_screen_mode;
  if (query) query(&w, &h, &bits);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}

int CreateMainWindow() {
  WindowData& w = g_window_data;
  // 1. Clear the window state; the settings made before survive.
  {
    const int32_t window_mode = w.window_mode;
    const double scale = w.window_scale;
    const int32_t background = w.run_in_background;
    const int32_t icon = w.icon_number;
    const std::string title = w.title;
    const std::string class_name = w.class_name;
    ResetWindowData();
    w.window_mode = window_mode;
    w.window_scale = scale;
    w.run_in_background = background;
    w.icon_number = icon;
    w.title = title;
    w.class_name = class_name;
  }
  w.inactive_since = 0xFFFFFFFFu;
  SetQuitFlag(0);
  ClearPostedMessages();
  // 2. The class name.
  if (w.class_name.empty()) w.class_name = w.title.empty() ? kDefaultWindowClassName : w.title;
  // 3. The main thread.
  w.main_thread = std::this_thread::get_id();
  // 4. Memory.
  double total = 0, available = 0;
  ReadPhysicalMemory(&total, &available);
  w.total_memory_mb = total / 1048576.0;
  w.available_memory_mb = available / 1048576.0;
  WriteLogF("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", w.total_memory_mb, w.available_memory_mb);
  {
    char available_text[64];
    std::snprintf(available_text, sizeof(available_text), "%.2fMB\n", w.available_memory_mb);
    WriteDebugOutput(available_text);
  }
  // 5. The desktop.
  if (!platform::StartVideo()) {
    WriteLog("ウインドウの作成に失敗しました\n");
    SetQuitFlag(1);
    return -1;
  }
  const platform::DesktopMode desktop = platform::GetDesktopMode();
  w.desktop_width = desktop.width;
  w.desktop_height = desktop.height;
  w.desktop_bits = desktop.bits_per_pixel;
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  // 6. The timer test (it pumps messages, which without a window only
  // reports the quit flag).
  TestTimerPrecision(&ProcessMessage);
  // 7.
  SeedMtRandom(platform::GetClock().Milliseconds());
  // 8.
  platform::SetScreenSaverEnabled(false);
  // 9. A second copy of the same game.
  WriteLog("ソフトの二重起動検査... ");
  if (g_instance_lock.TryAcquire(w.class_name) ==
      platform::InstanceLock::Result::kAlreadyRunning) {
    WriteLog("二重起動されています、ソフトを終了します\n");
    SetQuitFlag(1);
    return -1;
  }
  WriteLog("二重起動はされていませんでした\n");
  // 10. The window class has no counterpart here; its log lines stay.
  w.window_creating = 1;
  WriteLog("ウインドウクラスを登録します... ");
  WriteLog("登録に成功しました\n");
  // 11.
  if (w.title.empty()) w.title = "Orvex";
  // 12. The window.
  bool opened = false;
  if (w.window_mode != 0) {
    WriteLog("ウインドウモード起動用のウインドウを作成します\n");
    w.cursor_request = 1;
    const WindowRectangle rect = CentredClientRect(w);
    opened = platform::OpenMainWindow(w.title, rect.left, rect.top, rect.right - rect.left,
                                      rect.bottom - rect.top, false);
  } else {
    WriteLog("フルスクリーンモード用のウインドウを作成します\n");
    w.cursor_request = 0;
    opened = platform::OpenMainWindow(w.title, 0, 0, screen_w, screen_h, true);
  }
  if (!opened) {
    WriteLog("ウインドウの作成に失敗しました\n");
    w.window_creating = 0;
    g_instance_lock.Release();
    SetQuitFlag(1);
    return -1;
  }
  w.has_window = true;
  // 13.
  w.exit_requested = 0;
  w.destroyed = 0;
  w.active.store(1);
  SetQuitFlag(0);
  // 14.
  if (w.window_mode == 0) {
    WriteLog("カーソルを不可視にしました\n");
    platform::SetCursorVisible(false);
    w.cursor_visible = 0;
  }
  // 15.
  WriteLog("ＩＭＥを無効にしました\n");
  platform::SetImeEnabled(false);
  // 16.
  if (w.window_mode != 0) {
    const platform::ClientRect client = platform::GetMainWindowClientRect();
    w.client_rect = {client.left, client.top, client.right, client.bottom};
  } else {
    w.client_rect = {0, 0, screen_w, screen_h};
  }
  // 17.
  w.code_page_mode = 1;
  ShowMouseCursor(w.cursor_request);
  SetEndingFlag(0);
  // 18. Settle: pump for a while (sleeping between passes, so a test clock
  // moves on too).
  platform::RaiseMainWindow();
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.Milliseconds();
  while (clock.Milliseconds() - start < kCreationSettleMs) {
    if (ProcessMessage() != 0) break;
    clock.Sleep(1);
  }
  FitWindowToScreenSize();
  w.window_creating = 0;
  // 19.
  if (StartMessageThread() != 0 && IsMessageThreadEnabled()) {
    WriteLog("ProcessMessage をひたすら呼びつづけるスレッドの立ち上げに失敗しました\n");
  }
  return 0;
}

int StoreWindowModeFlag(int flag) {
  g_window_data.window_mode = flag;
  WriteLog(flag != 0 ? "ウインドウモードフラグが立てられました\n"
                     : "ウインドウモードフラグが倒されました\n");
  return 0;
}

int ChangeWindowMode(int flag) {
  WindowData& w = g_window_data;
  WriteLog("ChangeWindowMode実行 \n");
  if (flag == w.window_mode) return 0;
  w.styled = 1;
  StoreWindowModeFlag(flag);
  if (!w.has_window) return 0;
  w.mode_change_in_progress = 1;
  w.display_change_seen = 0;
  ApplyWindowStyle();
  int32_t result = 0;
  const auto& change = GetWindowServiceHooks().change_screen_mode_keep;
  if (change) result = change();
  // The display-mode change is synchronous and the desktop sends no display
  // change for it: its return is the signal the pass would wait for.
  w.display_change_seen = 1;
  ProcessMessage();
  w.mode_change_in_progress = 0;
  return result;
}

int ApplyWindowStyle() {
  WindowData& w = g_window_data;
  if (!w.has_window) return 0;
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  if (w.window_mode != 0) {
    WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
    platform::SetMainWindowFullScreen(false);
    WindowRectangle rect = CentredClientRect(w);
    // A client area left of or above the desktop moves to its edge.
    if (rect.left < 0) {
      rect.right -= rect.left;
      rect.left = 0;
    }
    if (rect.top < 0) {
      rect.bottom -= rect.top;
      rect.top = 0;
    }
    platform::SetMainWindowGeometry(rect.left, rect.top, rect.right - rect.left,
                                    rect.bottom - rect.top);
    w.client_rect = rect;
    ShowMouseCursor(1);
    WriteLog("完了\n");
  } else {
    WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    w.client_rect = {0, 0, screen_w, screen_h};
    platform::SetMainWindowGeometry(0, 0, screen_w, screen_h);
    platform::SetMainWindowFullScreen(true);
    ShowMouseCursor(0);
    WriteLog("完了\n");
  }
  platform::RaiseMainWindow();
  WindowMessage set_cursor;
  set_cursor.message = kWmSetCursor;
  PostWindowMessage(set_cursor);
  return 0;
}

int FitWindowToScreenSize() {
  WindowData& w = g_window_data;
  if (!w.has_window) return 0;
  double scale = 1.0;
  if (w.window_mode != 0) {
    if (!(w.window_scale > 0)) w.window_scale = 1.0;
    scale = w.window_scale;
  }
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  const int32_t width = TruncateToInt(screen_w * scale);
  const int32_t height = TruncateToInt(screen_h * scale);
  if (w.window_mode != 0) {
    const platform::ClientRect client = platform::GetMainWindowClientRect();
    platform::SetMainWindowGeometry(client.left, client.top, width, height);
    w.client_rect = {client.left, client.top, client.left + width, client.top + height};
    if (w.styled == 0) {
      w.styled = 1;
      ApplyWindowStyle();
    }
  }
  return 0;
}

int SetWindowScale(double scale) {
  WindowData& w = g_window_data;
  if (scale == w.window_scale) return 0;
  w.window_scale = scale > 0 ? scale : 1.0;
  if (w.window_mode != 0) ApplyWindowStyle();
  return 0;
}

double GetWindowScale() {
  WindowData& w = g_window_data;
  if (!(w.window_scale > 0)) w.window_scale = 1.0;
  return w.window_mode != 0 ? w.window_scale : 1.0;
}

int SetWindowCaption(const char* text) {
  WindowData& w = g_window_data;
  w.title = text != nullptr ? text : "";
  if (w.has_window) platform::SetMainWindowTitle(w.title);
  return 0;
}

int ChangeWindowIcon(int resource_number) {
  // The program carries no icon resources; the number is kept for the
  // window's class record only.
  g_window_data.icon_number = resource_number;
  return 0;
}

int SetRunInBackground(int flag) {
  g_window_data.run_in_background = flag;
  return 0;
}

int ShowMouseCursor(int flag) {
  WindowData& w = g_window_data;
  w.cursor_request = flag;
  const int32_t visible = flag == 1 ? 1 : 0;
  if (visible == w.cursor_visible) return 0;
  platform::SetCursorVisible(visible != 0);
  if (w.has_window) {
    WindowMessage set_cursor;
    set_cursor.message = kWmSetCursor;
    PostWindowMessage(set_cursor);
  }
  w.cursor_visible = visible;
  return 0;
}

int GetCursorRequest() { return g_window_data.cursor_request; }

int GetMousePosition(int* x, int* y) {
  WindowData& w = g_window_data;
  int32_t cx = 0, cy = 0;
  platform::GetCursorPosition(&cx, &cy);
  if (w.window_mode != 0) {
    const double scale = GetWindowScale();
    cx = TruncateToInt((cx - w.client_rect.left) / scale);
    cy = TruncateToInt((cy - w.client_rect.top) / scale);
  } else {
    // Full screen covers the desktop at its own size: desktop pixels are
    // brought back to screen pixels.
    const FullScreenMapping map = GetFullScreenMapping();
    cx = static_cast<int32_t>((int64_t{cx} - map.left) * map.screen_width / map.width);
    cy = static_cast<int32_t>((int64_t{cy} - map.top) * map.screen_height / map.height);
  }
  if (x != nullptr) *x = cx;
  if (y != nullptr) *y = cy;
  return 0;
}

int SetMousePosition(int x, int y) {
  WindowData& w = g_window_data;
  int32_t screen_w = 0, screen_h = 0;
  QueryScreenSize(&screen_w, &screen_h);
  if (x < 0) x = 0;
  if (x > screen_w) x = screen_w;
  if (y < 0) y = 0;
  if (y > screen_h) y = screen_h;
  if (w.window_mode != 0) {
    x += w.client_rect.left;
    y += w.client_rect.top;
  } else {
    const FullScreenMapping map = GetFullScreenMapping();
    x = static_cast<int>(map.left + int64_t{x} * map.width / map.screen_width);
    y = static_cast<int>(map.top + int64_t{y} * map.height / map.screen_height);
  }
  platform::WarpCursor(x, y);
  return 0;
}

int TakeMouseWheelCount() {
  const int count = g_window_data.wheel_count;
  g_window_data.wheel_count = 0;
  return count;
}

int GetWindowClientRect(WindowRectangle* rect) {
  if (rect != nullptr) *rect = g_window_data.client_rect;
  return 0;
}

int GetDesktopDisplayMode(int* width, int* height, int* bits) {
  const WindowData& w = g_window_data;
  if (width != nullptr) *width = w.desktop_width;
  if (height != nullptr) *height = w.desktop_height;
  if (bits != nullptr) *bits = w.desktop_bits;
  return 0;
}

int AutoShowMenu() {
  WindowData& w = g_window_data;
  if (w.window_mode != 0 || !w.has_window) return 0;
  ShowMouseCursor(w.cursor_request);
  return 0;
}

int ReadActiveFlag() { return g_window_data.active.load(); }
int IsWindowedMode() { return g_window_data.window_mode; }
int GetCloseRequestedFlag() { return g_window_data.exit_requested; }
bool HasMainWindowHandle() { return g_window_data.has_window; }
int IsWindowRegionSet() { return 0; }
int GetUseMenuFlag() { return 0; }

void ReleaseInstanceLock() { g_instance_lock.Release(); }

bool IsMainWindowThread() {
  return g_window_data.has_window && std::this_thread::get_id() == g_window_data.main_thread;
}
