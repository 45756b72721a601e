// Set-up and shutdown of the keyboard, mouse and pads.
#include "engine/core/input/input_setup.h"

#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/clock.h"
#include "platform/window.h"

namespace {

InputBlock g_input;

// Enumeration of attached pads: 1 to go on, 0 to stop (eight held).
int EnumJoypadCallback(int device_index) {
  InputBlock& input = g_input;
  WriteLog("入力装置を見つけました\n");
  std::unique_ptr<platform::PadDevice> device = platform::OpenPad(device_index);
  if (device == nullptr) {
    WriteLog("入力装置の取得に失敗しました\n");
    return 1;
  }
  JoypadRecord& pad = input.pads[input.pad_count];
  pad = JoypadRecord{};
  pad.instance_name = device->InstanceName();
  pad.product_name = device->ProductName();
  IncreaseLogIndent();
  WriteLogF("デバイスの登録名:%s", pad.instance_name.c_str());
  WriteLogF("デバイスの製品登録名:%s", pad.product_name.c_str());
  DecreaseLogIndent();
  using platform::PadAxis;
  if (!device->SetAxisRange(PadAxis::kX, -1000, 1000)) {
    WriteLog("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
    return 1;
  }
  if (!device->SetAxisRange(PadAxis::kY, -1000, 1000)) {
    WriteLog("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
    return 1;
  }
  device->SetAxisRange(PadAxis::kZ, -1000, 1000);
  device->SetAxisRange(PadAxis::kRz, -1000, 1000);
  if (!device->SetDeadZone(PadAxis::kX, 2500)) {
    WriteLog("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
    return 1;
  }
  if (!device->SetDeadZone(PadAxis::kY, 2500)) {
    WriteLog("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
    return 1;
  }
  device->SetDeadZone(PadAxis::kZ, 2500);
  device->SetDeadZone(PadAxis::kRz, 2500);
  pad.sine_effect = true;
  pad.constant_effect = true;
  pad.vibration_on = 0;
  pad.vibration_power = 10000;
  pad.constant_playing = 0;
  pad.sine_playing = 0;
  pad.seen_changes = device->ChangeCount();
  pad.state = platform::PadState{};
  pad.device = std::move(device);
  ++input.pad_count;
  WriteLog("ジョイパッドの追加は正常に終了しました\n");
  return input.pad_count >= kMaxJoypads ? 0 : 1;
}

// The fallback mode's joysticks: ids that answer, read on demand with the
// raw 0..0xFFFF range.
void SetupSimpleJoysticks() {
  InputBlock& input = g_input;
  IncreaseLogIndent();
  int answered = 0;
  const int attached = platform::StartPads() ? platform::CountPads() : 0;
  for (int id = 0; id < kMaxJoypads && id < attached; ++id) {
    std::unique_ptr<platform::PadDevice> device = platform::OpenPad(id);
    if (device == nullptr) break;
    for (int axis = 0; axis < platform::kPadAxisCount; ++axis) {
      device->SetAxisRange(static_cast<platform::PadAxis>(axis), 0, 0xFFFF);
    }
    input.pads[id].device = std::move(device);
    input.pads[id].has_z_and_r = 1;
    ++answered;
  }
  WriteLogF("パッドの数は %d 個です\n", answered);
  DecreaseLogIndent();
  input.mode = InputMode::kFallback;
  WriteLog("入力関連の初期化をしました\n");
  input.pad_count = kMaxJoypads;
}

}  // namespace

InputBlock& GetInputBlock() { return g_input; }

void ClearInputBlock() {
  const int32_t no_direct_input = g_input.no_direct_input;
  for (JoypadRecord& pad : g_input.pads) pad = JoypadRecord{};
  g_input.mode = InputMode::kNone;
  g_input.mouse_device = false;
  g_input.keyboard_device = false;
  g_input.keyboard_seen_changes = 0;
  g_input.last_keyboard_read = 0;
  for (uint8_t& key : g_input.key_state) key = 0;
  g_input.pad_count = 0;
  g_input.f10_flag = 0;
  g_input.hook_flag2 = 0;
  g_input.no_direct_input = no_direct_input;
}

void SetNoDirectInputFlag(int flag) { g_input.no_direct_input = flag != 0 ? 1 : 0; }

int InitializeInput() {
  InputBlock& input = g_input;
  if (input.mode != InputMode::kNone) return 0;
  ClearInputBlock();
  if (input.no_direct_input != 0) {
    SetupSimpleJoysticks();
    return 0;
  }
  WriteLog("DirectInput関係初期化処理\n");
  IncreaseLogIndent();
  WriteLog("DirectInput7 の取得中... ");
  if (!platform::StartPads()) {
    WriteLog("取得に失敗。\n");
    WriteLogF("エラーコード 0x%x\n", 0x80004005u);
    WriteLog("DirectInput8 の取得を試みます...");
    if (!platform::StartPads()) {
      WriteLog("取得に失敗。");
      WriteLog("DirectInput を使用しません。\n");
      DecreaseLogIndent();
      input.no_direct_input = 1;
      SetupSimpleJoysticks();
      return 0;
    }
  }
  WriteLog("成功\n");
  IncreaseLogIndent();
  WriteLog("引き続き初期化処理... ");
  WriteLog("初期化成功\n");
  DecreaseLogIndent();
  input.mode = InputMode::kDevices;
  // Pads.
  platform::RaiseMainWindow();
  ProcessMessage();
  SetupJoypads();
  // Mouse.
  WriteLog("マウスデバイスの初期化... ");
  input.mouse_device = true;
  WriteLog("初期化成功\n");
  input.last_keyboard_read = platform::GetClock().Milliseconds();
  // Keyboard.
  WriteLog("キーボードデバイスの初期化... ");
  input.keyboard_device = true;
  input.keyboard_seen_changes = platform::KeyboardChangeCount() - 1;  // read at once
  WriteLog("初期化成功\n");
  input.last_keyboard_read = platform::GetClock().Milliseconds();
  DecreaseLogIndent();
  WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
  return 0;
}

int SetupJoypads() {
  InputBlock& input = g_input;
  if (input.mode != InputMode::kDevices) return -1;
  TerminateJoypads();
  input.pad_count = 0;
  WriteLog("ジョイパッドの初期化... \n");
  const int attached = platform::CountPads();
  for (int index = 0; index < attached; ++index) {
    if (EnumJoypadCallback(index) == 0) break;
  }
  WriteLog("ジョイパッドの初期化は正常に終了しました\n");
  return 0;
}

int TerminateJoypads() {
  InputBlock& input = g_input;
  if (input.mode != InputMode::kDevices) return -1;
  for (JoypadRecord& pad : input.pads) {
    if (pad.device != nullptr && (pad.constant_playing != 0 || pad.sine_playing != 0)) {
      pad.device->SetRumble(false, false);
    }
    pad = JoypadRecord{};
  }
  input.pad_count = 0;
  return 0;
}

int TerminateInput() {
  InputBlock& input = g_input;
  if (input.mode == InputMode::kNone) return 0;
  if (input.mode == InputMode::kFallback) {
    WriteLog("入力関連の終了処理... 完了\n");
  } else {
    WriteLog("DirectInput 関連の終了処理... 完了\n");
    TerminateJoypads();
  }
  ClearInputBlock();
  return 0;
}

int ReacquireInputDevices() {
  // The devices here are read without exclusive access, so a change of
  // activation leaves nothing to re-acquire; a pad read after it sees the
  // current state.
  return 0;
}

int SetF10Flag() {
  g_input.f10_flag = 1;
  return 0;
}
int ClearF10Flag() {
  g_input.f10_flag = 0;
  return 0;
}
int SetHookFlag2() {
  g_input.hook_flag2 = 1;
  return 0;
}
int ClearHookFlag2() {
  g_input.hook_flag2 = 0;
  return 0;
}
