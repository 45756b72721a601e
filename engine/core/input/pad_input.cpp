// Pad reads, direction and button bits, and the rumble timers.
#include "engine/core/input/pad_input.h"

#include "engine/core/input/input_setup.h"
#include "engine/core/input/keyboard_input.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/clock.h"
#include "platform/scan_codes.h"

int32_t MapSimpleJoystickAxis(uint32_t raw) {
  const int32_t v = static_cast<int32_t>(raw & 0xFFFF);
  if (v == 0) return -1000;
  if (v == 0x7FFF) return 0;
  if (v == 0xFFFF) return 1000;
  if (v < 0x6000) return (v - 0x6000) * 1000 / 0x6000;
  if (v <= 0xA000) return 0;
  return (v - 0xA000) * 1000 / 0x6000;
}

int UpdateJoypadState(int index) {
  InputBlock& input = GetInputBlock();
  if (index < 0 || index >= kMaxJoypads) return -1;
  JoypadRecord& pad = input.pads[index];
  const uint32_t t = platform::GetClock().Milliseconds();
  if (input.mode == InputMode::kDevices) {
    if (pad.device == nullptr) return 0;
    const uint32_t changes = pad.device->ChangeCount();
    if (t == pad.last_poll && changes == pad.seen_changes) return 0;
    pad.last_poll = t;
    platform::PadState state;
    bool read = pad.device->Poll(&state);
    if (!read) {
      if (ProcessMessage() != 0 || input.mode == InputMode::kNone) return -1;
      // A second try, as after re-acquiring the device.
      read = pad.device->Poll(&state);
    }
    if (read) pad.state = state;
    pad.seen_changes = changes;
    return 0;
  }
  if (t == pad.last_poll) return 0;
  pad.last_poll = t;
  platform::PadState raw;
  if (pad.device == nullptr || !pad.device->Poll(&raw)) {
    pad.state = platform::PadState{};
    return 0;
  }
  platform::PadState state;
  state.x = MapSimpleJoystickAxis(static_cast<uint32_t>(raw.x));
  state.y = MapSimpleJoystickAxis(static_cast<uint32_t>(raw.y));
  if (pad.has_z_and_r != 0) {
    state.z = MapSimpleJoystickAxis(static_cast<uint32_t>(raw.z));
    state.rz = MapSimpleJoystickAxis(static_cast<uint32_t>(raw.rz));
  }
  for (int b = 0; b < 24; ++b) state.buttons[b] = raw.buttons[b] != 0 ? 0x80 : 0;
  pad.state = state;
  return 0;
}

uint32_t GetJoypadBits(int pad_id) {
  WaitWhileInactive();
  InputBlock& input = GetInputBlock();
  if (input.mode == InputMode::kNone && GetCloseRequestedFlag() == 0) {
    return static_cast<uint32_t>(InitializeInput());
  }
  const bool with_keyboard = (pad_id & kPadIncludeKeyboard) != 0;
  const int n = (pad_id & ~kPadIncludeKeyboard) - 1;
  if ((n < -1 || n > input.pad_count - 1) && input.pad_count != 0 && !with_keyboard) return 0;
  uint32_t bits = 0;
  if (n >= 0 && n < input.pad_count && n < kMaxJoypads) {
    UpdateJoypadState(n);
    const platform::PadState& s = input.pads[n].state;
    if (s.y > 0) bits |= 1;
    if (s.x < 0) bits |= 2;
    if (s.x > 0) bits |= 4;
    if (s.y < 0) bits |= 8;
    for (int b = 0; b < 24; ++b) {
      if ((s.buttons[b] & 0x80) != 0) bits |= 1u << (4 + b);
    }
  }
  if (with_keyboard) {
    UpdateKeyboardState();
    const uint8_t* k = input.key_state;
    auto held = [k](uint8_t dik) { return (k[dik] & 0x80) != 0; };
    namespace dik = platform::dik;
    if (held(dik::kNumpad2) || held(dik::kDown)) bits |= 1;
    if (held(dik::kNumpad4) || held(dik::kLeft)) bits |= 2;
    if (held(dik::kNumpad6) || held(dik::kRight)) bits |= 4;
    if (held(dik::kNumpad8) || held(dik::kUp)) bits |= 8;
    if (held(dik::kZ)) bits |= 0x10;
    if (held(dik::kX)) bits |= 0x20;
    if (held(dik::kC)) bits |= 0x40;
    if (held(dik::kA)) bits |= 0x80;
    if (held(dik::kS)) bits |= 0x100;
    if (held(dik::kD)) bits |= 0x200;
    if (held(dik::kQ)) bits |= 0x400;
    if (held(dik::kW)) bits |= 0x800;
    if (held(dik::kEscape)) bits |= 0x1000;
    if (held(dik::kSpace)) bits |= 0x2000;
  }
  return bits;
}

int StopJoypadVibration(int pad_id) {
  WaitWhileInactive();
  InputBlock& input = GetInputBlock();
  if (input.mode == InputMode::kNone && GetCloseRequestedFlag() == 0) return InitializeInput();
  const int index = (pad_id & ~kPadIncludeKeyboard) - 1;
  if (index < 0 || index >= input.pad_count || index >= kMaxJoypads) return 0;
  JoypadRecord& pad = input.pads[index];
  if (pad.device == nullptr || !pad.constant_effect || pad.vibration_on == 0) return 0;
  pad.vibration_on = 0;
  pad.vibration_power = 10000;
  ApplyJoypadEffects();
  return 0;
}

int UpdateJoypadVibration() {
  InputBlock& input = GetInputBlock();
  if (input.mode != InputMode::kDevices) return 0;
  const uint32_t t = platform::GetClock().Milliseconds();
  for (int i = 0; i < kMaxJoypads; ++i) {
    JoypadRecord& pad = input.pads[i];
    if (pad.device == nullptr || pad.vibration_on == 0 || pad.vibration_duration < 0) continue;
    if (t == pad.vibration_stamp) continue;
    if (t < pad.vibration_stamp) pad.vibration_stamp = t;
    pad.vibration_elapsed += static_cast<int32_t>(t - pad.vibration_stamp);
    pad.vibration_stamp = t;
    if (pad.vibration_elapsed >= pad.vibration_duration) StopJoypadVibration(i + 1);
  }
  ApplyJoypadEffects();
  return 0;
}

int ApplyJoypadEffects() {
  InputBlock& input = GetInputBlock();
  const bool active = ReadActiveFlag() != 0;
  for (JoypadRecord& pad : input.pads) {
    if (pad.device == nullptr) continue;
    bool changed = false;
    if (!active) {
      changed = pad.constant_playing != 0 || pad.sine_playing != 0;
      pad.constant_playing = 0;
      pad.sine_playing = 0;
    } else {
      if (pad.constant_effect && pad.vibration_on != pad.constant_playing) {
        pad.constant_playing = pad.vibration_on;
        changed = true;
      }
      const int32_t sine_wanted = pad.vibration_on != 0 && pad.vibration_power > 5000 ? 1 : 0;
      if (pad.sine_effect && sine_wanted != pad.sine_playing) {
        pad.sine_playing = sine_wanted;
        changed = true;
      }
    }
    if (changed) pad.device->SetRumble(pad.constant_playing != 0, pad.sine_playing != 0);
  }
  return 0;
}
