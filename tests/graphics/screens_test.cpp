// The screens of each situation, clearing the draw target, reading it back
// into graphics, the temporary primary, surface copies and the software
// front-screen pair.
#include <cstring>

#include "platform/display/window_presenter.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using ScreensTest = ScreenTest;

uint32_t SurfacePixel(pd::Surface& s, int x, int y) {
  pd::LockedRect lock;
  const pd::Rect r{x, y, x + 1, y + 1};
  if (s.Lock(&r, pd::kLockReadOnly, &lock) != pd::Result::kOk) return 0xDEADBEEF;
  uint32_t v = 0;
  std::memcpy(&v, lock.bits, lock.format.bit_count / 8);
  s.Unlock();
  return v;
}

uint32_t ImagePixel(const MEMIMG& img, int x, int y) {
  uint32_t v = 0;
  std::memcpy(&v, img.Pixels + static_cast<ptrdiff_t>(y) * img.Pitch + x * img.Format->PixelByte,
              img.Format->PixelByte);
  return v;
}

TEST_F(ScreensTest, EachSituationMakesItsScreens) {
  struct Case {
    const char* what;
    int software, banned, fullScreen, bits, requested;
    bool primary, back, work, depth, images, backInSurface;
    int screenBits, flipChain;
  };
  const Case cases[] = {
      {"hardware, window", 0, 0, 0, 16, 16, true, true, true, true, false, false, 32, 0},
      {"hardware, full screen 16", 0, 0, 1, 16, 16, true, true, true, true, false, false, 16, 1},
      {"hardware, full screen 32", 0, 0, 1, 32, 32, true, true, true, true, false, false, 32, 1},
      {"software, banned", 1, 1, 0, 16, 16, false, false, false, false, true, false, 32, 0},
      {"software, allowed, plain", 1, 0, 1, 32, 32, true, true, false, false, true, true, 32, 0},
      {"software, allowed, other depth", 1, 0, 0, 16, 16, true, true, false, false, true, false, 32, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GetWindowData().window_mode = c.fullScreen ? 0 : 1;
    GetScreenColorState().ScreenBits = c.bits;
    if (c.software) {
      SetRenderingMode(0);
      if (!c.banned) AllowHardwareRendering(1);
    }
    ASSERT_EQ(InitializeDirectDraw(), 0);
    const MainSurfaces& m = GetMainSurfaces();
    EXPECT_EQ(m.PrimarySurface != nullptr, c.primary);
    EXPECT_EQ(m.BackSurface != nullptr, c.back);
    EXPECT_EQ(m.WorkSurface1 != nullptr && m.WorkSurface2 != nullptr, c.work);
    EXPECT_EQ(m.ZBufferSurface != nullptr, c.depth);
    EXPECT_EQ(m.ScreensAreMemImgs, c.images ? 1 : 0);
    EXPECT_EQ(m.TempPrimarySurface != nullptr, !c.software && GetDisplayState().TempPrimaryMode != 0);
    EXPECT_EQ(GetScreenColorState().ScreenBits, c.screenBits);
    EXPECT_EQ(m.BackSurfaceLockedForImage, c.backInSurface);
    if (c.images) {
      EXPECT_EQ(m.FrontMemImg.Kind, c.requested == 16 ? 0 : 1);
      EXPECT_EQ(m.ZBufferMemImg.Kind, 3);
    }
    if (c.backInSurface) {
      pd::LockedRect lock;
      EXPECT_EQ(m.BackSurface->Lock(nullptr, pd::kLockReadOnly, &lock), pd::Result::kOk);
      EXPECT_EQ(lock.bits, m.BackMemImg.Pixels);
      m.BackSurface->Unlock();
    }
    if (c.flipChain) {
      uint32_t caps = 0;
      m.PrimarySurface->GetCaps(&caps);
      EXPECT_NE(caps & pd::kCapsFlip, 0u);
    }
    EXPECT_EQ(CurrentDrawState.DrawTarget, -4);
    EXPECT_EQ(TerminateDirectDraw(), 0);
    EXPECT_EQ(GetMainSurfaces().PrimarySurface, nullptr);
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
    GetWindowData().window_mode = 1;
  }
}

TEST_F(ScreensTest, SoftwareClearFillsBackgroundAndDepth) {
  StartSoftware();
  ASSERT_EQ(SetDrawTarget(-2), 0);
  MainSurfaces& m = GetMainSurfaces();
  FillMemImg(&m.BackMemImg, nullptr, 0x1234);
  FillMemImg(&m.ZBufferMemImg, nullptr, 7);
  ASSERT_EQ(EraseDrawTarget(), 0);
  EXPECT_EQ(ImagePixel(m.BackMemImg, 5, 5), PackColor(m.BackMemImg.Format, 0, 0, 0, 255));
  EXPECT_EQ(ImagePixel(m.ZBufferMemImg, 639, 479) & 0xFFFF, 0xFFFFu);
}

TEST_F(ScreensTest, HardwareClearOfTheFrontScreenInAWindowFillsOnlyTheWindow) {
  GetDisplayState().TempPrimaryMode = 0;
  StartHardware();
  MainSurfaces& m = GetMainSurfaces();
  // Paint the primary's client area, then clear the front screen.
  pd::BltFx fx;
  fx.fill_color = 0x00FF00;
  const pd::Rect client{100, 50, 740, 530};
  ASSERT_EQ(m.PrimarySurface->Blt(&client, nullptr, nullptr, pd::kBltColorFill, &fx), pd::Result::kOk);
  ASSERT_EQ(SetDrawTarget(-4), 0);
  ASSERT_EQ(ClearDrawTarget(), 0);
  EXPECT_EQ(SurfacePixel(*m.PrimarySurface, 100, 50) & 0xFFFFFF, 0u);
  EXPECT_EQ(SurfacePixel(*m.PrimarySurface, 739, 529) & 0xFFFFFF, 0u);
}

struct ReadBackCase {
  const char* what;
  bool software;
  bool targetImage;  // the draw target is a memory image (an alpha graph on the stand-in)
  bool dataImage;    // the graph read into is a memory image
};

TEST_F(ScreensTest, ReadBackRefusesOtherSizesAndCopiesForEachStoragePair) {
  const ReadBackCase cases[] = {
      {"surface into surface", false, false, false},
      {"image into image (software)", true, true, true},
      {"image into surface", false, true, false},
      {"surface into image", false, false, true},
  };
  for (const ReadBackCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.software) {
      StartSoftware();
    } else {
      StartHardware();
    }
    // The target: the back screen, or on the stand-in an alpha graph.
    int target = -2;
    if (!c.software && c.targetImage) {
      CurrentDrawState.CreateDrawable = 0;
      CurrentDrawState.CreateAlpha = 1;
      target = NewGraph(64, 64, 1);
      CurrentDrawState.CreateAlpha = 0;
    }
    ASSERT_EQ(SetDrawTarget(target), 0);
    const DrawTargetState& t = GetDrawTargetState();
    // A known pattern in the target: red at (3, 4), else blue.
    if (t.TargetMemImg != nullptr && t.TargetSurface == nullptr) {
      FillMemImg(t.TargetMemImg, nullptr, PackColor(t.TargetMemImg->Format, 0, 0, 255, 255));
      const IntRect dot{3, 4, 4, 5};
      FillMemImg(t.TargetMemImg, &dot, PackColor(t.TargetMemImg->Format, 255, 0, 0, 255));
    } else {
      ASSERT_NE(t.TargetSurface, nullptr);
      pd::BltFx fx;
      fx.fill_color = PackScreenColor(0, 0, 255);
      t.TargetSurface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill, &fx);
      fx.fill_color = PackScreenColor(255, 0, 0);
      const pd::Rect dot{3, 4, 4, 5};
      t.TargetSurface->Blt(&dot, nullptr, nullptr, pd::kBltColorFill, &fx);
    }
    CurrentDrawState.CreateAlpha = c.dataImage && !c.software ? 1 : 0;
    const int graph = NewGraph(32, 32, 1);
    CurrentDrawState.CreateAlpha = 0;
    ASSERT_NE(graph, -1);
    SurfaceData* d = GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle);
    ASSERT_EQ(d->MemImgFlag == 1, c.dataImage);

    EXPECT_EQ(CaptureScreenToGraph(0, 0, 33, 32, graph, 0), -1);
    EXPECT_EQ(CaptureScreenToGraph(-1, 0, 31, 32, graph, 0), -1);
    EXPECT_EQ(CaptureScreenToGraph(0, 0, 32, 32, graph, 0), 0);
    int r = 0, g = 0, b = 0, a = 0;
    auto rgb_at = [&](int x, int y) {
      if (d->MemImgFlag == 1) {
        UnpackColor(d->Image.Format, ImagePixel(d->Image, x, y), &r, &g, &b, &a);
      } else {
        UnpackScreenColor(SurfacePixel(*d->Surface, x, y), &r, &g, &b);
      }
      return (r << 16) | (g << 8) | b;
    };
    EXPECT_EQ(rgb_at(3, 4), 0xFF0000);
    EXPECT_EQ(rgb_at(10, 10), 0x0000FF);
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
}

