// Keyboard, mouse and pads on SDL2, with the fakes the tests drive.
#include "platform/input_devices.h"

#include <SDL2/SDL.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <algorithm>
#include <mutex>

#include "platform/scan_codes.h"

namespace platform {
namespace {

std::atomic<uint32_t> g_keyboard_changes{0};
std::mutex g_fake_mutex;
std::array<uint8_t, 256> g_fake_keys{};
uint32_t g_fake_mouse_buttons = 0;

struct FakePad {
  RawPadInput input;
  uint32_t changes = 0;
  bool strong = false;
  bool weak = false;
};
constexpr int kMaxFakePads = 16;
int g_fake_pad_count = 0;
std::array<FakePad, kMaxFakePads> g_fake_pads;

bool g_pads_started = false;

uint32_t PovFromHat(int hat) {
  if (hat < 0 || hat > 7) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(hat) * 4500u;
}

class FakePadDevice final : public PadDevice {
 public:
  explicit FakePadDevice(int index) : index_(index) {}
  std::string InstanceName() const override { return "Fake pad " + std::to_string(index_ + 1); }
  std::string ProductName() const override { return "Fake pad"; }
  bool Poll(PadState* state) override {
    RawPadInput raw;
    {
      std::lock_guard<std::mutex> lock(g_fake_mutex);
      if (index_ >= g_fake_pad_count) return false;
      raw = g_fake_pads[static_cast<size_t>(index_)].input;
    }
    BuildState(raw, state);
    return true;
  }
  uint32_t ChangeCount() const override {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    return g_fake_pads[static_cast<size_t>(index_)].changes;
  }
  bool SetRumble(bool strong, bool weak) override {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    g_fake_pads[static_cast<size_t>(index_)].strong = strong;
    g_fake_pads[static_cast<size_t>(index_)].weak = weak;
    return true;
  }

 private:
  int index_;
};

// A pad SDL knows the layout of (game controller), or a plain joystick.
class SdlPadDevice final : public PadDevice {
 public:
  SdlPadDevice(SDL_GameController* controller, SDL_Joystick* joystick)
      : controller_(controller), joystick_(joystick) {
    const char* name = controller_ != nullptr ? SDL_GameControllerName(controller_)
                                              : SDL_JoystickName(joystick_);
    name_ = name != nullptr ? name : "Game pad";
  }
  ~SdlPadDevice() override {
    if (controller_ != nullptr) {
      SDL_GameControllerClose(controller_);
    } else if (joystick_ != nullptr) {
      SDL_JoystickClose(joystick_);
    }
  }
  std::string InstanceName() const override { return name_; }
  std::string ProductName() const override { return name_; }

  bool Poll(PadState* state) override {
    RawPadInput raw;
    if (controller_ != nullptr) {
      if (SDL_GameControllerGetAttached(controller_) == SDL_FALSE) return false;
      ReadController(&raw);
    } else {
      if (SDL_JoystickGetAttached(joystick_) == SDL_FALSE) return false;
      ReadJoystick(&raw);
    }
    BuildState(raw, state);
    return true;
  }
  uint32_t ChangeCount() const override { return 0; }
  bool SetRumble(bool strong, bool weak) override {
    const Uint16 low = strong ? 0xFFFF : 0;
    const Uint16 high = weak ? 0xFFFF : 0;
    SDL_Joystick* joystick =
        controller_ != nullptr ? SDL_GameControllerGetJoystick(controller_) : joystick_;
    return SDL_JoystickRumble(joystick, low, high, 0xFFFFFFFFu) == 0;
  }

