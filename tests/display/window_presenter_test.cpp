// The window presenter: nothing shown without a display, the window image
// copied out, and under a virtual X server the window read back through
// SDL equal to the window image at window scales 1 and 2.
#include <cstdlib>
#include <vector>

#include "display/display_fixture.h"
#include "platform/window_events.h"
#include "support/virtual_x_server.h"

namespace display_test {
namespace {

// Under the dummy driver nothing is shown, yet the image is kept.
TEST_F(DisplayTest, NothingIsShownWithoutADisplay) {
  SurfacePtr primary = MakePrimary();
  const BltFx fx{0x00336699, 0};
  const Rect client{kClientLeft, kClientTop, kClientLeft + 10, kClientTop + 10};
  ASSERT_EQ(primary->Blt(&client, nullptr, nullptr, kBltColorFill, &fx), Result::kOk);
  EXPECT_FALSE(PresentWindowImage(true));
  std::vector<uint32_t> pixels;
  int32_t w = 0, h = 0;
  EXPECT_FALSE(ReadBackPresentedWindow(&pixels, &w, &h));
  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  EXPECT_EQ(image.Rgb(9, 9), 0x336699u);
  EXPECT_EQ(image.Rgb(10, 9), 0u);
}

uint32_t Picture(int32_t x, int32_t y) {
  return ((x * 3) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF);
}

class XvfbPresenterTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!server_.Start("1600x1200x24")) GTEST_SKIP() << "Xvfb is not available";
    platform::StopVideo();
    setenv("DISPLAY", server_.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    if (!platform::StartVideo()) GTEST_SKIP() << "SDL cannot use the virtual X server";
    test::ResetDisplayControls();
    started_ = true;
  }
  void TearDown() override {
    if (started_) {
      platform::CloseMainWindow();
      platform::StopVideo();
      test::ResetDisplayControls();
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
  }

  platform::VirtualClock clock_{1'000'000};
  platform::ScopedClock scoped_clock_{clock_};
  test_support::VirtualXServer server_;
  bool started_ = false;
};

// The back screen stretched into the client area by the window scale, shown
// at the end of a message sweep, read back through the renderer: equal to
// the window image pixel for pixel.
TEST_P(XvfbPresenterTest, ReadBackEqualsTheWindowImage) {
  const int scale = GetParam();
  const int32_t w = 320 * scale, h = 240 * scale;
  ASSERT_FALSE(platform::IsHeadlessVideo());
  ASSERT_TRUE(platform::OpenMainWindow("presenter", 40, 30, w, h, false));
  DevicePtr device;
  ASSERT_EQ(CreateDevice(&device), Result::kOk);
  ASSERT_EQ(device->SetCooperativeLevel(kCooperativeNormal), Result::kOk);
  SurfaceDesc desc;
  desc.caps = kCapsPrimary;
  SurfacePtr primary;
  ASSERT_EQ(device->CreateSurface(desc, &primary), Result::kOk);
  ClipperPtr clipper;
  ASSERT_EQ(device->CreateClipper(&clipper), Result::kOk);
  clipper->SetWindow();
  primary->SetClipper(clipper);
  desc = SurfaceDesc{};
  desc.caps = kCapsOffscreenPlain | kCapsSystemMemory;
  desc.width = 320;
  desc.height = 240;
  SurfacePtr back;
  ASSERT_EQ(device->CreateSurface(desc, &back), Result::kOk);
  FillWith(*back, Picture);

  const platform::ClientRect c = platform::GetMainWindowClientRect();
  const Rect window_rect{c.left, c.top, c.left + w, c.top + h};
  ASSERT_EQ(primary->Blt(&window_rect, back.get(), nullptr, kBltWait, nullptr), Result::kOk);
  // The message sweep's end shows the changed image.
  platform::WindowEvent event;
  while (platform::PollWindowEvent(&event)) {
  }
  EXPECT_FALSE(PresentWindowImage(false));  // nothing changed since

  WindowImageCopy image;
  ASSERT_TRUE(CopyWindowImage(&image));
  ASSERT_EQ(image.width, w);
  ASSERT_EQ(image.height, h);
  std::vector<uint32_t> shown;
  int32_t shown_w = 0, shown_h = 0;
  ASSERT_TRUE(ReadBackPresentedWindow(&shown, &shown_w, &shown_h));
  ASSERT_EQ(shown_w, w);
  ASSERT_EQ(shown_h, h);
  int mismatches = 0;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      ASSERT_EQ(image.Rgb(x, y), Picture(x / scale, y / scale));
      if (shown[static_cast<size_t>(y) * w + x] != image.Rgb(x, y) && ++mismatches < 5) {
        ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex
                      << shown[static_cast<size_t>(y) * w + x] << " shown, " << image.Rgb(x, y)
                      << " in the image";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, XvfbPresenterTest, ::testing::Values(1, 2));

}  // namespace
}  // namespace display_test
