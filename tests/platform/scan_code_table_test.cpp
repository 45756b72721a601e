// The scan-code table: rows a game tests (letters, digits, arrows, Enter,
// Esc, Shift, Ctrl, the Japanese keys) and the table's bounds.
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <set>

#include "platform/scan_codes.h"

namespace {

TEST(ScanCodeTable, RowsThatMatter) {
  struct Row {
    SDL_Scancode scancode;
    uint8_t dik;
  } rows[] = {
      {SDL_SCANCODE_A, 0x1E},           {SDL_SCANCODE_Q, 0x10},
      {SDL_SCANCODE_Z, 0x2C},           {SDL_SCANCODE_X, 0x2D},
      {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_M, 0x32},
      {SDL_SCANCODE_P, 0x19},           {SDL_SCANCODE_L, 0x26},
      {SDL_SCANCODE_1, 0x02},           {SDL_SCANCODE_9, 0x0A},
      {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_UP, 0xC8},
      {SDL_SCANCODE_DOWN, 0xD0},        {SDL_SCANCODE_LEFT, 0xCB},
      {SDL_SCANCODE_RIGHT, 0xCD},       {SDL_SCANCODE_RETURN, 0x1C},
      {SDL_SCANCODE_KP_ENTER, 0x9C},    {SDL_SCANCODE_ESCAPE, 0x01},
      {SDL_SCANCODE_SPACE, 0x39},       {SDL_SCANCODE_LSHIFT, 0x2A},
      {SDL_SCANCODE_RSHIFT, 0x36},      {SDL_SCANCODE_LCTRL, 0x1D},
      {SDL_SCANCODE_RCTRL, 0x9D},       {SDL_SCANCODE_LALT, 0x38},
      {SDL_SCANCODE_RALT, 0xB8},        {SDL_SCANCODE_F1, 0x3B},
      {SDL_SCANCODE_F10, 0x44},         {SDL_SCANCODE_F11, 0x57},
      {SDL_SCANCODE_F12, 0x58},         {SDL_SCANCODE_KP_2, 0x50},
      {SDL_SCANCODE_KP_8, 0x48},        {SDL_SCANCODE_DELETE, 0xD3},
      {SDL_SCANCODE_CAPSLOCK, 0x3A},
      // Japanese keys.
      {SDL_SCANCODE_INTERNATIONAL1, 0x73},  // ro
      {SDL_SCANCODE_INTERNATIONAL2, 0x70},  // katakana/hiragana
      {SDL_SCANCODE_INTERNATIONAL3, 0x7D},  // yen
      {SDL_SCANCODE_INTERNATIONAL4, 0x79},  // henkan
      {SDL_SCANCODE_INTERNATIONAL5, 0x7B},  // muhenkan
      {SDL_SCANCODE_LANG5, 0x94},           // hankaku/zenkaku
      {SDL_SCANCODE_GRAVE, 0x29},
      {SDL_SCANCODE_NONUSHASH, 0x2B},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::DikFromScancode(row.scancode), row.dik)
        << "scan code " << static_cast<int>(row.scancode);
  }
}

TEST(ScanCodeTable, UnknownAndOutOfRangeCodesGiveNoKey) {
  EXPECT_EQ(platform::DikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(platform::DikFromScancode(-1), 0);
  EXPECT_EQ(platform::DikFromScancode(SDL_NUM_SCANCODES), 0);
  EXPECT_EQ(platform::DikFromScancode(100000), 0);
}

TEST(ScanCodeTable, EveryKeyOfTheMainBlockHasADistinctCode) {
  // Letters, digits and the function keys must not collide.
  std::set<uint8_t> seen;
  for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_0; ++s) {
    const uint8_t dik = platform::DikFromScancode(s);
    EXPECT_NE(dik, 0) << s;
    EXPECT_TRUE(seen.insert(dik).second) << s;
  }
  for (int s = SDL_SCANCODE_F1; s <= SDL_SCANCODE_F12; ++s) {
    const uint8_t dik = platform::DikFromScancode(s);
    EXPECT_NE(dik, 0) << s;
    EXPECT_TRUE(seen.insert(dik).second) << s;
  }
}

}  // namespace
