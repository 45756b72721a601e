// Key states, the virtual-key table, the any-input check and the lazy start
// of input.
#include <cstring>

#include "engine/core/input/input_any_check.h"
#include "engine/core/input/keyboard_input.h"
#include "engine/core/input/mouse_input.h"
#include "platform/scan_codes.h"
#include "tests/core/window_test_fixture.h"

namespace {

namespace dik = platform::dik;

class KeyboardTest : public WindowFixture {
 protected:
  void Start(bool fallback = false) {
    SetNoDirectInputFlag(fallback ? 1 : 0);
    OpenWindow();
    ASSERT_EQ(InitializeInput(), 0);
  }
  // The keys FillKeyStateBuffer reports as held.
  static std::vector<int> HeldKeys() {
    uint8_t keys[256];
    EXPECT_EQ(FillKeyStateBuffer(keys), 0);
    std::vector<int> held;
    for (int i = 0; i < 256; ++i) {
      if (keys[i] != 0) held.push_back(i);
    }
    return held;
  }
};

TEST_F(KeyboardTest, TableHasItsTwoHalvesInOrder) {
  int first_half = 0, second_half = 0;
  bool separator = false, end = false;
  for (int i = 0; i < kVkToDikTableSize; ++i) {
    const VkDikPair& pair = kVkToDikTable[i];
    if (pair.vk == kVkDikSeparator) {
      EXPECT_EQ(pair.dik, 0);
      separator = true;
    } else if (pair.vk == kVkDikEnd) {
      EXPECT_EQ(pair.dik, kVkDikEnd);
      EXPECT_EQ(i, kVkToDikTableSize - 1);
      end = true;
    } else {
      (separator ? second_half : first_half)++;
    }
  }
  EXPECT_TRUE(separator);
  EXPECT_TRUE(end);
  EXPECT_EQ(first_half, 72);
  EXPECT_EQ(second_half, 27);
}

TEST_F(KeyboardTest, HeldKeysReadByPositionWithTheJapaneseLayoutsPunctuation) {
  Start();
  struct Case {
    uint8_t held;
    std::vector<int> seen;
  } cases[] = {
      {dik::kA, {0x1E}},
      {dik::kLeft, {0xCB}},
      {dik::kLShift, {0x2A}},
      {dik::kF1, {0x3B}},
      {dik::kKana, {0x70}},
      {dik::kConvert, {0x79}},
      // The Japanese board: '@' sits where '[' is, ':' where the apostrophe
      // is, '[' where ']' is and ']' left of Enter.
      {dik::kLBracket, {0x91}},
      {dik::kApostrophe, {0x28, 0x92}},
      {dik::kRBracket, {0x1A}},
      {dik::kBackslash, {0x1B}},
      {dik::kAbntC1, {0x2B, 0x73}},
      {dik::kYen, {0x7D}},
      {dik::kNumpadEnter, {0x1C, 0x9C}},
  };
  for (const Case& c : cases) {
    platform::SetFakeKey(c.held, true);
    EXPECT_EQ(HeldKeys(), c.seen) << "held " << int{c.held};
    platform::SetFakeKey(c.held, false);
  }
  EXPECT_TRUE(HeldKeys().empty());
}

TEST_F(KeyboardTest, FallbackModeSeesOnlyTheTablesKeysThroughTheirVirtualKeys) {
  Start(/*fallback=*/true);
  struct Case {
    uint8_t held;
    std::vector<int> seen;
  } cases[] = {
      {dik::kA, {0x1E}},
      {dik::kReturn, {0x1C, 0x9C}},   // one virtual key for both Enter keys
      {dik::kRControl, {0x9D}},
      {dik::kF12, {0x58}},
      {dik::kF13, {}},                // not in the table
      {dik::kKanji, {}},
  };
  for (const Case& c : cases) {
    platform::SetFakeKey(c.held, true);
    clock_.Advance(1);  // no change notification in this mode
    EXPECT_EQ(HeldKeys(), c.seen) << "held " << int{c.held};
    platform::SetFakeKey(c.held, false);
  }
}

TEST_F(KeyboardTest, VirtualKeysOfKeyPositions) {
  struct Case {
    uint8_t dik;
    uint32_t vk;
  } cases[] = {{dik::kA, 0x41},      {dik::kZ, 0x5A},        {dik::k1, 0x31},     {dik::k0, 0x30},
               {dik::kLeft, 0x25},   {dik::kUp, 0x26},       {dik::kRight, 0x27}, {dik::kDown, 0x28},
               {dik::kDelete, 0x2E}, {dik::kReturn, 0x0D},   {dik::kEscape, 0x1B}, {dik::kLShift, 0xA0},
               {dik::kF10, 0x79},    {dik::kLBracket, 0xC0}, {dik::kAt, 0},       {0, 0},
               {dik::kKanji, 0}};
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromDik(c.dik), c.vk) << int{c.dik};
}

