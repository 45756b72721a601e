// The primary surface: in a window the desktop backed by the client area
// (the window image), in full screen a flip chain whose front buffer is the
// window image; cooperative levels, display modes and lost primaries.
#include <cstdint>
#include <vector>

#include "display/display_fixture.h"

namespace display_test {
namespace {

const PixelFormat kX888 = Xrgb8888Format();

uint32_t SourcePixel(int32_t x, int32_t y) { return 0x010000u * (x & 0xFF) + 0x100u * (y & 0xFF) + 0x5A; }

class PrimaryTest : public DisplayTest {
 protected:
  SurfacePtr Source(int32_t w, int32_t h) {
    SurfacePtr s = MakeSurface(kCapsOffscreenPlain | kCaps3DDevice, w, h, &kX888);
    FillWith(*s, SourcePixel);
    return s;
  }
  WindowImageCopy Image() {
    WindowImageCopy copy;
    EXPECT_TRUE(CopyWindowImage(&copy));
    return copy;
  }
};

// In a window the primary has the desktop's size and format; only the
// client area has memory: locks must lie inside it, and there the pitch is
// the window image's.
TEST_F(PrimaryTest, WindowPrimaryIsTheDesktopBackedByTheClientArea) {
  ASSERT_EQ(device_->SetCooperativeLevel(kCooperativeNormal), Result::kOk);
  SurfacePtr primary = MakePrimary(kCapsPrimary | kCaps3DDevice);
  SurfaceDesc desc;
  ASSERT_EQ(primary->GetSurfaceDesc(&desc), Result::kOk);
  EXPECT_EQ(desc.width, 1024);
  EXPECT_EQ(desc.height, 768);
  EXPECT_EQ(desc.pixel_format, kX888);
  EXPECT_NE(desc.caps & kCapsVideoMemory, 0u);

  LockedRect lock;
  EXPECT_EQ(primary->Lock(nullptr, 0, &lock), Result::kInvalidRect);
  const Rect half_outside{kClientLeft - 1, kClientTop, kClientLeft + 10, kClientTop + 10};
  EXPECT_EQ(primary->Lock(&half_outside, 0, &lock), Result::kInvalidRect);
  const Rect client{kClientLeft, kClientTop, kClientLeft + kClientWidth, kClientTop + kClientHeight};
  ASSERT_EQ(primary->Lock(&client, 0, &lock), Result::kOk);
  EXPECT_EQ(lock.pitch, 640 * 4 + 64);
  reinterpret_cast<uint32_t*>(lock.bits + 3 * lock.pitch)[7] = 0x00ABCDEF;
  primary->Unlock();
  EXPECT_EQ(Image().Rgb(7, 3), 0xABCDEFu);

  SurfacePtr second;
  SurfaceDesc again;
  again.caps = kCapsPrimary;
  EXPECT_EQ(device_->CreateSurface(again, &second), Result::kPrimaryAlreadyExists);
  again.back_buffer_count = 1;
  primary.reset();
  again.caps = kCapsPrimary | kCapsFlip | kCapsComplex;
  EXPECT_EQ(device_->CreateSurface(again, &second), Result::kNoExclusiveMode);
}

// Blitting the back screen to the client area at the client's desktop
// position fills the window image; what falls outside the client area is
// dropped, and the window's device context sees the same image from (0, 0).
TEST_F(PrimaryTest, BlitsToTheClientAreaReachTheWindowImage) {
  SurfacePtr primary = MakePrimary();
  SurfacePtr back = Source(kClientWidth, kClientHeight);
  const Rect window_rect{kClientLeft, kClientTop, kClientLeft + kClientWidth, kClientTop + kClientHeight};
  ASSERT_EQ(primary->Blt(&window_rect, back.get(), nullptr, kBltWait, nullptr), Result::kOk);
  WindowImageCopy image = Image();
  ASSERT_EQ(image.width, kClientWidth);
  ASSERT_EQ(image.height, kClientHeight);
  for (int32_t y = 0; y < kClientHeight; y += 7) {
    for (int32_t x = 0; x < kClientWidth; x += 5) ASSERT_EQ(image.Rgb(x, y), SourcePixel(x, y));
  }

  // Shifted up and left by (30, 20): the part left of and above the client
  // area is dropped, the rest lands.
  const Rect shifted{kClientLeft - 30, kClientTop - 20, kClientLeft + 610, kClientTop + 460};
  ASSERT_EQ(primary->Blt(&shifted, back.get(), nullptr, 0, nullptr), Result::kOk);
  image = Image();
  EXPECT_EQ(image.Rgb(0, 0), SourcePixel(30, 20));
  EXPECT_EQ(image.Rgb(609, 459), SourcePixel(639, 479));
  EXPECT_EQ(image.Rgb(639, 479), SourcePixel(639, 479));  // from the first blit

  // The window's context reads the same image.
  DeviceContextPtr window_dc = GetWindowDC();
  ASSERT_NE(window_dc, nullptr);
  SurfacePtr readback = MakeSurface(kCapsOffscreenPlain, 16, 16, &kX888);
  DeviceContextPtr dc;
  ASSERT_EQ(readback->GetDC(&dc), Result::kOk);
  ASSERT_TRUE(BitBlt(dc.get(), 0, 0, 16, 16, window_dc.get(), 100, 200));
  ASSERT_EQ(readback->ReleaseDC(std::move(dc)), Result::kOk);
  EXPECT_EQ(ReadPixel(*readback, 3, 4), SourcePixel(103 + 30, 204 + 20) & 0xFFFFFF);

  // BltFast onto the primary: inside the desktop it is taken, outside refused.
  EXPECT_EQ(primary->BltFast(1000, 700, back.get(), nullptr, 0), Result::kInvalidRect);
  const Rect corner{0, 0, 8, 8};
  ASSERT_EQ(primary->BltFast(kClientLeft + kClientWidth - 4, kClientTop, back.get(), &corner, 0),
            Result::kOk);
  EXPECT_EQ(Image().Rgb(kClientWidth - 4, 0), SourcePixel(0, 0));
  EXPECT_EQ(Image().Rgb(kClientWidth - 1, 7), SourcePixel(3, 7));
}

// With a clipper bound to the window a blit is clipped to the client area,
// also where it leaves the desktop, keeping the stretch of the whole
// rectangle; without a clipper such a rectangle is refused. BltFast does not
// take a clipped surface.
TEST_F(PrimaryTest, ClipperClipsBlitsToTheClientArea) {
  SurfacePtr primary = MakePrimary();
  SurfacePtr back = Source(320, 240);
  const Rect beyond{-200, -100, 1240, 980};  // 1440 x 1080 from 320 x 240
  EXPECT_EQ(primary->Blt(&beyond, back.get(), nullptr, 0, nullptr), Result::kInvalidRect);

  ClipperPtr clipper;
  ASSERT_EQ(device_->CreateClipper(&clipper), Result::kOk);
  ASSERT_EQ(primary->SetClipper(clipper), Result::kOk);
  EXPECT_EQ(primary->Blt(&beyond, back.get(), nullptr, 0, nullptr), Result::kNoClipList);
  ASSERT_EQ(clipper->SetWindow(), Result::kOk);
  Rect clip;
  ASSERT_EQ(clipper->GetClipRect(&clip), Result::kOk);
  EXPECT_EQ(clip, (Rect{kClientLeft, kClientTop, kClientLeft + kClientWidth, kClientTop + kClientHeight}));
  ASSERT_EQ(primary->Blt(&beyond, back.get(), nullptr, 0, nullptr), Result::kOk);
  const WindowImageCopy image = Image();
  for (int32_t y = 0; y < kClientHeight; y += 13) {
    for (int32_t x = 0; x < kClientWidth; x += 11) {
      const int32_t dx = x + kClientLeft - beyond.left, dy = y + kClientTop - beyond.top;
      ASSERT_EQ(image.Rgb(x, y), SourcePixel(dx * 320 / 1440, dy * 240 / 1080)) << x << "," << y;
    }
  }
  EXPECT_EQ(primary->BltFast(kClientLeft, kClientTop, back.get(), nullptr, 0), Result::kUnsupported);
  // Extreme rectangles are refused even where the clipper would cut them.
  const Rect huge{-2'000'000'000, 0, 2'000'000'000, 10};
  EXPECT_EQ(primary->Blt(&huge, back.get(), nullptr, 0, nullptr), Result::kInvalidRect);

  // The window moves: the client area follows.
  platform::SetMainWindowGeometry(300, 200, kClientWidth, kClientHeight);
  ASSERT_EQ(clipper->GetClipRect(&clip), Result::kOk);
  EXPECT_EQ(clip.left, 300);
  EXPECT_EQ(clip.top, 200);
  ASSERT_EQ(primary->SetClipper(nullptr), Result::kOk);
  ClipperPtr none;
  EXPECT_EQ(primary->GetClipper(&none), Result::kNoClipper);
  const Rect small{0, 0, 2, 2};
  ASSERT_EQ(primary->BltFast(300, 200, back.get(), &small, 0), Result::kOk);
  EXPECT_EQ(Image().Rgb(1, 1), SourcePixel(1, 1));
}

// The window image follows the client area's size.
TEST_F(PrimaryTest, WindowImageFollowsTheClientSize) {
  EXPECT_EQ(Image().width, kClientWidth);
  platform::SetMainWindowGeometry(kClientLeft, kClientTop, 1280, 960);
  const WindowImageCopy image = Image();
  EXPECT_EQ(image.width, 1280);
  EXPECT_EQ(image.height, 960);
  platform::CloseMainWindow();
  WindowImageCopy none;
  EXPECT_FALSE(CopyWindowImage(&none));
  EXPECT_EQ(GetWindowDC(), nullptr);
}

// Full screen: a flip chain whose Flip trades the front and back buffers;
// the front buffer is the window image; FlipToGdiSurface brings the first
// buffer back to the front.
TEST_F(PrimaryTest, FlipTradesTwoKnownBuffers) {
  EnterFullScreen(640, 480, 16);
  SurfacePtr front = MakePrimary(kCapsPrimary | kCapsFlip | kCapsComplex | kCaps3DDevice, 1);
  ASSERT_NE(front, nullptr);
  SurfacePtr back;
  ASSERT_EQ(front->GetAttachedSurface(kCapsBackBuffer, &back), Result::kOk);
  uint32_t caps = 0;
  back->GetCaps(&caps);
  EXPECT_NE(caps & kCapsBackBuffer, 0u);
  front->GetCaps(&caps);
  EXPECT_NE(caps & kCapsFrontBuffer, 0u);
  SurfaceDesc desc;
  front->GetSurfaceDesc(&desc);
  EXPECT_EQ(desc.width, 640);
  EXPECT_EQ(desc.pixel_format, Rgb565Format());

  LockedRect lock;
  ASSERT_EQ(front->Lock(nullptr, 0, &lock), Result::kOk);  // full screen: all of it is backed
  uint8_t* first_buffer = lock.bits;
  front->Unlock();
  const BltFx a{0x1111, 0}, b{0x2222, 0};
  ASSERT_EQ(front->Blt(nullptr, nullptr, nullptr, kBltColorFill, &a), Result::kOk);
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, kBltColorFill, &b), Result::kOk);
  EXPECT_EQ(Image().RawPixel(5, 5), 0x1111u);

