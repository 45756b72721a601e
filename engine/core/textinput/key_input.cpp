// Text-input handles, the ring, colours and the editing step.
#include "engine/core/textinput/key_input.h"

#include <cstring>

#include "engine/core/base/log.h"
#include "engine/core/base/text_helpers.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/clock.h"
#include "platform/ime.h"

namespace {

struct Rgb {
  int r, g, b;
};
// Start-up colours 1..12; colour 11 is colour 3.
constexpr Rgb kStartupColors[kKeyInputColorCount] = {
    {255, 255, 255}, {255, 255, 255}, {255, 255, 0}, {0, 255, 255},
    {255, 255, 255}, {255, 0, 0},     {255, 255, 20}, {0, 0, 0},
    {0, 0, 0},       {0, 0, 0},       {255, 255, 0}, {0, 0, 0},
};

TextInputState& State() {
  static TextInputState state;
  return state;
}

int CodePage() { return GetWindowData().code_page_mode; }

bool IsLead(const char* p) { return IsLeadByte(p, CodePage()) != 0; }

// Size of the character starting at offset (a lead byte at the very end
// counts alone).
int32_t CharSizeAt(const char* text, int32_t length, int32_t offset) {
  return IsLead(text + offset) && offset + 1 < length ? 2 : 1;
}

// Start of the character that ends at offset (offset > 0), found by walking
// from the start so a trail byte is never mistaken for a lead byte.
int32_t CharStartBefore(const char* text, int32_t length, int32_t offset) {
  int32_t start = 0;
  int32_t pos = 0;
  while (pos < offset) {
    start = pos;
    pos += CharSizeAt(text, length, pos);
  }
  return start;
}

void RemoveBytes(KeyInputRecord& r, int32_t from, int32_t count) {
  std::memmove(r.text + from, r.text + from + count,
               static_cast<size_t>(r.length - from - count));
  r.length -= count;
  r.text[r.length] = '\0';
}

// Inserts one typed character, as the handle's settings allow.
void InsertCharacter(KeyInputRecord& r, const uint8_t* bytes, int32_t size) {
  if (r.digits_only != 0) {
    const bool digit = size == 1 && bytes[0] >= '0' && bytes[0] <= '9';
    const bool minus = size == 1 && bytes[0] == '-' && r.caret == 0;
    if (!digit && !minus) return;
  }
  if (r.single_byte_only != 0 && size == 2) return;
  // A character larger than the whole field never fits.
  if (size > r.maximum) return;
  while (r.length + size > r.maximum) {
    const int32_t last = CharStartBefore(r.text, r.length, r.length);
    const bool caret_at_end = r.caret == r.length;
    RemoveBytes(r, last, r.length - last);
    if (caret_at_end || r.caret > r.length) r.caret = r.length;
  }
  std::memmove(r.text + r.caret + size, r.text + r.caret,
               static_cast<size_t>(r.length - r.caret));
  std::memcpy(r.text + r.caret, bytes, static_cast<size_t>(size));
  r.caret += size;
  r.length += size;
  r.text[r.length] = '\0';
}

void ApplyCharacter(KeyInputRecord& r, const uint8_t* bytes, int32_t size) {
  // A NUL would cut the text short.
  if (size == 2 && bytes[1] == 0) return;
  if (size == 1) {
    switch (bytes[0]) {
      case kEditBackspace:
        if (r.caret > 0) {
          const int32_t start = CharStartBefore(r.text, r.length, r.caret);
          const int32_t removed = r.caret - start;
          RemoveBytes(r, start, removed);
          r.caret = start;
        }
        return;
      case kEditDelete:
        if (r.caret < r.length) RemoveBytes(r, r.caret, CharSizeAt(r.text, r.length, r.caret));
        return;
      case kEditRight:
        if (r.caret < r.length) r.caret += CharSizeAt(r.text, r.length, r.caret);
        return;
      case kEditLeft:
        if (r.caret > 0) r.caret = CharStartBefore(r.text, r.length, r.caret);
        return;
      case kEditEnter:
        r.ended = 1;
        return;
      case kEditEscape:
        if (r.esc_cancels != 0) {
          r.cancelled = 1;
          r.ended = 1;
        }
        return;
      case kEditTab:
      case kEditUp:
      case kEditDown:
        return;
      case 0:
        return;
      default:
        break;
    }
  }
  InsertCharacter(r, bytes, size);
}

uint32_t NowMs() { return platform::GetClock().Milliseconds(); }

}  // namespace

