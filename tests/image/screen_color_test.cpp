// Screen colours: packing in the screen's format, the nearest palette entry of
// an 8-bit screen, and the screen format set at a mode change.
#include "engine/graphics/image/screen_color.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/fake_services.h"

namespace {

struct ScreenColorFixture : testing::Test {
  ScreenColorState saved = GetScreenColorState();
  ScreenColorFixture() {
    std::memset(&GetScreenColorState(), 0, sizeof(ScreenColorState));
    InstallServices({});
  }
  ~ScreenColorFixture() override {
    GetScreenColorState() = saved;
    InstallServices({});
  }
  static void SetEntry(int i, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* e = &GetScreenColorState().PaletteEntries[i * 4];
    e[0] = r;
    e[1] = g;
    e[2] = b;
  }
};

TEST_F(ScreenColorFixture, SoftwareRenderingPacksInTheMemoryScreensFormat) {
  ScreenColorState& s = GetScreenColorState();
  s.SoftwareRendering = 1;
  s.ScreenBits = 16;
  s.RequestedScreenBits = 32;
  EXPECT_EQ(PackScreenColor(1, 2, 3), 0xFF010203u);
  s.RequestedScreenBits = 16;
  EXPECT_EQ(PackScreenColor(255, 0, 255), 0xF81Fu);
  s.RequestedScreenBits = 0;  // unset means 16
  EXPECT_EQ(PackScreenColor(0, 255, 0), 0x07E0u);
}

TEST_F(ScreenColorFixture, HardwareDrawingPacksInTheDisplayFormat) {
  ScreenColorState& s = GetScreenColorState();
  s.ScreenBits = 16;
  CreateColorFormat(&s.ScreenColorFormat, 16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(PackScreenColor(255, 0, 0), 0xFC00u);
  int r, g, b;
  EXPECT_EQ(UnpackScreenColor(0xFC00, &r, &g, &b), 0);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
}

TEST_F(ScreenColorFixture, EightBitScreenPicksTheNearestLowestEntry) {
  ScreenColorState& s = GetScreenColorState();
  s.ScreenBits = 8;
  for (int i = 0; i < 256; ++i) SetEntry(i, 255, 255, 255);
  SetEntry(0, 0, 0, 0);
  SetEntry(10, 100, 100, 100);
  SetEntry(11, 102, 100, 100);
  SetEntry(12, 100, 100, 100);  // same as 10: the lower index wins
  EXPECT_EQ(PackScreenColor(0, 0, 0), 0u);
  EXPECT_EQ(PackScreenColor(255, 255, 255), 1u);
  EXPECT_EQ(PackScreenColor(101, 100, 100), 10u);
  EXPECT_EQ(PackScreenColor(102, 101, 100), 11u);
  int r = -1, g = -1, b = -1;
  EXPECT_EQ(UnpackScreenColor(11, &r, &g, &b), 0);
  EXPECT_EQ(r, 102);
  EXPECT_EQ(UnpackScreenColor(256, &r, &g, &b), -1);
}

TEST_F(ScreenColorFixture, SoftwareRenderingUnpacksInTheRequestedDepthWhenTheyDiffer) {
  ScreenColorState& s = GetScreenColorState();
  s.SoftwareRendering = 1;
  s.ScreenBits = 16;
  s.RequestedScreenBits = 32;
  CreateColorFormat(&s.ScreenColorFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
  int r, g, b;
  UnpackScreenColor(0x00804020, &r, &g, &b);
  EXPECT_EQ(r, 0x80);
  EXPECT_EQ(g, 0x40);
  EXPECT_EQ(b, 0x20);
}

TEST_F(ScreenColorFixture, SetupWithoutHardwareUsesTheCachedPlainFormats) {
  ScreenColorState& s = GetScreenColorState();
  s.HardwareBanned = 1;
  s.ScreenBits = 24;
  EXPECT_EQ(SetupScreenColorFormat(), 0);
  EXPECT_EQ(s.ScreenBits, 16);
  EXPECT_EQ(EqualColorFormat(&s.ScreenColorFormat, GetColorFormat(0, 0, 0)), 1);
  s.ScreenBits = 32;
  SetupScreenColorFormat();
  EXPECT_EQ(EqualColorFormat(&s.ScreenColorFormat, GetColorFormat(1, 0, 0)), 1);
}

int Query555(DisplayModeFormat* f) {
  *f = DisplayModeFormat{16, 0x7C00, 0x3E0, 0x1F, 0};
  return 0;
}
int QueryBgr(DisplayModeFormat* f) {
  *f = DisplayModeFormat{32, 0xFF, 0xFF00, 0xFF0000, 0};
  return 0;
}

TEST_F(ScreenColorFixture, SetupWithHardwareReadsTheDisplayMode) {
  ScreenColorState& s = GetScreenColorState();
  FakeServices services;
  services.graphics.query_display_mode_format = Query555;
  services.Install();
  SetupScreenColorFormat();
  EXPECT_EQ(s.ScreenBits, 16);
  EXPECT_EQ(s.ScreenFormatClass, 1);
  EXPECT_EQ(s.ScreenColorFormat.SpareMask, 0x8000u);
  EXPECT_EQ(s.ScreenPixelFormat.RedMask, 0x7C00u);
  services.graphics.query_display_mode_format = QueryBgr;
  SetupScreenColorFormat();
  EXPECT_EQ(s.ScreenBits, 32);
  EXPECT_EQ(s.ScreenFormatClass, 3);
}

}  // namespace