 private:
  void ReadController(RawPadInput* raw) {
    static constexpr SDL_GameControllerAxis kAxes[kPadAxisCount] = {
        SDL_CONTROLLER_AXIS_LEFTX,       SDL_CONTROLLER_AXIS_LEFTY,
        SDL_CONTROLLER_AXIS_RIGHTX,      SDL_CONTROLLER_AXIS_TRIGGERLEFT,
        SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_CONTROLLER_AXIS_RIGHTY};
    for (int i = 0; i < kPadAxisCount; ++i) {
      raw->axes[i] = SDL_GameControllerGetAxis(controller_, kAxes[i]);
    }
    static constexpr SDL_GameControllerButton kButtons[] = {
        SDL_CONTROLLER_BUTTON_A,          SDL_CONTROLLER_BUTTON_B,
        SDL_CONTROLLER_BUTTON_X,          SDL_CONTROLLER_BUTTON_Y,
        SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_BACK,       SDL_CONTROLLER_BUTTON_START,
        SDL_CONTROLLER_BUTTON_LEFTSTICK,  SDL_CONTROLLER_BUTTON_RIGHTSTICK,
        SDL_CONTROLLER_BUTTON_GUIDE,      SDL_CONTROLLER_BUTTON_MISC1};
    int b = 0;
    for (SDL_GameControllerButton button : kButtons) {
      raw->buttons[b++] = SDL_GameControllerGetButton(controller_, button) != 0;
    }
    const bool up = SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0;
    const bool down =
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0;
    const bool left =
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0;
    const bool right =
        SDL_GameControllerGetButton(controller_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0;
    raw->hat = HatFromDirections(up, down, left, right);
    // The direction pad also moves the main stick, as pads in digital mode
    // report it.
    if (left != right) raw->axes[0] = left ? -32768 : 32767;
    if (up != down) raw->axes[1] = up ? -32768 : 32767;
  }

  void ReadJoystick(RawPadInput* raw) {
    const int axes = SDL_JoystickNumAxes(joystick_);
    for (int i = 0; i < kPadAxisCount && i < axes; ++i) {
      raw->axes[i] = SDL_JoystickGetAxis(joystick_, i);
    }
    const int buttons = SDL_JoystickNumButtons(joystick_);
    for (int i = 0; i < 32 && i < buttons; ++i) {
      raw->buttons[i] = SDL_JoystickGetButton(joystick_, i) != 0;
    }
    if (SDL_JoystickNumHats(joystick_) > 0) {
      const Uint8 hat = SDL_JoystickGetHat(joystick_, 0);
      raw->hat = HatFromDirections((hat & SDL_HAT_UP) != 0, (hat & SDL_HAT_DOWN) != 0,
                                   (hat & SDL_HAT_LEFT) != 0, (hat & SDL_HAT_RIGHT) != 0);
    }
  }

  static int HatFromDirections(bool up, bool down, bool left, bool right) {
    if (up && down) up = down = false;
    if (left && right) left = right = false;
    if (up) return right ? 1 : left ? 7 : 0;
    if (down) return right ? 3 : left ? 5 : 4;
    if (right) return 2;
    if (left) return 6;
    return -1;
  }

  SDL_GameController* controller_;
  SDL_Joystick* joystick_;
  std::string name_;
};

}  // namespace

// ---- keyboard -------------------------------------------------------------

void ReadKeyboardState(uint8_t state[256]) {
  std::fill(state, state + 256, uint8_t{0});
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    for (int scancode = 0; keys != nullptr && scancode < count; ++scancode) {
      if (keys[scancode] == 0) continue;
      const uint8_t dik = DikFromScancode(scancode);
      if (dik != 0) state[dik] = 0x80;
    }
  }
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  for (int i = 0; i < 256; ++i) state[i] |= g_fake_keys[static_cast<size_t>(i)];
}

uint32_t KeyboardChangeCount() { return g_keyboard_changes.load(); }

void NoteKeyboardChange() { g_keyboard_changes.fetch_add(1); }

void SetFakeKey(uint8_t dik, bool held) {
  {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    g_fake_keys[dik] = held ? 0x80 : 0;
  }
  NoteKeyboardChange();
}

void ReleaseAllFakeKeys() {
  {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    g_fake_keys.fill(0);
  }
  NoteKeyboardChange();
}

// ---- mouse ----------------------------------------------------------------

uint32_t ReadMouseButtons() {
  uint32_t bits = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    if (buttons & SDL_BUTTON_LMASK) bits |= 1;
    if (buttons & SDL_BUTTON_RMASK) bits |= 2;
    if (buttons & SDL_BUTTON_MMASK) bits |= 4;
    if (buttons & SDL_BUTTON_X1MASK) bits |= 8;
    if (buttons & SDL_BUTTON_X2MASK) bits |= 16;
  }
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  return bits | g_fake_mouse_buttons;
}

void SetFakeMouseButtons(uint32_t bits) {
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  g_fake_mouse_buttons = bits;
}

// ---- pads -----------------------------------------------------------------

bool PadDevice::SetAxisRange(PadAxis axis, int32_t minimum, int32_t maximum) {
  if (minimum >= maximum) return false;
  AxisProperties& p = axes_[static_cast<int>(axis)];
  p.minimum = minimum;
  p.maximum = maximum;
  return true;
}

