// Message boxes with a set of buttons and the answer chosen. With a display
// the box is shown through SDL and waits for the user; without one (tests,
// CI, SDL's dummy driver, a lost display) the text goes to stderr in UTF-8
// and the call returns the set's default answer (its first button) at once.
// Titles and texts are Shift-JIS.
#pragma once

#include <functional>
#include <string_view>

namespace platform {

enum class MessageBoxKind { kInformation, kWarning, kError };

// The button sets; the first button named is the default.
enum class MessageBoxButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel, kAbortRetryIgnore };

// The answers, numbered as the system's answer codes are.
enum class MessageBoxAnswer { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

// The answer a box of the set gets when nobody can choose.
MessageBoxAnswer DefaultMessageBoxAnswer(MessageBoxButtons buttons);

MessageBoxAnswer ShowMessageBox(std::string_view title, std::string_view text,
                                MessageBoxKind kind = MessageBoxKind::kError,
                                MessageBoxButtons buttons = MessageBoxButtons::kOk);
// The headless road whatever the display: the recorder, stderr and the
// default answer.
MessageBoxAnswer ShowHeadlessMessageBox(std::string_view title, std::string_view text,
                                        MessageBoxButtons buttons, MessageBoxKind kind);

// True when a real display can show windows (not the dummy/offscreen video
// drivers and not a machine without DISPLAY/WAYLAND_DISPLAY).
bool HasDisplay();

// Tests: every message box is handed to the recorder (Shift-JIS texts) in
// addition to its normal road. Pass an empty function to stop recording.
using MessageBoxRecorder = std::function<void(std::string_view title, std::string_view text)>;
void SetMessageBoxRecorder(MessageBoxRecorder recorder);

}  // namespace platform
