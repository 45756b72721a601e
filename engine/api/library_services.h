// The library's own implementations of the service seams
// (engine/api/services): the main window and the input devices of the core
// layers, and the operating system through platform/. The services that
// have no engine yet (graphics, sound, text input, network) stay null here;
// each engine adds its service to LibraryServiceSet when it arrives.
// The player installs LibraryServiceSet() with InstallServices before
// StartLibrary; tests install their own sets (or none: every seam answers
// with its null implementation).
#pragma once

#include "engine/api/services/service_registry.h"

// The core window layer behind the window seam.
class LibraryWindowService final : public WindowService {
 public:
  int DesktopColorDepth() override;
  int WindowMode() override;
  int CreateMainWindow() override;
  void DestroyMainWindow() override;
  int ProcessMessage() override;
  void ForceForeground(int topmost) override;
};

// The core input layer behind the input seam.
class LibraryInputService final : public InputService {
 public:
  int Initialize() override;
  void Terminate() override;
  int CheckAnyInput(int flags) override;
};

// Every service the library has, for the player.
ServiceSet LibraryServiceSet();