bool PadDevice::SetDeadZone(PadAxis axis, int32_t dead_zone) {
  if (dead_zone < 0 || dead_zone > 10000) return false;
  axes_[static_cast<int>(axis)].dead_zone = dead_zone;
  return true;
}

int32_t PadDevice::ScaleAxis(PadAxis axis, int16_t raw) const {
  const AxisProperties& p = axes_[static_cast<int>(axis)];
  const int64_t range = int64_t{p.maximum} - p.minimum;
  // Position as a fraction of the half range: (2 raw + 1) / 65535, so the
  // raw extremes are exactly -1 and 1.
  const int64_t signed_twice = 2 * int64_t{raw} + 1;
  const int64_t magnitude = signed_twice < 0 ? -signed_twice : signed_twice;
  const int64_t dead = int64_t{p.dead_zone} * 65535;
  const int64_t den = (10000 - int64_t{p.dead_zone}) * 65535;
  int64_t num = 0;  // distance beyond the dead zone, over den
  if (den > 0 && magnitude * 10000 > dead) num = magnitude * 10000 - dead;
  if (signed_twice < 0) num = -num;
  if (den <= 0) return static_cast<int32_t>(p.minimum + (range + 1) / 2);
  // minimum + range × (1 + num/den) / 2, rounded to nearest.
  const int64_t scaled = (range * (den + num) + den) / (2 * den);
  return static_cast<int32_t>(p.minimum + scaled);
}

void PadDevice::BuildState(const RawPadInput& raw, PadState* state) const {
  *state = PadState{};
  state->x = ScaleAxis(PadAxis::kX, raw.axes[0]);
  state->y = ScaleAxis(PadAxis::kY, raw.axes[1]);
  state->z = ScaleAxis(PadAxis::kZ, raw.axes[2]);
  state->rx = ScaleAxis(PadAxis::kRx, raw.axes[3]);
  state->ry = ScaleAxis(PadAxis::kRy, raw.axes[4]);
  state->rz = ScaleAxis(PadAxis::kRz, raw.axes[5]);
  state->pov[0] = PovFromHat(raw.hat);
  for (int i = 0; i < 32; ++i) state->buttons[i] = raw.buttons[i] ? 0x80 : 0;
}

bool StartPads() {
  if (g_pads_started) return true;
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK) != 0) return false;
  g_pads_started = true;
  return true;
}

void StopPads() {
  if (!g_pads_started) return;
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
  g_pads_started = false;
}

int CountPads() {
  {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    if (g_fake_pad_count > 0) return g_fake_pad_count;
  }
  if (!g_pads_started) return 0;
  const int count = SDL_NumJoysticks();
  return count < 0 ? 0 : count;
}

std::unique_ptr<PadDevice> OpenPad(int index) {
  {
    std::lock_guard<std::mutex> lock(g_fake_mutex);
    if (g_fake_pad_count > 0) {
      if (index < 0 || index >= g_fake_pad_count) return nullptr;
      return std::make_unique<FakePadDevice>(index);
    }
  }
  if (!g_pads_started || index < 0 || index >= SDL_NumJoysticks()) return nullptr;
  if (SDL_IsGameController(index)) {
    SDL_GameController* controller = SDL_GameControllerOpen(index);
    if (controller != nullptr) return std::make_unique<SdlPadDevice>(controller, nullptr);
  }
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  if (joystick == nullptr) return nullptr;
  return std::make_unique<SdlPadDevice>(nullptr, joystick);
}

void InstallFakePads(int count) {
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  g_fake_pad_count = count < 0 ? 0 : count > kMaxFakePads ? kMaxFakePads : count;
  g_fake_pads = {};
}

void SetFakePadInput(int index, const RawPadInput& input) {
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  if (index < 0 || index >= kMaxFakePads) return;
  FakePad& pad = g_fake_pads[static_cast<size_t>(index)];
  pad.input = input;
  ++pad.changes;
}

bool FakePadRumble(int index, bool* strong, bool* weak) {
  std::lock_guard<std::mutex> lock(g_fake_mutex);
  if (index < 0 || index >= kMaxFakePads) return false;
  const FakePad& pad = g_fake_pads[static_cast<size_t>(index)];
  if (strong != nullptr) *strong = pad.strong;
  if (weak != nullptr) *weak = pad.weak;
  return true;
}

}  // namespace platform
