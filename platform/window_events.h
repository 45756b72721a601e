// The events of the main window, translated from the desktop's events into
// what the engine's window procedure handles. They are read on the main
// thread only. Tests push events of their own from any thread; pushed events
// are handed out before the desktop's, in the order pushed.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class WindowEventKind {
  kActivated,       // the window became the active application
  kDeactivated,
  kMinimized,       // deactivated because it was minimised
  kCloseRequested,  // the user asked to close the window
  kKeyDown,         // key: DIK code; repeat: auto-repeat
  kKeyUp,
  kCharacter,       // key: one byte of typed text (Shift-JIS or a control code)
  kMouseWheel,      // value: notches, positive away from the user
  kMouseMove,       // x, y: client coordinates
  kMouseButtonDown, // value: 0 left, 1 right, 2 middle, 3 and 4 side buttons
  kMouseButtonUp,
  kFileDropped,     // text: Shift-JIS path
  kExposed,         // the window needs repainting
  kMoved,           // x, y: new client position in desktop coordinates
  kResized,         // x, y: new client size
  kDisplayChanged,  // x, y: desktop size; value: bits per pixel
  kQuit,            // the desktop asked the program to end
  // The input method (platform/ime.h); texts are Shift-JIS, offsets bytes.
  kImeStartComposition,
  kImeComposition,  // text: composition; value: caret; x, y: selected part
  kImeEndComposition,
  kImeResult,       // text: the committed text
  kImeNotify,       // value: notification code (kImeNotify... of ime.h)
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::kExposed;
  int32_t key = 0;
  int32_t value = 0;
  int32_t x = 0;
  int32_t y = 0;
  bool repeat = false;
  std::string text;
};

// The next event, injected ones first; false when none is waiting.
bool PollWindowEvent(WindowEvent* event);
// Any thread: queues an event as if the desktop had sent it.
void PushWindowEvent(const WindowEvent& event);
// Drops every injected event not yet handed out (tests).
void ClearInjectedWindowEvents();

}  // namespace platform
