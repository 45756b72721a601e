// The window seam: what start-up, shutdown and the message entry points ask
// of the main window. The core window layer's operations stand behind it
// (the entry layer's LibraryWindowService); NullWindowService is a window
// that exists in name only: creating it clears the library's quit flag,
// destroying it sets the flag, and a message pass answers -1 once the flag
// is set. Main thread, under ApiLock.
#pragma once

#include "engine/core/base/library_state.h"

class WindowService {
 public:
  // Bits per pixel of the desktop.
  virtual int DesktopColorDepth() = 0;
  // 1 while window mode (not full screen) is selected.
  virtual int WindowMode() = 0;
  // Creates the main window (and starts the message thread); -1 failure.
  virtual int CreateMainWindow() = 0;
  // Destroys the main window and waits for the message thread to end.
  virtual void DestroyMainWindow() = 0;
  // One message pass: 0 while the program goes on, -1 once it quits.
  virtual int ProcessMessage() = 0;
  // Brings the window to the foreground; topmost 1 also makes it topmost.
  virtual void ForceForeground(int topmost) = 0;

 protected:
  constexpr WindowService() = default;
  ~WindowService() = default;
};

class NullWindowService : public WindowService {
 public:
  constexpr NullWindowService() = default;
  int DesktopColorDepth() override { return 32; }
  int WindowMode() override { return 1; }
  int CreateMainWindow() override {
    SetQuitFlag(0);
    return 0;
  }
  void DestroyMainWindow() override { SetQuitFlag(1); }
  int ProcessMessage() override { return GetQuitFlag() != 0 ? -1 : 0; }
  void ForceForeground(int) override {}
};
