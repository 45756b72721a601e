// For other platform modules only (presentation, text input): the SDL window
// behind the main window, null while there is none.
#pragma once

struct SDL_Window;

namespace platform {

SDL_Window* GetSdlMainWindow();

}  // namespace platform
