// Presentation and screen saves, read from what the display stand-in's
// window shows: every way of presenting shows the back screen (doubled at
// window scale 2), full screen leaves the back buffer as each kind of
// present should, presents are counted, and a saved area decodes back to
// the drawn pixels.
#include <filesystem>
#include <fstream>

#include "engine/api/presentation_entry_points.h"
#include "engine/core/window/window_procedure.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/screen_save.h"
#include "platform/display/raster.h"
#include "platform/display/window_presenter.h"
#include "tests/graphics/golden_png.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

namespace fs = std::filesystem;

enum class Way { kHardware16, kHardware32, kSoftwareBanned16, kSoftwareBanned32, kSoftwareAllowed16 };

const char* WayName(Way way) {
  switch (way) {
    case Way::kHardware16: return "hardware 16";
    case Way::kHardware32: return "hardware 32";
    case Way::kSoftwareBanned16: return "software, hardware banned, 16";
    case Way::kSoftwareBanned32: return "software, hardware banned, 32";
    case Way::kSoftwareAllowed16: return "software, hardware allowed, 16";
  }
  return "";
}

// 0x00RRGGBB with each channel cut to its high bits, so 5-6-5 widening by
// replication or with zero low bits compares equal.
uint32_t Coarse(uint32_t rgb) { return rgb & 0xF0F0F0u; }

class PresentationTest : public ScreenTest {
 protected:
  void Start(Way way) {
    const int bits = (way == Way::kHardware32 || way == Way::kSoftwareBanned32) ? 32 : 16;
    GetScreenColorState().ScreenBits = bits;
    switch (way) {
      case Way::kHardware16:
      case Way::kHardware32:
        pd::test::SetDesktop(2048, 1200, bits);
        StartHardware();
        // The DirectDraw path: the recording 3D device draws no pixels.
        CurrentDrawState.Use3D = 0;
        break;
      case Way::kSoftwareBanned16:
      case Way::kSoftwareBanned32:
        StartSoftware();
        break;
      case Way::kSoftwareAllowed16:
        pd::test::SetDesktop(2048, 1200, 16);
        SetRenderingMode(0);
        AllowHardwareRendering(1);
        ASSERT_EQ(InitializeGraphics(), 0);
        break;
    }
    SetVBlankWaitFlag(0);
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }

  // A red box at (10, 10)-(20, 20) and a green one at the bottom-right
  // corner on black.
  void DrawFrame() {
    ASSERT_EQ(PaintBox(0, 0, 640, 480, PackScreenColor(0, 0, 0), 1), 0);
    ASSERT_EQ(PaintBox(10, 10, 20, 20, PackScreenColor(255, 0, 0), 1), 0);
    ASSERT_EQ(PaintBox(620, 460, 640, 480, PackScreenColor(0, 255, 0), 1), 0);
  }

  void SetScale(double scale) {
    WindowData& w = GetWindowData();
    w.window_scale = scale;
    const int width = static_cast<int>(640 * scale), height = static_cast<int>(480 * scale);
    platform::SetMainWindowGeometry(100, 50, width, height);
    w.client_rect = WindowRectangle{100, 50, 100 + width, 50 + height};
  }

  static uint32_t Shown(int x, int y) {
    pd::WindowImageCopy shown;
    if (!pd::CopyWindowImage(&shown)) return 0xDEADBEEF;
    if (x >= shown.width || y >= shown.height) return 0xDEADBEEF;
    return Coarse(shown.Rgb(x, y));
  }
};

TEST_F(PresentationTest, EveryWayShowsTheBackScreenDoubledAtScaleTwo) {
  const Way ways[] = {Way::kHardware16, Way::kHardware32, Way::kSoftwareBanned16,
                      Way::kSoftwareBanned32, Way::kSoftwareAllowed16};
  for (const Way way : ways) {
    for (const int scale : {1, 2}) {
      SCOPED_TRACE(std::string(WayName(way)) + " at scale " + std::to_string(scale));
      SetScale(scale);
      Start(way);
      DrawFrame();
      SetPresentCount(0);
      EXPECT_EQ(PresentBackScreen(), 0);
      EXPECT_EQ(PresentFrame(), 0);
      EXPECT_EQ(GetPresentCount(), 2);
      const int s = scale;
      EXPECT_EQ(Shown(15 * s, 15 * s), 0xF00000u);
      EXPECT_EQ(Shown(10 * s, 10 * s), 0xF00000u) << "the box's first pixel";
      EXPECT_EQ(Shown(20 * s, 20 * s), 0u) << "past the box";
      EXPECT_EQ(Shown(640 * s - 1, 480 * s - 1), 0x00F000u) << "the last pixel of the window";
      EXPECT_EQ(Shown(620 * s - 1, 470 * s), 0u);
      if (way == Way::kSoftwareBanned16 || way == Way::kSoftwareBanned32 ||
          way == Way::kSoftwareAllowed16) {
        EXPECT_EQ(GetReadBackPending(), 1) << "the display no longer shows the front image";
      }
      TerminateGraphics();
      GetScreenColorState() = ScreenColorState{};
      GetDisplayState() = DisplayState{};
      ResetDrawTargetState();
    }
  }
}