KeyInputRecord::~KeyInputRecord() {
  if (text != nullptr) TrackedFree(text);
}

TextInputState& GetTextInputState() { return State(); }

int InitializeTextInput() {
  WriteLog("文字コードバッファの初期化を行います... ");
  TextInputState& s = State();
  s.records.Clear();
  s.records.counter().Reset();
  s.ring.Clear();
  s.composing = 0;
  s.composition_caret = 0;
  s.composition.fill('\0');
  s.saved_composition.fill('\0');
  s.candidates.reset();
  s.ime_enabled = 0;
  s.ime_open = 0;
  s.ime_restore_step = 0;
  s.clause_offsets.fill(0);
  s.clause_count = 0;
  s.composition_changed = 0;
  TextInputDrawing& drawing = GetTextInputDrawing();
  for (int i = 0; i < kKeyInputColorCount; ++i) {
    s.colors[static_cast<size_t>(i)] =
        drawing.PackColor(kStartupColors[i].r, kStartupColors[i].g, kStartupColors[i].b);
  }
  s.font = -1;
  s.active = -1;
  s.blink_enabled = 0;
  s.blink_start = 0;
  s.blink_period = kCaretBlinkPeriodMs;
  s.caret_visible = 1;
  s.update_running = 0;
  WriteLog("完了しました\n");
  return 0;
}

LibraryHandle CreateKeyInput(int32_t maximum_bytes, int32_t esc_cancels, int32_t single_byte_only,
                             int32_t digits_only) {
  TextInputState& s = State();
  const int slot = s.records.FirstFreeSlot();
  if (slot < 0) return -1;
  auto record = std::make_unique<KeyInputRecord>();
  record->maximum = maximum_bytes < 0 ? 0 : maximum_bytes;
  record->text = static_cast<char*>(
      TrackedCalloc(static_cast<size_t>(record->maximum) + 1, __FILE__, __LINE__));
  if (record->text == nullptr) return -1;
  record->esc_cancels = esc_cancels;
  record->single_byte_only = single_byte_only;
  record->digits_only = digits_only;
  const LibraryHandle handle = s.records.Insert(slot, std::move(record));
  if (handle < 0) return -1;
  if (s.ime_enabled == 0) EnableIme(1);
  FlushInputChars();
  return handle;
}

int RemoveKeyInput(LibraryHandle handle) {
  TextInputState& s = State();
  if (!s.records.Remove(handle)) return -1;
  if (s.active == handle) s.active = -1;
  if (s.records.live_count() == 0) EnableIme(0);
  return 0;
}

int RemoveAllKeyInputs() {
  TextInputState& s = State();
  for (int slot = 0; slot < s.records.capacity(); ++slot) {
    const LibraryHandle handle = s.records.HandleAt(slot);
    if (handle >= 0) RemoveKeyInput(handle);
  }
  s.active = -1;
  return 0;
}

int ActivateKeyInput(LibraryHandle handle) {
  TextInputState& s = State();
  KeyInputRecord* r = s.records.Find(handle);
  if (r == nullptr) return -1;
  s.active = handle;
  r->ended = 0;
  r->cancelled = 0;
  ResetCaretBlink();
  return 0;
}

int GetKeyInputState(LibraryHandle handle) {
  const KeyInputRecord* r = State().records.Find(handle);
  if (r == nullptr) return -1;
  if (r->cancelled != 0) return 2;
  return r->ended != 0 ? 1 : 0;
}

int CopyKeyInputText(char* buffer, int32_t buffer_size, LibraryHandle handle) {
  const KeyInputRecord* r = State().records.Find(handle);
  if (r == nullptr || buffer == nullptr || buffer_size < 1) return -1;
  int32_t count = 0;
  while (count < r->length) {
    const int32_t size = CharSizeAt(r->text, r->length, count);
    if (count + size > buffer_size - 1) break;
    count += size;
  }
  std::memcpy(buffer, r->text, static_cast<size_t>(count));
  buffer[count] = '\0';
  return 0;
}

