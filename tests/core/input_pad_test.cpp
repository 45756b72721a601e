// Pads with fake devices: axis range and dead zone, direction and button
// bits, pad numbers, the keyboard's bits, the fallback mode's axis rule and
// the per-millisecond cache.
#include "engine/core/input/pad_input.h"
#include "platform/scan_codes.h"
#include "tests/core/window_test_fixture.h"

namespace {

class PadTest : public WindowFixture {
 protected:
  void StartWithPads(int count) {
    platform::InstallFakePads(count);
    OpenWindow();
    ASSERT_EQ(InitializeInput(), 0);
  }
  static void SetPad(int index, int16_t x, int16_t y, int button = -1) {
    platform::RawPadInput input;
    input.axes[0] = x;
    input.axes[1] = y;
    if (button >= 0) input.buttons[button] = true;
    platform::SetFakePadInput(index, input);
  }
};

TEST_F(PadTest, AxesAreScaledToPlusMinus1000WithAQuarterDeadZone) {
  StartWithPads(1);
  const platform::PadDevice& device = *GetInputBlock().pads[0].device;
  struct Case {
    int16_t raw;
    int32_t scaled;
  } cases[] = {{0, 0},         {-1, 0},       {32767, 1000},  {-32768, -1000},
               {8191, 0},      {-8192, 0},    {16384, 333},   {-16384, -333},
               {24576, 667},   {9000, 33}};
  for (const Case& c : cases) {
    EXPECT_EQ(device.ScaleAxis(platform::PadAxis::kX, c.raw), c.scaled) << c.raw;
    EXPECT_EQ(device.ScaleAxis(platform::PadAxis::kY, c.raw), c.scaled) << c.raw;
  }
}

TEST_F(PadTest, DirectionAndButtonBits) {
  StartWithPads(2);
  struct Case {
    int16_t x, y;
    int button;
    uint32_t bits;
  } cases[] = {
      {0, 0, -1, 0},           {32767, 0, -1, 4},     {-32768, 0, -1, 2},
      {0, 32767, -1, 1},       {0, -32768, -1, 8},    {-32768, -32768, -1, 2 | 8},
      {8000, -8000, -1, 0},    // inside the dead zone
      {9000, 0, -1, 4},        // just beyond it
      {0, 0, 0, 0x10},         {0, 0, 1, 0x20},       {0, 0, 23, 1u << 27},
      {0, 0, 24, 0},           // buttons past the 24th give no bit
  };
  for (const Case& c : cases) {
    SetPad(1, c.x, c.y, c.button);
    EXPECT_EQ(GetJoypadBits(2), c.bits) << c.x << "," << c.y << " button " << c.button;
    EXPECT_EQ(GetJoypadBits(1), 0u);
  }
}

TEST_F(PadTest, PadNumbersAndTheKeyboard) {
  StartWithPads(1);
  SetPad(0, 32767, 0, 2);
  platform::SetFakeKey(platform::dik::kZ, true);
  EXPECT_EQ(GetJoypadBits(1), 4u | 0x40u);
  EXPECT_EQ(GetJoypadBits(0x1001), 4u | 0x40u | 0x10u);
  // Beyond the count: nothing, or the keyboard only.
  EXPECT_EQ(GetJoypadBits(2), 0u);
  EXPECT_EQ(GetJoypadBits(0x1002), 0x10u);
  EXPECT_EQ(GetJoypadBits(0x1000), 0x10u);
}

TEST_F(PadTest, WithoutPadsOnlyTheKeyboardCounts) {
  StartWithPads(0);
  EXPECT_EQ(GetInputBlock().pad_count, 0);
  EXPECT_EQ(GetJoypadBits(1), 0u);
  namespace dik = platform::dik;
  struct Case {
    uint8_t key;
    uint32_t bit;
  } cases[] = {{dik::kDown, 1},      {dik::kNumpad2, 1},   {dik::kLeft, 2},     {dik::kNumpad4, 2},
               {dik::kRight, 4},     {dik::kNumpad6, 4},   {dik::kUp, 8},       {dik::kNumpad8, 8},
               {dik::kZ, 0x10},      {dik::kX, 0x20},      {dik::kC, 0x40},     {dik::kA, 0x80},
               {dik::kS, 0x100},     {dik::kD, 0x200},     {dik::kQ, 0x400},    {dik::kW, 0x800},
               {dik::kEscape, 0x1000}, {dik::kSpace, 0x2000}, {dik::kE, 0},     {dik::kReturn, 0}};
  for (const Case& c : cases) {
    platform::SetFakeKey(c.key, true);
    EXPECT_EQ(GetJoypadBits(0x1001), c.bit) << int{c.key};
    platform::SetFakeKey(c.key, false);
  }
}

TEST_F(PadTest, ANinthControllerIsNotTaken) {
  StartWithPads(9);
  EXPECT_EQ(GetInputBlock().pad_count, 8);
  SetPad(7, 0, 0, 0);
  EXPECT_EQ(GetJoypadBits(8), 0x10u);
  SetPad(8, 0, 0, 0);
  EXPECT_EQ(GetJoypadBits(9), 0u);
}

TEST_F(PadTest, FallbackModeAxisRule) {
  struct Case {
    uint32_t raw;
    int32_t mapped;
  } cases[] = {{0, -1000},     {0x7FFF, 0},    {0xFFFF, 1000}, {0xFFFE, 999},  {1, -999},
               {0x6000, 0},    {0xA000, 0},    {0x5FFF, 0},    {0x3000, -500}, {0xD000, 500},
               {0xA001, 0},    {0x8000, 0}};
  for (const Case& c : cases) EXPECT_EQ(MapSimpleJoystickAxis(c.raw), c.mapped) << c.raw;
}

TEST_F(PadTest, FallbackModeCountsEightPadsAndReadsThroughTheAxisRule) {
  SetNoDirectInputFlag(1);
  StartWithPads(1);
  EXPECT_EQ(GetInputBlock().mode, InputMode::kFallback);
  EXPECT_EQ(GetInputBlock().pad_count, 8);
  // Raw 0xFFFE on X (the fake's -32768..32767 is the joystick's 0..0xFFFF).
  SetPad(0, static_cast<int16_t>(0xFFFE - 32768), static_cast<int16_t>(0x7FFF - 32768), 5);
  EXPECT_EQ(GetJoypadBits(1), 4u | (1u << 9));
  EXPECT_EQ(GetInputBlock().pads[0].state.x, 999);
  EXPECT_EQ(GetInputBlock().pads[0].state.y, 0);
  // An id that did not answer reads as all zero.
  EXPECT_EQ(GetJoypadBits(3), 0u);
}

TEST_F(PadTest, ReadsAreCachedPerMillisecond) {
  // The fallback mode has no change notification, so only time refreshes.
  SetNoDirectInputFlag(1);
  StartWithPads(1);
  SetPad(0, 32767, 0);
  EXPECT_EQ(GetJoypadBits(1), 4u);
  SetPad(0, -32768, 0);
  EXPECT_EQ(GetJoypadBits(1), 4u);
  clock_.Advance(1);
  EXPECT_EQ(GetJoypadBits(1), 2u);
}

TEST_F(PadTest, ChangeNotificationRefreshesWithinTheSameMillisecond) {
  StartWithPads(1);
  SetPad(0, 32767, 0);
  EXPECT_EQ(GetJoypadBits(1), 4u);
  SetPad(0, -32768, 0);
  EXPECT_EQ(GetJoypadBits(1), 2u);
}

TEST_F(PadTest, RumbleStopsWhenItsTimeIsUp) {
  StartWithPads(1);
  JoypadRecord& pad = GetInputBlock().pads[0];
  pad.vibration_on = 1;
  pad.vibration_power = 10000;
  pad.vibration_duration = 50;
  pad.vibration_elapsed = 0;
  pad.vibration_stamp = clock_.Milliseconds();
  ApplyJoypadEffects();
  bool strong = false, weak = false;
  platform::FakePadRumble(0, &strong, &weak);
  EXPECT_TRUE(strong);
  EXPECT_TRUE(weak);
  clock_.Advance(30);
  UpdateJoypadVibration();
  EXPECT_EQ(pad.vibration_on, 1);
  clock_.Advance(30);
  UpdateJoypadVibration();
  EXPECT_EQ(pad.vibration_on, 0);
  platform::FakePadRumble(0, &strong, &weak);
  EXPECT_FALSE(strong);
  EXPECT_FALSE(weak);
}

}  // namespace
