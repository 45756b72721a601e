// Public entry points of keys, pads and mouse buttons: each takes ApiLock
// around one inner operation of the input layer and returns its result
// unchanged.
#pragma once

#include <cstdint>


// Button bits (bit 0 left, 1 right, 2 middle).
int GetMouseButtons();
// First pressed DIK code, -1 for a pad or mouse button, 0 for none.
int FindPressedInput(int flags);
// Fills 256 bytes (1 held, 0 not) by DIK code; 0, or the input start-up's
// result when input had to be started first.
int ReadAllKeyStates(uint8_t* buffer);
// Direction and button bits of pad number 1..8 (+0x1000: with the keyboard).
int ReadPadButtons(int pad_number);