int ConfigureKeyInputColors(const int64_t colors[kKeyInputColorCount]) {
  if (colors == nullptr) return 0;
  TextInputState& s = State();
  auto kept = [&](int i) {
    const uint64_t v = static_cast<uint64_t>(colors[i]);
    return (static_cast<uint32_t>(v) & static_cast<uint32_t>(v >> 32)) == 0xFFFFFFFFu;
  };
  for (int i = 0; i < kKeyInputColorCount; ++i) {
    if (!kept(i)) s.colors[static_cast<size_t>(i)] = static_cast<uint32_t>(colors[i]);
  }
  if (kept(10) && !kept(2)) s.colors[10] = s.colors[2];
  if (kept(11)) s.colors[11] = GetTextInputDrawing().PackColor(0, 0, 0);
  return 0;
}

int EnableIme(int flag) {
  TextInputState& s = State();
  const int32_t on = flag != 0 ? 1 : 0;
  if (on == s.ime_enabled) return 0;
  platform::SetImeEnabled(on != 0);
  s.ime_enabled = on;
  s.ime_open = platform::IsImeOpen() ? 1 : 0;
  if (on == 0) {
    s.candidates.reset();
    s.composition.fill('\0');
    s.clause_count = 0;
    s.composing = 0;
  }
  return 0;
}

int PushInputChar(uint8_t byte) { return State().ring.Push(byte) ? 0 : -1; }

int PushInputChars(const char* bytes, int32_t count) {
  if (bytes == nullptr) return 0;
  InputCharRing& ring = State().ring;
  int32_t pos = 0;
  while (pos < count) {
    const int32_t size = IsLead(bytes + pos) && pos + 1 < count ? 2 : 1;
    if (!ring.PushCharacter(reinterpret_cast<const uint8_t*>(bytes + pos), size)) break;
    pos += size;
  }
  return pos;
}

int PopInputChar(uint8_t out[2], int consume) {
  if (out == nullptr) return 0;
  return State().ring.PopCharacter(out, consume != 0, CodePage());
}

int FlushInputChars() {
  InputCharRing& ring = State().ring;
  for (;;) {
    if (ProcessMessage() != 0) break;
    uint8_t byte = 0;
    if (!ring.PopByte(&byte)) break;
    if (byte == 0) break;
    if (byte == 255) WriteLog("文字バッファエラー\n");
  }
  ring.Clear();
  return 0;
}

bool IsInputCharRingFull() { return State().ring.Full(); }

int IsControlCode(uint8_t byte) {
  switch (byte) {
    case kEditDelete:
    case kEditLeft:
    case kEditRight:
    case kEditUp:
    case kEditDown:
      return 1;
    default:
      return 0;
  }
}

int CountCharBytes(const char* text, int32_t n) {
  if (text == nullptr) return 0;
  int32_t pos = 0;
  for (int32_t chars = 0; chars < n && text[pos] != '\0'; ++chars) {
    pos += IsLead(text + pos) && text[pos + 1] != '\0' ? 2 : 1;
  }
  return pos;
}

int CountCharsInBytes(const char* text, int32_t n) {
  if (text == nullptr) return 0;
  int32_t pos = 0;
  int32_t chars = 0;
  while (pos < n && text[pos] != '\0') {
    pos += IsLead(text + pos) && text[pos + 1] != '\0' ? 2 : 1;
    ++chars;
  }
  return chars;
}

int ResetCaretBlink() {
  TextInputState& s = State();
  s.blink_start = NowMs();
  s.caret_visible = 1;
  return 0;
}

int UpdateKeyInput() {
  TextInputState& s = State();
  if (s.update_running != 0) return 0;
  // The input method's re-opening sequence: nothing to re-open here, so
  // the steps only run their course within this call.
  if (s.ime_restore_step == 1) {
    while (s.ime_restore_step != 0) s.ime_restore_step = (s.ime_restore_step + 1) % 5;
  }
  if (s.active == -1) return 0;
  KeyInputRecord* r = s.records.Find(s.active);
  if (r == nullptr) return -1;
  if (r->ended != 0) return 0;
  s.update_running = 1;
  uint8_t bytes[2] = {0, 0};
  while (r->ended == 0) {
    const int32_t size = s.ring.PopCharacter(bytes, true, CodePage());
    if (size == 0) break;
    ResetCaretBlink();
    ApplyCharacter(*r, bytes, size);
  }
  s.update_running = 0;
  return 0;
}

void RestartImeAfterActivation() {
  TextInputState& s = State();
  if (s.ime_enabled != 0 && s.ime_open != 0) s.ime_restore_step = 1;
}