  ASSERT_EQ(front->Flip(kFlipNoVSync), Result::kOk);
  EXPECT_EQ(ReadPixel(*front, 5, 5), 0x2222u);
  EXPECT_EQ(ReadPixel(*back, 5, 5), 0x1111u);
  EXPECT_EQ(Image().RawPixel(5, 5), 0x2222u);
  ASSERT_EQ(back->Lock(nullptr, 0, &lock), Result::kOk);
  EXPECT_EQ(lock.bits, first_buffer);  // the buffers moved, not their pixels
  EXPECT_EQ(front->Flip(kFlipNoVSync), Result::kSurfaceBusy);
  back->Unlock();
  EXPECT_EQ(back->Flip(kFlipNoVSync), Result::kNotFlippable);

  ASSERT_EQ(device_->FlipToGdiSurface(), Result::kOk);
  EXPECT_EQ(ReadPixel(*front, 5, 5), 0x1111u);
  ASSERT_EQ(device_->FlipToGdiSurface(), Result::kOk);  // already there
  EXPECT_EQ(ReadPixel(*front, 5, 5), 0x1111u);

  test::MarkSurfaceLost(*back);
  EXPECT_EQ(front->Flip(kFlipNoVSync), Result::kSurfaceLost);
}

// Levels and modes: the exclusive level needs the window and one holder;
// modes need it, take 8, 16 and 32 bits and refuse what a test refuses; the
// device's release gives the desktop back.
TEST_F(PrimaryTest, CooperativeLevelsAndDisplayModes) {
  EXPECT_EQ(device_->SetDisplayMode(640, 480, 16, 0, 0), Result::kNoExclusiveMode);
  EXPECT_EQ(device_->SetCooperativeLevel(kCooperativeExclusive), Result::kInvalidParams);
  EXPECT_EQ(device_->SetCooperativeLevel(kCooperativeNormal | kCooperativeFullScreen),
            Result::kInvalidParams);
  ASSERT_EQ(device_->SetCooperativeLevel(kCooperativeFullScreen | kCooperativeExclusive), Result::kOk);
  EXPECT_EQ(device_->cooperative_level(), 0x11u);
  DevicePtr other;
  ASSERT_EQ(CreateDevice(&other), Result::kOk);
  EXPECT_EQ(other->SetCooperativeLevel(kCooperativeFullScreen | kCooperativeExclusive),
            Result::kExclusiveModeAlreadySet);

  struct ModeCase {
    int32_t width, height, bits;
    Result result;
  };
  test::FailDisplayMode(800, 600, 32);
  const ModeCase modes[] = {
      {640, 480, 24, Result::kInvalidMode}, {640, 480, 15, Result::kInvalidMode},
      {0, 480, 16, Result::kInvalidMode},   {800, 600, 32, Result::kInvalidMode},
      {800, 600, 16, Result::kOk},          {320, 240, 8, Result::kOk},
      {640, 480, 32, Result::kOk},
  };
  for (const ModeCase& m : modes) {
    EXPECT_EQ(device_->SetDisplayMode(m.width, m.height, m.bits, 75, 0), m.result)
        << m.width << "x" << m.height << "x" << m.bits;
  }
  DisplayMode mode;
  ASSERT_EQ(device_->GetDisplayMode(&mode), Result::kOk);
  EXPECT_EQ(mode.width, 640);
  EXPECT_EQ(mode.bits, 32);
  EXPECT_EQ(mode.refresh_rate, 60);
  EXPECT_EQ(GetSystemMetric(SystemMetric::kScreenWidth), 640);

  test::SetSixteenBitDisplay555(true);
  ASSERT_EQ(device_->SetDisplayMode(640, 480, 16, 0, 0), Result::kOk);
  device_->GetDisplayMode(&mode);
  EXPECT_EQ(mode.pixel_format, Rgb555Format());

  device_.reset();  // the release gives the desktop back
  EXPECT_EQ(CurrentDisplayMode().width, 1024);
  EXPECT_EQ(CurrentDisplayMode().bits, 32);
  EXPECT_EQ(other->SetCooperativeLevel(kCooperativeFullScreen | kCooperativeExclusive), Result::kOk);
}

