// Keyboard state reads and the virtual-key table.
#include "engine/core/input/keyboard_input.h"

#include <cstring>

#include "engine/core/input/input_setup.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/clock.h"
#include "platform/input_devices.h"

const VkDikPair kVkToDikTable[] = {
    // First part: letters.
    {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12}, {0x46, 0x21},
    {0x47, 0x22}, {0x48, 0x23}, {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26},
    {0x4D, 0x32}, {0x4E, 0x31}, {0x4F, 0x18}, {0x50, 0x19}, {0x51, 0x10}, {0x52, 0x13},
    {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16}, {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D},
    {0x59, 0x15}, {0x5A, 0x2C},
    // Digits.
    {0x30, 0x0B}, {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06},
    {0x36, 0x07}, {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A},
    // Arrows.
    {0x25, 0xCB}, {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0},
    // Punctuation of the Japanese layout.
    {0xBB, 0x27}, {0xBA, 0x92}, {0xDB, 0x1A}, {0xDD, 0x1B}, {0xC0, 0x91}, {0xE2, 0x2B},
    {0xBC, 0x33}, {0xBD, 0x0C}, {0xDC, 0x7D}, {0xBE, 0x34}, {0xBF, 0x35},
    // Delete, Esc, Space, Backspace, Tab, Enter.
    {0x2E, 0xD3}, {0x1B, 0x01}, {0x20, 0x39}, {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C},
    // Numeric pad.
    {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C},
    {0x66, 0x4D}, {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E},
    {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0xB5},
    {kVkDikSeparator, 0x0000},
    // Second part.
    {0x0D, 0x9C}, {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D}, {0x21, 0xC9},
    {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x2D, 0xD2}, {0xA4, 0x38}, {0xA5, 0xB8},
    {0x91, 0x46}, {0x14, 0x3A}, {0x13, 0xC5},
    {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40},
    {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},
    {kVkDikEnd, kVkDikEnd},
};
const int kVkToDikTableSize = static_cast<int>(sizeof(kVkToDikTable) / sizeof(kVkToDikTable[0]));

namespace {

// Virtual keys of the punctuation keys of the Japanese 106-key layout, by
// key position (DIK code), where they differ from what the table's pairs
// would give. The library reads the keyboard as that layout does.
constexpr VkDikPair kJapaneseLayoutKeys[] = {
    {0xBB, 0x27},  // ; +
    {0xBA, 0x28},  // : *
    {0xC0, 0x1A},  // @ `
    {0xDB, 0x1B},  // [ {
    {0xDD, 0x2B},  // ] }
    {0xE2, 0x73},  // backslash _ (ro)
    {0xDC, 0x7D},  // yen |
    {0xDE, 0x0D},  // ^ ~
    {0x0D, 0x9C},  // the numeric pad's Enter is Enter too
};

template <typename Visit>
void ForEachPair(bool second_half_too, Visit visit) {
  for (const VkDikPair& pair : kVkToDikTable) {
    if (pair.vk == kVkDikEnd) break;
    if (pair.vk == kVkDikSeparator) {
      if (!second_half_too) break;
      continue;
    }
    visit(pair);
  }
}

}  // namespace

uint32_t VirtualKeyFromDik(uint8_t dik) {
  if (dik == 0) return 0;
  for (const VkDikPair& key : kJapaneseLayoutKeys) {
    if (key.dik == dik) return key.vk;
  }
  // 0x91 and 0x92 name no key position of their own.
  if (dik == 0x91 || dik == 0x92) return 0;
  uint32_t found = 0;
  ForEachPair(true, [&found, dik](const VkDikPair& pair) {
    if (found == 0 && pair.dik == dik) found = pair.vk;
  });
  return found;
}

namespace {

// Which virtual keys are held, from the held key positions.
void BuildVirtualKeyState(const uint8_t raw[256], uint8_t vk_state[256]) {
  std::memset(vk_state, 0, 256);
  for (int dik = 1; dik < 256; ++dik) {
    if ((raw[dik] & 0x80) == 0) continue;
    const uint32_t vk = VirtualKeyFromDik(static_cast<uint8_t>(dik));
    if (vk != 0) vk_state[vk & 0xFF] = 0x80;
  }
}

// Device mode on the main thread: the keys of the first part take the state of
// their virtual keys.
void OverlayVirtualKeys(uint8_t state[256]) {
  uint8_t vk_state[256];
  BuildVirtualKeyState(state, vk_state);
  ForEachPair(false, [state, &vk_state](const VkDikPair& pair) {
    state[pair.dik & 0xFF] = vk_state[pair.vk & 0xFF];
  });
}

// Fallback mode: only the keys of both parts, through their virtual keys.
void ReadThroughVirtualKeys(const uint8_t raw[256], uint8_t out[256]) {
  uint8_t vk_state[256];
  BuildVirtualKeyState(raw, vk_state);
  std::memset(out, 0, 256);
  ForEachPair(true, [out, &vk_state](const VkDikPair& pair) {
    out[pair.dik & 0xFF] = vk_state[pair.vk & 0xFF];
  });
}

}  // namespace

int UpdateKeyboardState() {
  InputBlock& input = GetInputBlock();
  const uint32_t t = platform::GetClock().Milliseconds();
  if (input.mode == InputMode::kDevices && input.keyboard_device) {
    const uint32_t changes = platform::KeyboardChangeCount();
    if (t == input.last_keyboard_read && changes == input.keyboard_seen_changes) return 0;
    if (ProcessMessage() != 0 || input.mode == InputMode::kNone) return 0;
    platform::ReadKeyboardState(input.key_state);
    input.last_keyboard_read = t;
    input.keyboard_seen_changes = platform::KeyboardChangeCount();
    if (IsMainWindowThread()) OverlayVirtualKeys(input.key_state);
    return 1;
  }
  if (t == input.last_keyboard_read) return 0;
  input.last_keyboard_read = t;
  if (ProcessMessage() != 0) return 0;
  uint8_t raw[256];
  platform::ReadKeyboardState(raw);
  ReadThroughVirtualKeys(raw, input.key_state);
  return 1;
}

int FillKeyStateBuffer(uint8_t out[256]) {
  WaitWhileInactive();
  InputBlock& input = GetInputBlock();
  if (input.mode == InputMode::kNone && GetCloseRequestedFlag() == 0) return InitializeInput();
  UpdateKeyboardState();
  for (int i = 0; i < 256; ++i) out[i] = (input.key_state[i] & 0x80) != 0 ? 1 : 0;
  return 0;
}