TEST_F(ScreensTest, TempPrimaryTakesTheShownImageAndShowsItAgain) {
  GetDisplayState().TempPrimaryMode = 1;
  StartHardware();
  MainSurfaces& m = GetMainSurfaces();
  ASSERT_NE(m.TempPrimarySurface, nullptr);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_FALSE(IsWindowTimerSet(kTempPrimaryTimerId));
  pd::BltFx fx;
  fx.fill_color = 0x336699;
  const pd::Rect client{100, 50, 740, 530};
  m.PrimarySurface->Blt(&client, nullptr, nullptr, pd::kBltColorFill, &fx);
  ASSERT_EQ(SetDrawTarget(-4), 0);
  EXPECT_EQ(SurfacePixel(*m.TempPrimarySurface, 0, 0) & 0xFFFFFF, 0x336699u);
  EXPECT_TRUE(IsWindowTimerSet(kTempPrimaryTimerId));
  EXPECT_EQ(GetDrawTargetState().TargetSurface, m.TempPrimarySurface.get());

  fx.fill_color = 0x445566;
  m.TempPrimarySurface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill, &fx);
  clock_.Advance(17);
  RunDueWindowTimers();
  EXPECT_EQ(SurfacePixel(*m.PrimarySurface, 100, 50) & 0xFFFFFF, 0x445566u) << "timer shows it";
  EXPECT_TRUE(IsWindowTimerSet(kTempPrimaryTimerId)) << "and sets itself again";

  fx.fill_color = 0x778899;
  m.TempPrimarySurface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill, &fx);
  ASSERT_EQ(SetDrawTarget(-2), 0);
  EXPECT_EQ(SurfacePixel(*m.PrimarySurface, 739, 529) & 0xFFFFFF, 0x778899u);
  EXPECT_FALSE(IsWindowTimerSet(kTempPrimaryTimerId));
}