// A mode change loses the primary; it cannot be restored in another mode.
TEST_F(PrimaryTest, ModeChangesLoseThePrimary) {
  EnterFullScreen(640, 480, 16);
  SurfacePtr primary = MakePrimary();
  SurfacePtr system = MakeSurface(kCapsOffscreenPlain | kCapsSystemMemory, 4, 4);
  ASSERT_EQ(device_->SetDisplayMode(800, 600, 16, 0, 0), Result::kOk);
  EXPECT_EQ(primary->IsLost(), Result::kSurfaceLost);
  EXPECT_EQ(system->IsLost(), Result::kOk);
  EXPECT_EQ(primary->Restore(), Result::kWrongMode);
  ASSERT_EQ(device_->SetDisplayMode(640, 480, 16, 0, 0), Result::kOk);
  EXPECT_EQ(primary->Restore(), Result::kOk);
  EXPECT_EQ(primary->IsLost(), Result::kOk);
}

// Without a display device the settings call changes the mode in force:
// 24 bits and refused modes are bad modes; a test changes nothing; null
// restores the desktop. The window image then covers the whole mode.
TEST_F(PrimaryTest, DisplaySettingsWithoutADevice) {
  DisplaySettings settings{800, 600, 24, 0};
  EXPECT_EQ(ChangeDisplaySettings(&settings, kSettingsFullScreen), DisplayChange::kBadMode);
  settings.bits = 16;
  EXPECT_EQ(ChangeDisplaySettings(&settings, kSettingsTest), DisplayChange::kSuccessful);
  EXPECT_EQ(GetSystemMetric(SystemMetric::kScreenWidth), 1024);
  test::FailDisplayMode(800, 600, 16);
  EXPECT_EQ(ChangeDisplaySettings(&settings, kSettingsFullScreen), DisplayChange::kBadMode);
  settings.height = 500;
  settings.frequency = 85;
  EXPECT_EQ(ChangeDisplaySettings(&settings, kSettingsFullScreen), DisplayChange::kSuccessful);
  EXPECT_EQ(GetSystemMetric(SystemMetric::kScreenWidth), 800);
  EXPECT_EQ(GetSystemMetric(SystemMetric::kScreenHeight), 500);
  EXPECT_EQ(CurrentDisplayMode().pixel_format, Rgb565Format());
  const WindowImageCopy image = Image();
  EXPECT_EQ(image.width, 800);
  EXPECT_EQ(image.height, 500);
  EXPECT_EQ(image.format, Rgb565Format());
  EXPECT_EQ(ChangeDisplaySettings(nullptr, 0), DisplayChange::kSuccessful);
  EXPECT_EQ(GetSystemMetric(SystemMetric::kScreenHeight), 768);
}

