// The any-input check.
#include "engine/core/input/input_any_check.h"

#include "engine/core/input/input_setup.h"
#include "engine/core/input/keyboard_input.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/input/mouse_input.h"
#include "engine/core/input/pad_input.h"
#include "platform/scan_codes.h"

int CheckAnyInput(int flags) {
  WaitWhileInactive();
  InputBlock& input = GetInputBlock();
  if (input.mode == InputMode::kNone && GetCloseRequestedFlag() == 0) return InitializeInput();
  if ((flags & 1) != 0) {
    UpdateKeyboardState();
    for (int code = 0; code < 256; ++code) {
      // Lock keys (Caps Lock, Kana, Kanji) read as held while locked.
      if (code == platform::dik::kCapital || code == platform::dik::kKana ||
          code == platform::dik::kKanji) {
        continue;
      }
      if ((input.key_state[code] & 0x80) != 0) return code;
    }
    if (input.f10_flag != 0) return platform::dik::kF10;
    for (int pad = 1; pad <= input.pad_count; ++pad) {
      if (GetJoypadBits(pad) != 0) return -1;
    }
  }
  if ((flags & 4) != 0 && ReadMouseButtons() != 0) return -1;
  return 0;
}
