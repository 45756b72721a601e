// Pads: reading one pad (cached per millisecond), the direction and button
// bits of a pad and of the keyboard, and the rumble timers. Axes are
// -1000..1000 with a dead zone of a quarter of the half range.
#pragma once

#include <cstdint>

inline constexpr int kPadIncludeKeyboard = 0x1000;

// 0, or -1 for an index of 8 or more or when the library quits.
int UpdateJoypadState(int index);
// Bits of pad number 1..8, with 0x1000 added to include the keyboard: 1 down,
// 2 left, 4 right, 8 up, buttons 1-24 at bits 4-27; keyboard Z X C A S D Q W
// at 0x10..0x800, Esc 0x1000, Space 0x2000.
uint32_t GetJoypadBits(int pad_id);
// The fallback mode's axis rule for a raw 0..0xFFFF joystick value.
int32_t MapSimpleJoystickAxis(uint32_t raw);

int StopJoypadVibration(int pad_id);
int UpdateJoypadVibration();
int ApplyJoypadEffects();
