// Keyboard, mouse and game pads as the engine's input layer reads them.
// Keyboard state is 256 bytes indexed by DIK code (platform/scan_codes.h),
// 0x80 when held. Pads follow the joystick record of the input layer: axes
// scaled to a range the engine sets (with a dead zone in ten-thousandths of
// the half range around the centre), 32 button bytes (0x80 pressed), four
// hat directions in hundredths of a degree (0xFFFFFFFF centred).
// Reads happen on the main thread (the desktop state is refreshed by
// PollWindowEvent). Tests replace the devices with fakes whose state they set
// from any thread; a fake's state is combined with the desktop's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// ---- keyboard -------------------------------------------------------------

void ReadKeyboardState(uint8_t state[256]);
// Grows by one whenever a key goes down or up (the keyboard's change
// notification).
uint32_t KeyboardChangeCount();
// Called by the event translation when the desktop reports a key change.
void NoteKeyboardChange();
// Tests: holds or releases a key by DIK code.
void SetFakeKey(uint8_t dik, bool held);
void ReleaseAllFakeKeys();

// ---- mouse ----------------------------------------------------------------

// Bit 0 left, 1 right, 2 middle, 3 and 4 the side buttons.
uint32_t ReadMouseButtons();
void SetFakeMouseButtons(uint32_t bits);

// ---- pads -----------------------------------------------------------------

enum class PadAxis { kX, kY, kZ, kRx, kRy, kRz };
inline constexpr int kPadAxisCount = 6;

struct PadState {
  int32_t x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0;
  int32_t sliders[2] = {0, 0};
  uint32_t pov[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  uint8_t buttons[32] = {};
};

// Raw pad input as the device reports it: axes -32768..32767, buttons,
// hat (-1 centred, else 0..7 clockwise from up in 45-degree steps).
struct RawPadInput {
  int16_t axes[kPadAxisCount] = {};
  bool buttons[32] = {};
  int hat = -1;
};

// One opened pad. The axis properties start at the raw range without a dead
// zone until the engine sets them.
class PadDevice {
 public:
  virtual ~PadDevice() = default;
  virtual std::string InstanceName() const = 0;
  virtual std::string ProductName() const = 0;
  // Reads the device; false when it is gone.
  virtual bool Poll(PadState* state) = 0;
  // Grows by one whenever the device reports a change.
  virtual uint32_t ChangeCount() const = 0;
  // Strong and weak rumble motors on or off; false without rumble.
  virtual bool SetRumble(bool strong, bool weak) = 0;

  bool SetAxisRange(PadAxis axis, int32_t minimum, int32_t maximum);
  // Ten-thousandths of the half range (0..10000).
  bool SetDeadZone(PadAxis axis, int32_t dead_zone);
  // The scaled value of a raw axis reading under the axis's properties.
  int32_t ScaleAxis(PadAxis axis, int16_t raw) const;
  // Builds the pad record from raw input under the axis properties.
  void BuildState(const RawPadInput& raw, PadState* state) const;

 private:
  struct AxisProperties {
    int32_t minimum = -32768, maximum = 32767, dead_zone = 0;
  };
  AxisProperties axes_[kPadAxisCount];
};

// Starts the pad service (idempotent); false when it cannot start.
bool StartPads();
void StopPads();
// Number of attached pads (fakes when installed).
int CountPads();
// Opens attached pad number index (0-based); null when it cannot be opened.
std::unique_ptr<PadDevice> OpenPad(int index);

// Tests: replaces the attached pads by count fakes (0 removes them all and
// brings the real pads back) whose raw input SetFakePadInput sets.
void InstallFakePads(int count);
void SetFakePadInput(int index, const RawPadInput& input);
// The last rumble state a fake pad was given (strong, weak).
bool FakePadRumble(int index, bool* strong, bool* weak);

}  // namespace platform
