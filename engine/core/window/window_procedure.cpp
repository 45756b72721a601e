// The main window's procedure and the posted-message queue.
#include "engine/core/window/window_procedure.h"

#include <cstring>
#include <deque>
#include <mutex>

#include "engine/core/input/input_setup.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/input/pad_input.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/api/services/service_registry.h"
#include "platform/display/device_context.h"
#include "platform/window.h"

namespace {

std::mutex g_posted_mutex;
std::deque<WindowMessage> g_posted;

uint32_t LowWord(uint64_t value) { return static_cast<uint32_t>(value & 0xFFFF); }
uint32_t HighWord(uint64_t value) { return static_cast<uint32_t>((value >> 16) & 0xFFFF); }

void HideCursorWhileRequested() {
  WindowData& w = GetWindowData();
  if (w.cursor_visible == 0) platform::SetCursorVisible(false);
}

void HandleActivate(uint64_t wparam) {
  WindowData& w = GetWindowData();
  const bool becoming_active = LowWord(wparam) != 0;
  w.active.store(becoming_active ? 1 : 0);
  if (w.window_creating != 0) return;
  GraphicsService& graphics = GetGraphicsService();
  if (becoming_active) {
    GetTextInputService().RestartImeAfterActivation();
    graphics.RestoreLostSurfaces2D();
    graphics.RestoreLostSurfaces3D();
    if (w.window_mode == 0 && GetInitializedFlag() != 0) {
      if (HighWord(wparam) == 0) graphics.RebuildGraphicsAfterLoss();
      w.lost_while_inactive = 0;
    } else {
      graphics.ResumeAllMovies();
    }
    ReacquireInputDevices();
  } else {
    const bool full_screen = w.window_mode == 0;
    if (full_screen && graphics.IsDisplayModeChanged() && !graphics.IsDirectDrawUsed()) {
      graphics.ReleaseDirectDrawObject();
      platform::MinimizeMainWindow();
    }
    if (full_screen && graphics.IsDisplayModeChanged() && graphics.HasDirectDraw()) {
      if (!graphics.IsGraphReloaderSet()) {
        WriteLog("復元関数が登録されていないため終了します\n");
        PostCloseRequestOnce();
        return;
      }
      w.lost_while_inactive = 1;
    } else {
      graphics.PauseAllMovies();
      ReacquireInputDevices();
    }
  }
  ApplyJoypadEffects();
}

void HandlePaint() {
  WindowData& w = GetWindowData();
  if (w.window_mode == 0) return;
  w.in_paint = 1;
  // Before start-up has finished the client area is painted black;
  // afterwards the back screen is shown again.
  GraphicsService& graphics = GetGraphicsService();
  if (GetInitializedFlag() == 0) {
    const platform::ClientRect client = platform::GetMainWindowClientRect();
    platform::display::DeviceContextPtr dc = platform::display::GetWindowDC();
    platform::display::FillBlack(dc.get(), 0, 0, client.right - client.left, client.bottom - client.top);
  } else if (graphics.GetDrawTarget() == -2) {
    graphics.PresentBackScreenForPaint();
  }
  w.in_paint = 0;
}

void HandleDisplayChange(uint64_t wparam, int64_t lparam) {
  WindowData& w = GetWindowData();
  if (w.window_mode == 0 || w.mode_change_in_progress != 0) {
    w.display_change_seen = 1;
    return;
  }
  GraphicsService& graphics = GetGraphicsService();
  int32_t width = 640, height = 480, bits = 16;
  graphics.QueryScreenMode(&width, &height, &bits);
  const int32_t new_bits = static_cast<int32_t>(wparam);
  const int32_t new_width = static_cast<int32_t>(LowWord(static_cast<uint64_t>(lparam)));
  const int32_t new_height = static_cast<int32_t>(HighWord(static_cast<uint64_t>(lparam)));
  if (new_bits == bits && new_width == width && new_height == height) {
    w.display_change_seen = 1;
    return;
  }
  const bool refused = !graphics.IsGraphReloaderSet() || new_bits == 24 ||
                       (new_bits == 8 && bits != 8) || new_width < width || new_height < height;
  if (refused) {
    WriteLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
    WriteLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
    PostCloseRequestOnce();
    return;
  }
  graphics.ReleaseAllMovieStreams();
  graphics.SetupScreenColorFormat();
  graphics.RebuildGraphicsAfterLoss();
  graphics.ResumeAllMovies();
  w.display_change_seen = 1;
}

void PushChar(uint8_t code) { GetTextInputService().PushInputChar(code); }

void HandleKeyDown(uint64_t wparam) {
  if (GetTextInputService().IsInputCharRingFull()) return;
  switch (static_cast<uint32_t>(wparam)) {
    case kVkDelete: PushChar(0x10); break;
    case kVkLeft: PushChar(0x1D); break;
    case kVkRight: PushChar(0x1C); break;
    case kVkUp: PushChar(0x1E); break;
    case kVkDown: PushChar(0x1F); break;
    default: break;
  }
}

void HandleChar(uint64_t wparam) {
  const uint32_t code = static_cast<uint32_t>(wparam);
  if (code == 0x0A) {
    PushChar(0x0D);
  } else if (code >= 0x20 || code == 0x08 || code == 0x09 || code == 0x0D || code == 0x10 ||
             code == 0x1B) {
    PushChar(static_cast<uint8_t>(code));
  }
}

void HandleDropFiles(const std::string& name) {
  WindowData& w = GetWindowData();
  if (static_cast<int>(w.dropped_files.size()) >= kMaxDroppedFiles) return;
  char* block = static_cast<char*>(TrackedAlloc(name.size() + 1, __FILE__, __LINE__));
  if (block == nullptr) return;
  std::memcpy(block, name.c_str(), name.size() + 1);
  w.dropped_files.push_back(block);
}

}  // namespace