TEST_F(ScreensTest, SurfaceCopiesByBltFastOrGdiGiveTheSamePixels) {
  StartHardware();
  MainSurfaces& m = GetMainSurfaces();
  pd::BltFx fx;
  fx.fill_color = 0x123456;
  m.BackSurface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill, &fx);
  for (int gdi : {0, 1}) {
    fx.fill_color = 0;
    m.WorkSurface2->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill, &fx);
    EXPECT_EQ(BltSurfaceOrGdi(m.WorkSurface2.get(), m.BackSurface.get(), 5, 6, IntRect{0, 0, 10, 10}, gdi), 0);
    EXPECT_EQ(SurfacePixel(*m.WorkSurface2, 5, 6) & 0xFFFFFF, 0x123456u) << gdi;
    EXPECT_EQ(SurfacePixel(*m.WorkSurface2, 15, 16) & 0xFFFFFF, 0u) << gdi;
  }
  EXPECT_EQ(GetDisplayState().UseBitBltForCopies, 1) << "both batches take 0 us in virtual time";
  EXPECT_NE(ReadLog().find("サーフェス間転送には BitBlt を使用します"), std::string::npos);
}

TEST_F(ScreensTest, SoftwareFrontPairShowsAndReadsBackOnlyWhenPending) {
  for (int banned = 1; banned >= 0; --banned) {
    SCOPED_TRACE(banned ? "hardware banned" : "hardware allowed");
    SetRenderingMode(0);
    if (!banned) AllowHardwareRendering(1);
    ASSERT_EQ(InitializeDirectDraw(), 0);
    MEMIMG& front = GetMainSurfaces().FrontMemImg;
    pd::WindowImageCopy shown;

    FillMemImg(&front, nullptr, PackColor(front.Format, 0, 0, 0, 255));
    EXPECT_EQ(ShowSoftwareFrontRect(IntRect{0, 0, 640, 480}), 0);
    FillMemImg(&front, nullptr, PackColor(front.Format, 0, 255, 0, 255));
    EXPECT_EQ(ShowSoftwareFrontRect(IntRect{700, 0, 800, 50}), 0) << "wholly outside";
    ASSERT_TRUE(pd::CopyWindowImage(&shown));
    EXPECT_EQ(shown.Rgb(10, 10), 0u) << "nothing drawn";
    EXPECT_EQ(ShowSoftwareFrontRect(IntRect{0, 0, 20, 20}), 0);
    ASSERT_TRUE(pd::CopyWindowImage(&shown));
    // The device context widens 5-6-5 by bit replication, the converter with
    // low bits zero.
    EXPECT_EQ(shown.Rgb(10, 10), banned ? 0x00FF00u : 0x00FC00u);
    EXPECT_EQ(shown.Rgb(30, 30), 0u);

    FillMemImg(&front, nullptr, 0);
    EXPECT_EQ(ReadBackSoftwareFront(), 0);
    EXPECT_EQ(ImagePixel(front, 10, 10), 0u) << "nothing pending: nothing read";
    SetReadBackPending(1);
    if (!banned) {
      pd::test::FailLocks(1);
      EXPECT_EQ(ReadBackSoftwareFront(), -1);
      EXPECT_EQ(GetReadBackPending(), 1);
    }
    EXPECT_EQ(ReadBackSoftwareFront(), 0);
    EXPECT_EQ(GetReadBackPending(), 0);
    EXPECT_EQ(ImagePixel(front, 10, 10), PackColor(front.Format, 0, 255, 0, 255));
    TerminateDirectDraw();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
  }
}

}  // namespace
}  // namespace graphics_test