TEST_F(KeyboardTest, ReadingAfterTerminateStartsInputAndReadsNothing) {
  Start();
  platform::SetFakeKey(dik::kA, true);
  TerminateInput();
  uint8_t keys[256];
  std::memset(keys, 0xAA, sizeof(keys));
  EXPECT_EQ(FillKeyStateBuffer(keys), 0);
  EXPECT_EQ(keys[0], 0xAA);
  EXPECT_EQ(keys[dik::kA], 0xAA);
  EXPECT_EQ(GetInputBlock().mode, InputMode::kDevices);
  EXPECT_EQ(FillKeyStateBuffer(keys), 0);
  EXPECT_EQ(keys[dik::kA], 1);
}

TEST_F(KeyboardTest, NoLazyStartOnceTheCloseRequestIsPosted) {
  OpenWindow();
  GetWindowData().exit_requested = 1;
  uint8_t keys[256];
  FillKeyStateBuffer(keys);
  EXPECT_EQ(GetInputBlock().mode, InputMode::kNone);
}

TEST_F(KeyboardTest, AnyInputSkipsLockKeysAndReportsTheLowestCode) {
  Start();
  platform::SetFakeKey(dik::kCapital, true);
  platform::SetFakeKey(dik::kKana, true);
  platform::SetFakeKey(dik::kKanji, true);
  EXPECT_EQ(CheckAnyInput(7), 0);
  platform::SetFakeKey(dik::kZ, true);
  EXPECT_EQ(CheckAnyInput(7), dik::kZ);
  platform::SetFakeKey(dik::kEscape, true);
  EXPECT_EQ(CheckAnyInput(7), dik::kEscape);
  EXPECT_EQ(CheckAnyInput(4), 0);  // the mouse only
}

TEST_F(KeyboardTest, AnyInputReportsPadsAndMouseButtonsAsMinusOne) {
  platform::InstallFakePads(1);
  Start();
  platform::RawPadInput pressed;
  pressed.buttons[3] = true;
  platform::SetFakePadInput(0, pressed);
  EXPECT_EQ(CheckAnyInput(1), -1);
  EXPECT_EQ(CheckAnyInput(4), 0);
  platform::SetFakePadInput(0, platform::RawPadInput{});
  EXPECT_EQ(CheckAnyInput(7), 0);
  platform::SetFakeMouseButtons(2);
  EXPECT_EQ(ReadMouseButtons(), 2u);
  EXPECT_EQ(CheckAnyInput(1), 0);
  EXPECT_EQ(CheckAnyInput(2), 0);
  EXPECT_EQ(CheckAnyInput(4), -1);
  EXPECT_EQ(CheckAnyInput(7), -1);
}

TEST_F(KeyboardTest, KeyboardReadsAreCachedPerMillisecondUnlessTheKeyboardChanged) {
  Start();
  EXPECT_EQ(UpdateKeyboardState(), 1);
  EXPECT_EQ(UpdateKeyboardState(), 0);  // same millisecond, no change
  platform::SetFakeKey(dik::kA, true);
  EXPECT_EQ(UpdateKeyboardState(), 1);  // the change forces a read
  EXPECT_EQ(UpdateKeyboardState(), 0);
  clock_.Advance(1);
  EXPECT_EQ(UpdateKeyboardState(), 1);
}

}  // namespace
