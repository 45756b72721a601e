// The input method of the main window, standing in for the desktop's input
// context: switching text input on and off, where the input method shows
// its own window, and the composition, result and candidate list the engine
// reads while it handles an IME event. Texts are Shift-JIS; offsets are
// bytes of those texts. Characters without a Shift-JIS form are dropped.
//
// The desktop's composition and commit events arrive as window events
// (platform/window_events.h): kImeStartComposition, kImeComposition,
// kImeEndComposition, kImeResult and kImeNotify. The input context below
// changes when such an event is handed out by PollWindowEvent, so while the
// engine handles one event the context shows exactly what that event
// carried. SDL tells nothing of candidate lists or an open status: the input
// method is open exactly while it is enabled, and candidate lists come only
// from tests (SetImeCandidateListForTest with a kImeNotify event).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_events.h"

namespace platform {

// Notification codes carried by kImeNotify events (the values of the
// desktop's input-method notifications).
inline constexpr int32_t kImeNotifyChangeCandidate = 0x0003;
inline constexpr int32_t kImeNotifyCloseCandidate = 0x0004;
inline constexpr int32_t kImeNotifyOpenCandidate = 0x0005;
inline constexpr int32_t kImeNotifySetOpenStatus = 0x0008;
inline constexpr int32_t kImeNotifySetCandidatePos = 0x0009;

// Text input on or off for the main window. Off, the desktop sends neither
// composition nor typed text.
void SetImeEnabled(bool enabled);
bool IsImeEnabled();
// Open status: the same as enabled here.
bool IsImeOpen();
// Where the input method places its own window: a rectangle in client
// pixels of the main window (the caret).
void SetImeCaretRect(int32_t x, int32_t y, int32_t width, int32_t height);

// The input context.
struct ImeComposition {
  std::string text;                // Shift-JIS, empty when not composing
  int32_t cursor = 0;              // byte offset of the caret in text
  std::vector<uint32_t> clauses;   // clause start offsets and the end offset
};
const ImeComposition& CurrentImeComposition();
// The text of the last commit.
const std::string& CurrentImeResult();
bool IsImeComposing();

struct ImeCandidateList {
  std::vector<std::string> entries;  // Shift-JIS
  uint32_t selection = 0;
  uint32_t page_start = 0;
  uint32_t page_size = 0;
};
// The current candidate list; false when there is none.
bool GetImeCandidateList(ImeCandidateList* list);
// Tests: sets (or with null clears) the list the input method reports.
void SetImeCandidateListForTest(const ImeCandidateList* list);
// Forgets composition, result and candidate list (tests, window closing).
void ResetImeContext();

// The desktop's UTF-8 text as Shift-JIS, characters without a Shift-JIS
// form dropped. char_offsets, when given, receives the Shift-JIS byte offset
// of each UTF-8 character and one more for the end (a dropped character
// takes no bytes).
std::string Utf8ToSjisDropping(std::string_view utf8, std::vector<uint32_t>* char_offsets);

// For platform/window_events.cpp: the events one desktop composition
// update (cursor and selection in characters) or one commit stand for.
void TranslateTextEditing(std::string_view utf8, int32_t start, int32_t length,
                          std::vector<WindowEvent>* out);
void TranslateTextInput(std::string_view utf8, std::vector<WindowEvent>* out);

// Brings the input context up to date with an IME event being handed out
// (PollWindowEvent calls it); other events change nothing.
void ApplyImeEvent(const WindowEvent& event);

}  // namespace platform
