// Screen modes and their timing on the virtual clock: pacing between mode
// changes, the frame-time measurement on the simulated raster, the mode
// ladder with refused modes, the render-mode switches.
#include <set>

#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using ScreenModeTest = ScreenTest;

TEST_F(ScreenModeTest, ModeChangesArePaced) {
  struct Case {
    uint32_t last, now, after;
  };
  const Case cases[] = {
      {1000, 2500, 3060},  // within 2,000 ms: until 2,060 ms after the last
      {1000, 3500, 3560},  // later: 60 ms
      {0, 2500, 2560},     // none yet: 60 ms
  };
  for (const Case& c : cases) {
    GetDisplayState().LastModeChangeTime = c.last;
    clock_.AdvanceMicroseconds(uint64_t{c.now} * 1000 - clock_.Microseconds());
    PaceModeChange();
    EXPECT_EQ(clock_.Milliseconds(), c.after);
    EXPECT_EQ(GetDisplayState().LastModeChangeTime, c.after);
  }
}

TEST_F(ScreenModeTest, AnUnchangedModeIsLeftAlone) {
  StartSoftware();
  const uint32_t before = clock_.Milliseconds();
  EXPECT_EQ(ChangeScreenModeDD(-1, -1, -1, 0, -1), 0);
  EXPECT_EQ(clock_.Milliseconds(), before) << "no pacing sleep";
  const int graph = NewGraph(8, 8, 0);
  EXPECT_EQ(ChangeScreenModeDD(-1, -1, -1, 1, -1), 0);
  EXPECT_EQ(GetGraphRecord(graph), nullptr) << "force rebuilds everything";
  EXPECT_GE(clock_.Milliseconds() - before, 60u);
}

TEST_F(ScreenModeTest, FlipIntervalAndRefreshFromFrameTimes) {
  EXPECT_EQ(MinFlipIntervalFor(14), 8);
  EXPECT_EQ(MinFlipIntervalFor(16), 9);
  EXPECT_EQ(MinFlipIntervalFor(17), 10);
  EXPECT_EQ(MinFlipIntervalFor(-1), -1);
  EXPECT_EQ(RefreshRateFromFrame(16950, 1), 59);
  EXPECT_EQ(RefreshRateFromFrame(16667, 1), 60);
  EXPECT_EQ(RefreshRateFromFrame(13333, 1), 75);
  EXPECT_EQ(RefreshRateFromFrame(16667 * 8, 8), 60);
}

TEST_F(ScreenModeTest, FrameTimeOnTheSimulatedRasterIsFixedByItsPhase) {
  StartHardware();
  std::set<int> seen;
  for (uint64_t phase = 0; phase < 16667; phase += 1111) {
    pd::test::SetRasterPhase(phase);
    int results[2];
    for (int& result : results) {
      // The same start on the clock and the same raster phase.
      platform::VirtualClock clock{5'000'000};
      platform::ScopedClock scoped{clock};
      MeasureFrameTime();
      result = GetDisplayState().MinFlipInterval;
    }
    EXPECT_TRUE(results[0] == 9 || results[0] == 10) << results[0];
    EXPECT_EQ(results[1], results[0]) << "phase " << phase;
    EXPECT_EQ(GetMeasuredRefreshRate(), 60);
    seen.insert(results[0]);
  }
  EXPECT_EQ(seen.size(), 2u) << "both frame times occur at some phase";
}

TEST_F(ScreenModeTest, SetScreenModeRefusalsAndTheFallBack) {
  StartHardware(true, 16);
  const int graph = NewGraph(8, 8, 0);
  ASSERT_NE(graph, -1);
  EXPECT_EQ(SetScreenMode(0, 480, 16, -1), -1);
  EXPECT_EQ(CountGraphHandles(), 0) << "every graph released first";
  EXPECT_EQ(SetScreenMode(640, 480, 24, -1), -1);

  EXPECT_EQ(SetScreenMode(800, 600, 32, -1), 0);
  int w = 0, h = 0;
  GetScreenSize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(GetScreenColorState().ScreenBits, 32);

  // A refused mode whose previous mode fails too: 640 x 480 x 16.
  pd::test::FailDisplayMode(1024, 768, 32);
  pd::test::FailDisplayMode(800, 600, 32);
  EXPECT_EQ(SetScreenMode(1024, 768, 32, -1), -2);
  GetScreenSize(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(GetScreenColorState().ScreenBits, 16);
  EXPECT_NE(GetMainSurfaces().PrimarySurface, nullptr);
}

TEST_F(ScreenModeTest, SoftwareSwitchesStayAsTheBanSays) {
  SetRenderingMode(0);
  SetRenderingMode(1);
  EXPECT_EQ(IsSoftwareRendering(), 1) << "banned: stays software";
  SetNotUseDirect3D(0);
  EXPECT_EQ(GetDisplayState().NotUseDirect3D, 1);
  AllowHardwareRendering(1);
  EXPECT_EQ(IsHardwareBanned(), 0);
  EXPECT_EQ(IsSoftwareRendering(), 1) << "lifting the ban does not switch";
  SetRenderingMode(1);
  EXPECT_EQ(IsSoftwareRendering(), 0);
  EXPECT_EQ(GetNotUseDirect3D(), 1) << "no 3D device in this build";
}

TEST_F(ScreenModeTest, StartUpFallsBackToSoftwareOnce) {
  pd::test::FailSurfaceCreation(pd::kCapsZBuffer);
  ASSERT_EQ(InitializeGraphics(), 0);
  EXPECT_EQ(IsSoftwareRendering(), 1);
  EXPECT_NE(ReadLog().find("ソフトウエアレンダリングモードに変更します\r\n"), std::string::npos);
  EXPECT_NE(ReadLog().find("DirectDrawSurface の初期化に失敗しました\r\n"), std::string::npos);
  EXPECT_EQ(GetMainSurfaces().ScreensAreMemImgs, 1);
  EXPECT_EQ(CurrentDrawState.DrawTarget, -4);
}

TEST_F(ScreenModeTest, DefaultPaletteIsAGreyRampThroughItsFixedRows) {
  const uint8_t* p = DefaultPalette8();
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[160 * 3], 128);
  EXPECT_EQ(p[255 * 3 + 2], 255);
  for (int i = 1; i < 256; ++i) EXPECT_GE(p[i * 3], p[(i - 1) * 3]);
}

}  // namespace
}  // namespace graphics_test
