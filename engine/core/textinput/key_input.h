// Line editing for the game's text input: up to 20 text-input handles
// (HandleType 10), the typed-character ring that feeds them, the input
// method's composition and candidate list as the window procedure reports
// them, and the colours the input field is drawn in. Text is Shift-JIS:
// a lead byte and the byte after it form one character, and every length,
// maximum and caret here counts bytes and never stops inside a character.
//
// The window procedure pushes bytes into the ring (PushInputChar); once per
// message pass UpdateKeyInput applies them to the active handle. Everything
// runs under ApiLock on the thread that pumps the main window. The input
// method is switched on exactly while at least one handle exists.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/core/textinput/input_char_ring.h"

struct KeyInputRecord {
  KeyInputRecord() = default;
  KeyInputRecord(const KeyInputRecord&) = delete;
  KeyInputRecord& operator=(const KeyInputRecord&) = delete;
  ~KeyInputRecord();

  int32_t ended = 0;       // set by Enter or Esc
  int32_t cancelled = 0;   // set by Esc
  int32_t length = 0;      // bytes of text
  int32_t maximum = 0;     // bytes, never below 0
  int32_t caret = 0;       // bytes, on a character boundary
  char* text = nullptr;    // tracked block of maximum + 1 bytes, NUL-terminated
  int32_t esc_cancels = 0;
  int32_t single_byte_only = 0;
  int32_t digits_only = 0;
};

// The candidate list of the input method.
struct KeyInputCandidates {
  std::vector<std::string> entries;  // Shift-JIS
  int32_t selection = 0;
  int32_t page_start = 0;
  int32_t page_size = 0;
};

inline constexpr int kCompositionBytes = 1024;
inline constexpr int kMaxClauseOffsets = 256;
inline constexpr int kKeyInputColorCount = 12;
inline constexpr uint32_t kCaretBlinkPeriodMs = 500;

// The one text-input block.
struct TextInputState {
  InputCharRing ring;
  int32_t composing = 0;
  int32_t composition_caret = 0;     // characters
  std::array<char, kCompositionBytes> composition{};        // NUL-terminated
  std::array<char, kCompositionBytes> saved_composition{};
  std::unique_ptr<KeyInputCandidates> candidates;          // null: none
  int32_t ime_enabled = 0;
  int32_t ime_open = 0;
  int32_t ime_restore_step = 0;      // 0..4
  std::array<uint32_t, kMaxClauseOffsets> clause_offsets{};
  int32_t clause_count = 0;
  int32_t composition_changed = 0;
  // Colours 1..12 at indexes 0..11, as screen colours.
  std::array<uint32_t, kKeyInputColorCount> colors{};
  int32_t blink_enabled = 0;
  uint32_t blink_start = 0;          // milliseconds
  uint32_t blink_period = kCaretBlinkPeriodMs;
  int32_t caret_visible = 1;
  LibraryHandle active = -1;
  int32_t font = -1;                 // -1: the standard font
  HandleTable<KeyInputRecord> records{HandleType::kTextInput};
  int32_t update_running = 0;        // UpdateKeyInput is not re-entered
};

TextInputState& GetTextInputState();

// Clears the block, sets the start-up colours, font -1, no active handle,
// blink off with a 500 ms period and the caret shown. 0.
int InitializeTextInput();

// A handle, or -1 when all 20 are used or the text cannot be allocated. A
// maximum below 0 counts as 0. Switches the input method on and empties the
// ring.
LibraryHandle CreateKeyInput(int32_t maximum_bytes, int32_t esc_cancels, int32_t single_byte_only,
                             int32_t digits_only);
// 0, or -1 for a bad handle. Removing the last handle switches the input
// method off.
int RemoveKeyInput(LibraryHandle handle);
int RemoveAllKeyInputs();
// Makes the handle the one being edited and lets it edit again. 0 or -1.
int ActivateKeyInput(LibraryHandle handle);
// 2 cancelled, 1 ended, 0 editing, -1 bad handle.
int GetKeyInputState(LibraryHandle handle);
// Copies the text, cut at a character boundary to fit buffer_size bytes
// with its NUL. 0, or -1 for a bad handle, no buffer or a size below 1.
int CopyKeyInputText(char* buffer, int32_t buffer_size, LibraryHandle handle);
// Twelve colours as 64-bit values: a value whose two halves AND to all ones
// keeps that colour, any other stores its low half. Colour 11 left alone
// takes colour 3 when colour 3 is given; colour 12 left alone becomes black.
int ConfigureKeyInputColors(const int64_t colors[kKeyInputColorCount]);
// The input method on or off; off also drops the candidate list and the
// composition. 0.
int EnableIme(int flag);

// 0, or -1 when the ring is full.
int PushInputChar(uint8_t byte);
// Pushes bytes character by character; a character that does not fit whole
// is dropped with everything after it. The number of bytes stored.
int PushInputChars(const char* bytes, int32_t count);
// 0 when empty (or a lead byte waits for its second byte), else 1 or 2.
int PopInputChar(uint8_t out[2], int consume);
// Drains the ring with one message pass before each byte, until it is
// empty, a 0 byte comes or the pump reports quit; then resets it. 0.
int FlushInputChars();
bool IsInputCharRingFull();

// 1 for the edit codes of the control-key table (delete and the arrows).
int IsControlCode(uint8_t byte);
// Bytes of the first n characters, stopping at the NUL.
int CountCharBytes(const char* text, int32_t n);
// Characters that cover the first n bytes (stopping at the NUL).
int CountCharsInBytes(const char* text, int32_t n);

// Restarts the blink period and shows the caret. 0.
int ResetCaretBlink();
// Applies the ring to the active handle. 0, or -1 for a bad active handle.
int UpdateKeyInput();
// Activation: starts the input method's re-opening sequence when it is on
// and open (a sequence with nothing to do on this platform).
void RestartImeAfterActivation();
