// The input layer's global block and its life: set-up of the keyboard, the
// mouse and up to eight pads (device mode, the stand-in for DirectInput; or
// the fallback mode of the plain keyboard state and the simple joystick
// reads once the device layer has failed), shutdown, re-acquiring after an
// activation change, and the two window-message flags. Key and pad reads
// are cached per millisecond of the platform clock. Runs under ApiLock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/input_devices.h"

inline constexpr int kMaxJoypads = 8;

struct JoypadRecord {
  std::unique_ptr<platform::PadDevice> device;
  bool constant_effect = false;  // the rumble effects exist
  bool sine_effect = false;
  uint32_t seen_changes = 0;     // the device's change notification
  platform::PadState state;      // axes -1000..1000 once set up
  int32_t has_z_and_r = 0;       // fallback mode only
  uint32_t last_poll = 0;
  int32_t vibration_on = 0;
  int32_t vibration_power = 0;
  int32_t vibration_duration = 0;  // milliseconds; negative: endless
  int32_t vibration_elapsed = 0;
  uint32_t vibration_stamp = 0;
  int32_t constant_playing = 0;
  int32_t sine_playing = 0;
  std::string instance_name;
  std::string product_name;
};

enum class InputMode {
  kNone,      // not set up
  kDevices,   // keyboard, mouse and pad devices
  kFallback,  // plain keyboard state and simple joystick reads
};

struct InputBlock {
  int32_t no_direct_input = 0;  // survives every clearing
  InputMode mode = InputMode::kNone;
  bool mouse_device = false;
  bool keyboard_device = false;
  uint32_t keyboard_seen_changes = 0;
  uint32_t last_keyboard_read = 0;
  uint8_t key_state[256] = {};
  int32_t pad_count = 0;
  JoypadRecord pads[kMaxJoypads];
  int32_t f10_flag = 0;
  int32_t hook_flag2 = 0;
};

InputBlock& GetInputBlock();
// Clears the block, keeping the no-device-layer flag.
void ClearInputBlock();

// 0 ready (either mode, or already set up); 1 when the keyboard's change
// notification cannot be set.
int InitializeInput();
int TerminateInput();
int SetupJoypads();
int TerminateJoypads();
int ReacquireInputDevices();

int SetF10Flag();
int ClearF10Flag();
int SetHookFlag2();
int ClearHookFlag2();

// Tests: marks the device layer as failed, so the next set-up goes to the
// fallback mode (0 clears it).
void SetNoDirectInputFlag(int flag);
