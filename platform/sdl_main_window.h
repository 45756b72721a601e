// For other platform modules only (presentation, text input): the SDL window
// behind the main window, null while there is none.
#pragma once

struct SDL_Window;

namespace platform {

SDL_Window* GetSdlMainWindow();

// Hooks of the presentation module (no-argument functions; null removes).
// The drained hook runs on the main thread each time PollWindowEvent finds
// no event left, which ends every sweep of a message pass; the closing hook
// runs in CloseMainWindow just before the SDL window is destroyed.
using MainWindowHook = void (*)();
void SetWindowEventsDrainedHook(MainWindowHook hook);
void SetMainWindowClosingHook(MainWindowHook hook);

}  // namespace platform