TEST_F(PresentationTest, FullScreenPresentKeepsTheFrameAndTheFlipTheOneBefore) {
  SetOsVersionCode(kOsWindowsVista);
  StartHardware(true, 16);
  CurrentDrawState.Use3D = 0;  // the DirectDraw path: the recording 3D device draws no pixels
  SetVBlankWaitFlag(0);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  pd::Surface* back = GetMainSurfaces().BackSurface.get();
  ASSERT_NE(back, nullptr);
  auto backPixel = [&](int x, int y) {
    pd::LockedRect lock;
    const pd::Rect r{x, y, x + 1, y + 1};
    if (back->Lock(&r, pd::kLockReadOnly, &lock) != pd::Result::kOk) return 0xDEADBEEFu;
    const uint32_t v = *reinterpret_cast<const uint16_t*>(lock.bits);
    back->Unlock();
    return v;
  };

  ASSERT_EQ(PaintBox(0, 0, 640, 480, PackScreenColor(255, 0, 0), 1), 0);
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_EQ(Shown(5, 5), 0xF00000u);
  EXPECT_EQ(backPixel(5, 5), 0xF800u) << "the back buffer holds the presented frame";

  ASSERT_EQ(PaintBox(0, 0, 640, 480, PackScreenColor(0, 255, 0), 1), 0);
  EXPECT_EQ(FlipBackScreen(), 0);
  EXPECT_EQ(Shown(5, 5), 0x00F000u);
  EXPECT_EQ(backPixel(5, 5), 0xF800u) << "after a flip the back buffer holds the frame before";

  // Other systems copy instead of flipping: the back buffer keeps the frame.
  SetOsVersionCode(kOsWindowsXp);
  ASSERT_EQ(PaintBox(0, 0, 640, 480, PackScreenColor(0, 0, 255), 1), 0);
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_EQ(Shown(5, 5), 0x0000F0u);
  EXPECT_EQ(backPixel(5, 5), 0x001Fu);
}

TEST_F(PresentationTest, CountsFromZeroAfterAModeChangeAndTheFrontScreenWaitsOneBlank) {
  StartHardware();
  SetVBlankWaitFlag(1);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_GE(GetPresentCount(), 1);
  ASSERT_EQ(ChangeScreenMode(640, 480, 32, 60), 0);
  EXPECT_EQ(GetPresentCount(), 0);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_EQ(PresentScreen(), 0);
  EXPECT_EQ(GetPresentCount(), 2);

  ASSERT_EQ(SetDrawTarget(-4), 0);
  SetPresentCount(0);
  // Start just after a blank so the wait must run to the next one.
  const uint64_t now = clock_.Microseconds();
  clock_.AdvanceMicroseconds(pd::NextBlankEnd(now) - now + 100);
  const uint64_t before = clock_.Microseconds();
  EXPECT_EQ(PresentScreen(), 0);
  const uint64_t after = clock_.Microseconds();
  EXPECT_EQ(GetPresentCount(), 1);
  EXPECT_GE(after, pd::NextBlankBegin(before)) << "waited for the next blank";
  EXPECT_LT(after, pd::NextBlankBegin(pd::NextBlankBegin(before))) << "and no further";
}

TEST_F(PresentationTest, PaintShowsTheBackScreenAtOnce) {
  StartSoftware();
  SetVBlankWaitFlag(1);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  SetInitializedFlag(1);
  DrawFrame();
  const uint64_t before = clock_.Microseconds();
  WindowMessage paint;
  paint.message = kWmPaint;
  MainWindowProc(paint);
  EXPECT_EQ(Shown(15, 15), 0xF00000u);
  EXPECT_EQ(GetDisplayState().VSyncFlag, 1) << "the wait flag is put back";
  EXPECT_LT(clock_.Microseconds() - before, 1000u) << "no wait for the vertical blank";
}

