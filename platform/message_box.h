// Message boxes. With a display the box is shown through SDL and waits for
// the user; without one (tests, CI, SDL's dummy driver) the text goes to
// stderr in UTF-8 and the call returns at once. Titles and texts are
// Shift-JIS.
#pragma once

#include <functional>
#include <string_view>

namespace platform {

enum class MessageBoxKind { kInformation, kWarning, kError };

void ShowMessageBox(std::string_view title, std::string_view text,
                    MessageBoxKind kind = MessageBoxKind::kError);

// True when a real display can show windows (not the dummy/offscreen video
// drivers and not a machine without DISPLAY/WAYLAND_DISPLAY).
bool HasDisplay();

// Tests: every message box is handed to the recorder (Shift-JIS texts) in
// addition to its normal road. Pass an empty function to stop recording.
using MessageBoxRecorder = std::function<void(std::string_view title, std::string_view text)>;
void SetMessageBoxRecorder(MessageBoxRecorder recorder);

}  // namespace platform
