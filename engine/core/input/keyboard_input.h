// The keyboard: the 256-byte key-state table indexed by DIK code (bit 7 set
// while held), refreshed on demand at most once per millisecond of the
// platform clock unless the keyboard reports a change, and the table pairing
// virtual-key codes with DIK codes (first part: the keys the device mode
// also takes from the virtual-key state on the main thread; second part: the
// further keys of the fallback mode). Key positions map to virtual keys as on
// the Japanese 106-key layout, so its punctuation keys read as that layout's
// codes ('@' as 0x91, ':' as 0x92 besides 0x28, and so on).
#pragma once

#include <cstdint>

struct VkDikPair {
  uint16_t vk;
  uint16_t dik;
};
inline constexpr uint16_t kVkDikSeparator = 0xFFFE;
inline constexpr uint16_t kVkDikEnd = 0xFFFF;
// The first part, the separator (0xFFFE, 0), the second part, the end
// (0xFFFF, 0xFFFF).
extern const VkDikPair kVkToDikTable[];
extern const int kVkToDikTableSize;

// The virtual-key code of a DIK code (first pair naming it), 0 for none.
uint32_t VirtualKeyFromDik(uint8_t dik);

// 1 when the state was refreshed, 0 when not.
int UpdateKeyboardState();
// Byte i becomes 1 while DIK code i is held, else 0. Waits while the window
// is inactive; starts input when it is not set up (and then returns the
// start's result without reading).
int FillKeyStateBuffer(uint8_t out[256]);
