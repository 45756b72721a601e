// The message pass, the inactive-window wait and the window's shutdown.
#include "engine/core/window/message_pump.h"

#include <deque>

#include "engine/core/input/keyboard_input.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_thread.h"
#include "engine/core/input/pad_input.h"
#include "engine/core/window/window_procedure.h"
#include "engine/core/window/window_timers.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "platform/window_events.h"

namespace {

constexpr int kMessagesPerDrain = 5;
// DestroyMainWindow pumps at most this many passes before it closes the
// window itself.
constexpr int kShutdownPassLimit = 1000;

MessagePassTrace g_trace;
// Messages translated from one platform event that gave several; main
// thread only.
std::deque<WindowMessage> g_translated;

void Queue(uint32_t message, uint64_t wparam = 0, int64_t lparam = 0) {
  WindowMessage m;
  m.message = message;
  m.wparam = wparam;
  m.lparam = lparam;
  g_translated.push_back(std::move(m));
}

// The messages a platform event stands for, in the order the window would
// receive them.
void TranslateEvent(const platform::WindowEvent& e) {
  using Kind = platform::WindowEventKind;
  switch (e.kind) {
    case Kind::kActivated:
      Queue(kWmActivateApp, 1);
      Queue(kWmActivate, 1);
      break;
    case Kind::kDeactivated:
      Queue(kWmActivateApp, 0);
      Queue(kWmActivate, 0);
      break;
    case Kind::kMinimized:
      break;  // the loss of focus that goes with it deactivates the window
    case Kind::kCloseRequested:
      Queue(kWmClose);
      break;
    case Kind::kQuit:
      Queue(kWmQuit);
      break;
    case Kind::kKeyDown: {
      const uint32_t vk = VirtualKeyFromDik(static_cast<uint8_t>(e.key & 0xFF));
      if (vk != 0) Queue(kWmKeyDown, vk);
      break;
    }
    case Kind::kKeyUp: {
      const uint32_t vk = VirtualKeyFromDik(static_cast<uint8_t>(e.key & 0xFF));
      if (vk != 0) Queue(kWmKeyUp, vk);
      break;
    }
    case Kind::kCharacter:
      Queue(kWmChar, static_cast<uint64_t>(e.key & 0xFF));
      break;
    case Kind::kMouseWheel: {
      const int32_t delta = e.value > 0 ? 120 : -120;
      Queue(kWmMouseWheel, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16);
      break;
    }
    case Kind::kMouseMove:
      Queue(kWmMouseMove, 0, MakeLParam(e.x, e.y));
      break;
    case Kind::kMouseButtonDown:
    case Kind::kMouseButtonUp: {
      const bool down = e.kind == Kind::kMouseButtonDown;
      static constexpr uint32_t kDown[] = {kWmLButtonDown, kWmRButtonDown, kWmMButtonDown};
      static constexpr uint32_t kUp[] = {kWmLButtonUp, kWmRButtonUp, kWmMButtonUp};
      if (e.value >= 0 && e.value < 3) {
        Queue(down ? kDown[e.value] : kUp[e.value], 0, MakeLParam(e.x, e.y));
      }
      break;
    }
    case Kind::kFileDropped: {
      WindowMessage m;
      m.message = kWmDropFiles;
      m.text = e.text;
      g_translated.push_back(std::move(m));
      break;
    }
    case Kind::kExposed:
      Queue(kWmPaint);
      break;
    case Kind::kMoved:
      Queue(kWmMove, 0, MakeLParam(e.x, e.y));
      break;
    case Kind::kResized:
      Queue(kWmSize, 0, MakeLParam(e.x, e.y));
      break;
    case Kind::kImeStartComposition:
      Queue(kWmImeStartComposition);
      break;
    case Kind::kImeComposition:
      Queue(kWmImeComposition, 0, kGcsCompStr | kGcsCompClause | kGcsCursorPos);
      break;
    case Kind::kImeEndComposition:
      Queue(kWmImeEndComposition);
      break;
    case Kind::kImeResult:
      Queue(kWmImeComposition, 0, kGcsResultStr);
      break;
    case Kind::kImeNotify:
      Queue(kWmImeNotify, static_cast<uint64_t>(static_cast<uint32_t>(e.value)));
      break;
    case Kind::kDisplayChanged:
      Queue(kWmDisplayChange, static_cast<uint64_t>(e.value), MakeLParam(e.x, e.y));
      break;
  }
}

// The next message of the main thread's queue: posted messages first, then
// the window's events.
bool TakeNextMessage(WindowMessage* message) {
  if (TakePostedMessage(message)) return true;
  while (g_translated.empty()) {
    platform::WindowEvent event;
    if (!platform::PollWindowEvent(&event)) return false;
    TranslateEvent(event);
  }
  *message = std::move(g_translated.front());
  g_translated.pop_front();
  return true;
}

void Run(const std::function<void()>& hook) {
  if (hook) hook();
}

void RunNetworkAndSound() {
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  if (hooks.pump_network_window) hooks.pump_network_window(1);
  Run(hooks.run_http_tasks);
  Run(hooks.refill_all_stream_sounds);
}

}  // namespace