class ScreenSaveTest : public PresentationTest {
 protected:
  std::string Name(const std::string& leaf) const {
    return platform::NativeToEnginePath((scratch_.Path() / leaf).string());
  }
  fs::path Native(const std::string& leaf) const { return scratch_.Path() / leaf; }
};

TEST_F(ScreenSaveTest, APngSaveDecodesBackToTheDrawnPixels) {
  const Way ways[] = {Way::kHardware16, Way::kHardware32, Way::kSoftwareBanned16,
                      Way::kSoftwareBanned32};
  for (const Way way : ways) {
    SCOPED_TRACE(WayName(way));
    Start(way);
    DrawFrame();
    ASSERT_EQ(PaintBox(30, 5, 34, 9, PackScreenColor(0, 0, 255), 1), 0);
    ASSERT_EQ(SetClipArea(0, 0, 40, 30), 0);
    // Corners in either order; the area is clipped to the draw area.
    ASSERT_EQ(SaveScreenAreaAsPng(50, 25, 5, 0, Name("area.png").c_str(), 6), 0);
    golden::Frame frame;
    ASSERT_TRUE(golden::ReadPng(Native("area.png").string(), &frame));
    ASSERT_EQ(frame.width, 35);
    ASSERT_EQ(frame.height, 25);
    for (int y = 0; y < 25; ++y) {
      for (int x = 0; x < 35; ++x) {
        const int sx = x + 5, sy = y;
        uint32_t want = 0;
        if (sx >= 10 && sx < 20 && sy >= 10 && sy < 20) want = 0xFF0000;
        if (sx >= 30 && sx < 34 && sy >= 5 && sy < 9) want = 0x0000FF;
        ASSERT_EQ(Coarse(frame.rgb[static_cast<size_t>(y) * 35 + x]), Coarse(want))
            << "at " << sx << ", " << sy;
      }
    }
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
    ResetDrawTargetState();
    fs::remove(Native("area.png"));
  }
}

TEST_F(ScreenSaveTest, WhatIsRefusedWritesNothing) {
  Start(Way::kHardware16);
  DrawFrame();
  EXPECT_EQ(SaveScreenArea(0, 0, 8, 8, Name("t3.png").c_str(), 3, 80, 0, 6), 0);
  EXPECT_FALSE(fs::exists(Native("t3.png"))) << "type 3 writes nothing";
  EXPECT_EQ(SaveScreenArea(700, 0, 800, 50, Name("out.png").c_str(), 2, 80, 0, 6), -1);
  EXPECT_EQ(SaveScreenArea(5, 5, 5, 50, Name("out.png").c_str(), 0, 80, 0, 6), -1);
  EXPECT_FALSE(fs::exists(Native("out.png"))) << "an area clipped to nothing";

  pd::test::FailLocks(1);
  EXPECT_EQ(SaveScreenArea(0, 0, 8, 8, Name("lock.bmp").c_str(), 0, 80, 0, 6), -1);
  EXPECT_FALSE(fs::exists(Native("lock.bmp")));
  EXPECT_EQ(SaveScreenArea(0, 0, 8, 8, Name("no\\such\\folder.bmp").c_str(), 0, 80, 0, 6), -1)
      << "a file that cannot be created";
}

TEST_F(ScreenSaveTest, AnExistingFileIsReplaced) {
  Start(Way::kSoftwareBanned32);
  DrawFrame();
  {
    std::ofstream old(Native("shot.bmp"), std::ios::binary);
    old << std::string(5000, 'x');
  }
  ASSERT_EQ(SaveScreenArea(10, 10, 15, 12, Name("shot.bmp").c_str(), 0, 80, 0, 6), 0);
  EXPECT_EQ(fs::file_size(Native("shot.bmp")), 54u + 16u * 2u);
  std::ifstream in(Native("shot.bmp"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 57u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  // A red pixel, stored blue, green, red.
  EXPECT_EQ(static_cast<uint8_t>(bytes[54]), 0);
  EXPECT_EQ(static_cast<uint8_t>(bytes[55]), 0);
  EXPECT_EQ(static_cast<uint8_t>(bytes[56]), 255);
}

}  // namespace
}  // namespace graphics_test