void PostWindowMessage(const WindowMessage& message) {
  std::lock_guard<std::mutex> lock(g_posted_mutex);
  g_posted.push_back(message);
}

void PostCloseRequestOnce() {
  WindowData& w = GetWindowData();
  if (w.exit_requested != 0) return;
  w.exit_requested = 1;
  WindowMessage close;
  close.message = kWmClose;
  PostWindowMessage(close);
}

bool TakePostedMessage(WindowMessage* message) {
  std::lock_guard<std::mutex> lock(g_posted_mutex);
  if (g_posted.empty()) return false;
  *message = std::move(g_posted.front());
  g_posted.pop_front();
  return true;
}

void ClearPostedMessages() {
  std::lock_guard<std::mutex> lock(g_posted_mutex);
  g_posted.clear();
}

void DestroyMainWindowNow() {
  WindowData& w = GetWindowData();
  if (!w.has_window) return;
  platform::CloseMainWindow();
  WindowMessage destroy;
  destroy.message = kWmDestroy;
  MainWindowProc(destroy);
  w.has_window = false;
}

int64_t MainWindowProc(const WindowMessage& m) {
  WindowData& w = GetWindowData();
  switch (m.message) {
    case kWmDestroy: {
      WriteLog("ウインドウが破棄されようとしています\n");
      w.destroyed = 1;
      WriteLog("ソフトを終了する準備が整いました\n");
      WindowMessage quit;
      quit.message = kWmQuit;
      PostWindowMessage(quit);
      SetQuitFlag(1);
      return 0;
    }
    case kWmMove:
      if (w.window_mode != 0 && w.mode_change_in_progress == 0) UpdateWindowClientRect(m.lparam);
      return 0;
    case kWmSize:
      if (m.wparam != kSizeMaximized) FitWindowToScreenSize();
      return 0;
    case kWmActivate:
      HandleActivate(m.wparam);
      return 0;
    case kWmPaint:
      HandlePaint();
      return 0;
    case kWmClose:
      WriteLog("ウインドウを閉じようとしています\n");
      DestroyMainWindowNow();
      return 0;
    case kWmActivateApp:
      if (m.wparam == 0) HandleActivate(0);
      return 0;
    case kWmSetCursor:
    case kWmMouseMove:
    case kWmLButtonDown:
    case kWmLButtonUp:
    case kWmRButtonDown:
    case kWmRButtonUp:
    case kWmMButtonDown:
    case kWmMButtonUp:
      HideCursorWhileRequested();
      return 0;
    case kWmDisplayChange:
      HandleDisplayChange(m.wparam, m.lparam);
      return 0;
    case kWmKeyDown:
      HandleKeyDown(m.wparam);
      return 0;
    case kWmChar:
      HandleChar(m.wparam);
      return 0;
    case kWmSysCommand:
      if ((m.wparam & 0xFFF0) == kScScreenSave || (m.wparam & 0xFFF0) == kScMonitorPower) return 1;
      return 0;
    case kWmMouseWheel: {
      const int16_t delta = static_cast<int16_t>(HighWord(m.wparam));
      w.wheel_count += delta > 0 ? 1 : -1;
      return 0;
    }
    case kWmMoving:
      // The desktop moves the window itself; a full-screen window is not
      // movable, which the platform window already keeps.
      return 0;
    case kWmDropFiles:
      HandleDropFiles(m.text);
      return 0;
    case kWmImeStartComposition:
    case kWmImeEndComposition:
    case kWmImeComposition:
    case kWmImeSetContext:
    case kWmImeNotify:
      return GetTextInputService().HandleImeMessage(m.message, m.wparam, m.lparam);
    case kMmMciNotify:
      GetSoundService().HandleMciNotify(m.wparam, m.lparam);
      return 0;
    case kWmF10Flag:
      if (m.wparam == 1) {
        SetF10Flag();
      } else {
        ClearF10Flag();
      }
      return 0;
    case kWmHookFlag2:
      if (m.wparam == 1) {
        SetHookFlag2();
      } else {
        ClearHookFlag2();
      }
      return 0;
    case kWmSocketEvent:
      return GetNetworkService().HandleSocketEvent(m.wparam, m.lparam);
    default:
      return 0;
  }
}

int UpdateWindowClientRect(int64_t lparam) {
  WindowData& w = GetWindowData();
  const platform::ClientRect client = platform::GetMainWindowClientRect();
  const int32_t width = client.right - client.left;
  const int32_t height = client.bottom - client.top;
  const int32_t x = static_cast<int16_t>(LowWord(static_cast<uint64_t>(lparam)));
  const int32_t y = static_cast<int16_t>(HighWord(static_cast<uint64_t>(lparam)));
  w.client_rect = {x, y, x + width, y + height};
  GraphicsService& graphics = GetGraphicsService();
  if (graphics.GetDrawTarget() == -4) graphics.FollowClientRect(w.client_rect);
  return 0;
}

int ClearDroppedFiles() {
  WindowData& w = GetWindowData();
  for (char* block : w.dropped_files) TrackedFree(block);
  w.dropped_files.clear();
  return 0;
}

int GetDroppedFileCount() { return static_cast<int>(GetWindowData().dropped_files.size()); }

const char* GetDroppedFileName(int index) {
  const WindowData& w = GetWindowData();
  if (index < 0 || index >= static_cast<int>(w.dropped_files.size())) return nullptr;
  return w.dropped_files[static_cast<size_t>(index)];
}
