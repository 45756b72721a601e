// Translation of SDL's events into window events, and the injected-event
// queue of the tests.
#include "platform/window_events.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/display_connection.h"
#include "platform/ime.h"
#include "platform/input_devices.h"
#include "platform/scan_codes.h"
#include "platform/sdl_main_window.h"
#include "platform/text_encoding.h"
#include "platform/window.h"

namespace platform {
namespace {

std::atomic<MainWindowHook> g_drained_hook{nullptr};
std::mutex g_injected_mutex;
std::deque<WindowEvent> g_injected;
// Events already translated from one SDL event that gave several (a
// composition update, keys with a control character). Main thread only.
std::deque<WindowEvent> g_translated;

WindowEvent MakeEvent(WindowEventKind kind) {
  WindowEvent event;
  event.kind = kind;
  return event;
}

// The control character the desktop's key translation gives a key, 0 for
// none (printable text arrives as text input).
int ControlCharacterOf(SDL_Scancode scancode) {
  switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      return 0x0D;
    case SDL_SCANCODE_BACKSPACE:
      return 0x08;
    case SDL_SCANCODE_TAB:
      return 0x09;
    case SDL_SCANCODE_ESCAPE:
      return 0x1B;
    default:
      return 0;
  }
}

// Typed text and composition go through the input-method stand-in.
template <typename Fn>
void TranslateIme(Fn&& translate) {
  std::vector<WindowEvent> events;
  translate(&events);
  for (WindowEvent& event : events) g_translated.push_back(std::move(event));
}

void TranslateWindowEvent(const SDL_WindowEvent& w) {
  SDL_Window* window = GetSdlMainWindow();
  if (window == nullptr || SDL_GetWindowID(window) != w.windowID) return;
  switch (w.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      // Without a display the window counts as active for ever.
      if (!IsHeadlessVideo()) g_translated.push_back(MakeEvent(WindowEventKind::kActivated));
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (!IsHeadlessVideo()) g_translated.push_back(MakeEvent(WindowEventKind::kDeactivated));
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      if (!IsHeadlessVideo()) g_translated.push_back(MakeEvent(WindowEventKind::kMinimized));
      break;
    case SDL_WINDOWEVENT_CLOSE:
      g_translated.push_back(MakeEvent(WindowEventKind::kCloseRequested));
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      g_translated.push_back(MakeEvent(WindowEventKind::kExposed));
      break;
    case SDL_WINDOWEVENT_MOVED: {
      WindowEvent event = MakeEvent(WindowEventKind::kMoved);
      event.x = w.data1;
      event.y = w.data2;
      g_translated.push_back(event);
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      WindowEvent event = MakeEvent(WindowEventKind::kResized);
      event.x = w.data1;
      event.y = w.data2;
      g_translated.push_back(event);
      break;
    }
    default:
      break;
  }
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      // A signal or the session ending: handled as a close request.
      g_translated.push_back(MakeEvent(WindowEventKind::kCloseRequested));
      break;
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      NoteKeyboardChange();
      const bool down = e.type == SDL_KEYDOWN;
      WindowEvent event = MakeEvent(down ? WindowEventKind::kKeyDown : WindowEventKind::kKeyUp);
      event.key = DikFromScancode(e.key.keysym.scancode);
      event.repeat = e.key.repeat != 0;
      g_translated.push_back(event);
      if (down) {
        const int control = ControlCharacterOf(e.key.keysym.scancode);
        if (control != 0) {
          WindowEvent character = MakeEvent(WindowEventKind::kCharacter);
          character.key = control;
          g_translated.push_back(character);
        }
      }
      break;
    }
    case SDL_TEXTINPUT:
      TranslateIme([&](std::vector<WindowEvent>* out) { TranslateTextInput(e.text.text, out); });
      break;
    case SDL_TEXTEDITING:
      TranslateIme([&](std::vector<WindowEvent>* out) {
        TranslateTextEditing(e.edit.text, e.edit.start, e.edit.length, out);
      });
      break;
    case SDL_TEXTEDITING_EXT:
      if (e.editExt.text != nullptr) {
        TranslateIme([&](std::vector<WindowEvent>* out) {
          TranslateTextEditing(e.editExt.text, e.editExt.start, e.editExt.length, out);
        });
        SDL_free(e.editExt.text);
      }
      break;
    case SDL_MOUSEWHEEL: {
      int32_t notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0) break;
      WindowEvent event = MakeEvent(WindowEventKind::kMouseWheel);
      event.value = notches;
      g_translated.push_back(event);
      break;
    }
    case SDL_MOUSEMOTION: {
      WindowEvent event = MakeEvent(WindowEventKind::kMouseMove);
      event.x = e.motion.x;
      event.y = e.motion.y;
      g_translated.push_back(event);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = -1;
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: button = 0; break;
        case SDL_BUTTON_RIGHT: button = 1; break;
        case SDL_BUTTON_MIDDLE: button = 2; break;
        case SDL_BUTTON_X1: button = 3; break;
        case SDL_BUTTON_X2: button = 4; break;
        default: break;
      }
      if (button < 0) break;
      WindowEvent event = MakeEvent(e.type == SDL_MOUSEBUTTONDOWN
                                        ? WindowEventKind::kMouseButtonDown
                                        : WindowEventKind::kMouseButtonUp);
      event.value = button;
      event.x = e.button.x;
      event.y = e.button.y;
      g_translated.push_back(event);
      break;
    }
    case SDL_DROPFILE: {
      if (e.drop.file != nullptr) {
        WindowEvent event = MakeEvent(WindowEventKind::kFileDropped);
        event.text = Utf8ToSjis(e.drop.file);
        SDL_free(e.drop.file);
        g_translated.push_back(event);
      }
      break;
    }
    case SDL_DROPTEXT:
      if (e.drop.file != nullptr) SDL_free(e.drop.file);
      break;
    default:
      break;
  }
}

}  // namespace

bool PollWindowEvent(WindowEvent* event) {
  {
    std::lock_guard<std::mutex> lock(g_injected_mutex);
    if (!g_injected.empty()) {
      *event = std::move(g_injected.front());
      g_injected.pop_front();
      ApplyImeEvent(*event);
      return true;
    }
  }
  // A lost display is a close request, reported once; nothing more is read
  // from it.
  if (g_translated.empty() && !DisplayConnectionLost() && SDL_WasInit(SDL_INIT_EVENTS) != 0) {
    SDL_Event e;
    while (g_translated.empty() && !DisplayConnectionLost() && SDL_PollEvent(&e) != 0) Translate(e);
  }
  if (g_translated.empty() && TakeDisplayLossReport()) {
    g_translated.push_back(MakeEvent(WindowEventKind::kCloseRequested));
  }
  if (g_translated.empty()) {
    if (MainWindowHook hook = g_drained_hook.load(); hook != nullptr) hook();
    return false;
  }
  *event = std::move(g_translated.front());
  g_translated.pop_front();
  ApplyImeEvent(*event);
  return true;
}

void SetWindowEventsDrainedHook(MainWindowHook hook) { g_drained_hook.store(hook); }

void PushWindowEvent(const WindowEvent& event) {
  std::lock_guard<std::mutex> lock(g_injected_mutex);
  g_injected.push_back(event);
}

void ClearInjectedWindowEvents() {
  std::lock_guard<std::mutex> lock(g_injected_mutex);
  g_injected.clear();
}

}  // namespace platform
