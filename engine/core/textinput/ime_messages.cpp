// Input-method messages.
#include "engine/core/textinput/ime_messages.h"

#include <algorithm>
#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/text_helpers.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/window_procedure.h"
#include "platform/ime.h"

namespace {

// Copies the input method's composition into the block, cut at a character
// boundary to fit its buffer with the NUL.
void ReadComposition(TextInputState& s) {
  const std::string& text = platform::CurrentImeComposition().text;
  const int code_page = GetWindowData().code_page_mode;
  size_t count = 0;
  while (count < text.size()) {
    const size_t size = IsLeadByte(text.data() + count, code_page) != 0 && count + 1 < text.size()
                            ? 2 : 1;
    if (count + size > static_cast<size_t>(kCompositionBytes - 1)) break;
    count += size;
  }
  std::memcpy(s.composition.data(), text.data(), count);
  s.composition[count] = '\0';
}

void FetchCandidates(TextInputState& s) {
  platform::ImeCandidateList list;
  if (!platform::GetImeCandidateList(&list)) {
    WriteLogF("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x\n", 0u, 0u);
    s.candidates.reset();
    return;
  }
  auto copy = std::make_unique<KeyInputCandidates>();
  copy->entries = std::move(list.entries);
  copy->selection = static_cast<int32_t>(list.selection);
  copy->page_start = static_cast<int32_t>(list.page_start);
  copy->page_size = static_cast<int32_t>(list.page_size);
  s.candidates = std::move(copy);
}

void HandleNotify(TextInputState& s, uint64_t code) {
  switch (static_cast<int32_t>(code)) {
    case platform::kImeNotifyOpenCandidate:
    case platform::kImeNotifyChangeCandidate:
    case platform::kImeNotifySetCandidatePos:
      FetchCandidates(s);
      break;
    case platform::kImeNotifyCloseCandidate:
      s.candidates.reset();
      break;
    case platform::kImeNotifySetOpenStatus:
      s.ime_open = platform::IsImeOpen() ? 1 : 0;
      break;
    default:
      break;
  }
}

void HandleComposition(TextInputState& s, int64_t flags) {
  if ((flags & kGcsCompStr) != 0) ReadComposition(s);
  if ((flags & kGcsResultStr) != 0) {
    const std::string& result = platform::CurrentImeResult();
    PushInputChars(result.data(), static_cast<int32_t>(result.size()));
    ReadComposition(s);
  }
  if ((flags & kGcsCursorPos) != 0) {
    s.composition_caret = CountCharsInBytes(s.composition.data(),
                                            platform::CurrentImeComposition().cursor);
  }
  if ((flags & kGcsCompClause) != 0) {
    const std::vector<uint32_t>& clauses = platform::CurrentImeComposition().clauses;
    const size_t count = std::min<size_t>(clauses.size(), kMaxClauseOffsets);
    std::copy_n(clauses.begin(), count, s.clause_offsets.begin());
    s.clause_count = static_cast<int32_t>(count);
  }
}

}  // namespace

int64_t HandleImeMessage(uint32_t message, uint64_t wparam, int64_t lparam) {
  TextInputState& s = GetTextInputState();
  s.composition_changed = 1;
  ResetCaretBlink();
  switch (message) {
    case kWmImeStartComposition:
      s.composing = 1;
      s.composition_caret = 0;
      return 0;
    case kWmImeEndComposition:
      s.composition.fill('\0');
      s.clause_count = 0;
      s.composition_caret = 0;
      s.composing = 0;
      return 0;
    case kWmImeComposition:
      HandleComposition(s, lparam);
      return 0;
    case kWmImeSetContext:
      // The input method shows none of its own windows: the field draws it.
      return 0;
    case kWmImeNotify:
      HandleNotify(s, wparam);
      return 0;
    default:
      return 0;
  }
}