// An 8-bit full screen shows indices through the primary's palette.
TEST_F(PrimaryTest, IndexedFullScreenShowsThroughThePrimarysPalette) {
  EnterFullScreen(320, 240, 8);
  SurfacePtr primary = MakePrimary();
  PaletteEntry entries[256] = {};
  entries[7] = PaletteEntry{10, 20, 30, 0};
  PalettePtr palette;
  EXPECT_EQ(device_->CreatePalette(0, entries, &palette), Result::kInvalidParams);
  ASSERT_EQ(device_->CreatePalette(kPalette8Bit | kPaletteAllow256, entries, &palette), Result::kOk);
  ASSERT_EQ(primary->SetPalette(palette), Result::kOk);
  const BltFx fx{7, 0};
  ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, kBltColorFill, &fx), Result::kOk);
  WindowImageCopy image = Image();
  EXPECT_EQ(image.RawPixel(3, 3), 7u);
  EXPECT_EQ(image.Rgb(3, 3), 0x0A141Eu);
  const PaletteEntry bright{200, 100, 50, 0};
  ASSERT_EQ(palette->SetEntries(7, 1, &bright), Result::kOk);
  EXPECT_EQ(Image().Rgb(3, 3), 0xC86432u);
  PaletteEntry read[2];
  EXPECT_EQ(palette->GetEntries(255, 2, read), Result::kInvalidParams);
  ASSERT_EQ(palette->GetEntries(6, 2, read), Result::kOk);
  EXPECT_EQ(read[1], bright);

  SurfacePtr colour = MakeSurface(kCapsOffscreenPlain, 4, 4, &kX888);
  EXPECT_EQ(colour->SetPalette(palette), Result::kInvalidPixelFormat);
}

}  // namespace
}  // namespace display_test