const MessagePassTrace& GetLastMessagePassTrace() { return g_trace; }

int ProcessMessage() {
  WindowData& w = GetWindowData();
  if (w.pass_guard != 0) return 0;
  if (!w.has_window) return GetQuitFlag() != 0 ? -1 : 0;

  const bool main_thread = IsMainWindowThread();
  platform::Clock& clock = platform::GetClock();
  MessagePassTrace trace;
  int counter = 0;
  bool idle = false;  // the previous sweep handled no message
  bool stamped = false;
  bool leave = false;
  while (!leave) {
    const bool goes_on = w.active.load() != 0 || w.run_in_background != 0 ||
                         w.exit_requested != 0;
    if (goes_on && (idle || GetQuitFlag() != 0)) break;
    const bool held = w.active.load() == 0 && w.run_in_background == 0;
    if (held && !stamped) {
      stamped = true;
      w.inactive_since = clock.Milliseconds();
      w.inactive = 1;
    }
    idle = true;
    if (held) clock.Sleep(1);
    int handled = 0;
    // Window messages belong to the main thread; the message thread only
    // runs the per-pass work.
    if (main_thread) {
      WindowMessage message;
      while (w.has_window && TakeNextMessage(&message)) {
        if (message.message == kWmActivateApp && w.window_mode != 0) {
          w.active.store((message.wparam & 0xFFFF) != 0 ? 1 : 0);
        }
        if (GetQuitFlag() != 0) {
          leave = true;
          break;
        }
        if (message.message == kWmQuit) {
          SetQuitFlag(1);
        } else {
          MainWindowProc(message);
        }
        ++handled;
        idle = false;
        if (++counter == kMessagesPerDrain) {
          counter = 0;
          break;
        }
      }
    }
    // Timers are messages of the main thread's queue.
    if (main_thread && !leave) RunDueWindowTimers();
    if (trace.sweeps < 16) trace.messages[trace.sweeps] = handled;
    ++trace.sweeps;
    if (leave) break;
    if (w.active.load() == 0) {
      RunNetworkAndSound();
      clock.Sleep(1);
    }
    if (GetQuitFlag() != 0 || !main_thread) break;
    // A destroyed window has no queue left to wait on.
    if (!w.has_window) break;
  }
  if (main_thread) g_trace = trace;

  if (main_thread) AutoShowMenu();
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  Run(hooks.refill_all_stream_sounds);
  Run(hooks.update_midi_play_state);
  UpdateJoypadVibration();
  if (hooks.pump_network_window) hooks.pump_network_window(1);
  Run(hooks.run_http_tasks);
  w.pass_guard = 1;
  Run(hooks.update_key_input);
  w.pass_guard = 0;
  return GetQuitFlag() != 0 ? -1 : 0;
}

int WaitWhileInactive() {
  WindowData& w = GetWindowData();
  if (w.in_paint != 0 || w.active.load() != 0) return 0;
  if (w.run_in_background != 0) {
    const auto& gdi = GetWindowServiceHooks().is_gdi_visible_mode;
    if ((gdi && gdi()) || w.window_mode != 0) return 0;
  }
  w.inactive_since = platform::GetClock().Milliseconds();
  w.inactive = 1;
  while (ProcessMessage() == 0 && w.active.load() == 0) {
  }
  RefreshAllGraphs();
  return 0;
}

int RefreshAllGraphs() {
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  if (GetInitializedFlag() == 0) return 0;
  if (hooks.is_display_lost && hooks.is_display_lost()) return 0;
  Run(hooks.refresh_all_graphs);
  return 0;
}

int DestroyMainWindow() {
  WindowData& w = GetWindowData();
  if (!w.has_window) {
    // The window may have been closed already (by the user); its message
    // thread still has to be waited for.
    JoinMessageThread();
    ReleaseInstanceLock();
    return 0;
  }
  platform::SetScreenSaverEnabled(true);
  ShowMouseCursor(1);
  PostCloseRequestOnce();
  int passes = 0;
  while (ProcessMessage() == 0) {
    if (++passes >= kShutdownPassLimit) {
      // The close request went missing: close the window directly.
      DestroyMainWindowNow();
      SetQuitFlag(1);
      break;
    }
  }
  if (w.has_window) DestroyMainWindowNow();
  Run(GetWindowServiceHooks().remove_all_key_inputs);
  ClearDroppedFiles();
  JoinMessageThread();
  ClearPostedMessages();
  g_translated.clear();
  ReleaseInstanceLock();
  w.has_window = false;
  return 0;
}
