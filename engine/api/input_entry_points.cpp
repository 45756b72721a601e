// The input entry points.
#include "engine/api/input_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/core/input/input_any_check.h"
#include "engine/core/input/input_setup.h"
#include "engine/core/input/keyboard_input.h"
#include "engine/core/input/mouse_input.h"
#include "engine/core/input/pad_input.h"

int GetMouseButtons() {
  ApiLockGuard lock;
  return static_cast<int>(ReadMouseButtons());
}

int FindPressedInput(int flags) {
  ApiLockGuard lock;
  return CheckAnyInput(flags);
}

int ReadAllKeyStates(uint8_t* buffer) {
  ApiLockGuard lock;
  return FillKeyStateBuffer(buffer);
}

int ReadPadButtons(int pad_number) {
  ApiLockGuard lock;
  return static_cast<int>(GetJoypadBits(pad_number));
}
