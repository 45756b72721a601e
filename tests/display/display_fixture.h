// Shared set-up of the display tests: a virtual clock, the controls reset,
// a known desktop (1024 x 768 at 32 bits) and the main window open with its
// client area at (100, 50), 640 x 480, under SDL's dummy driver.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/display/device_context.h"
#include "platform/display/display_device.h"
#include "platform/display/display_settings.h"
#include "platform/display/surface.h"
#include "platform/display/test_controls.h"
#include "platform/display/window_presenter.h"
#include "platform/window.h"

namespace display_test {

using namespace platform::display;

inline constexpr int32_t kClientLeft = 100;
inline constexpr int32_t kClientTop = 50;
inline constexpr int32_t kClientWidth = 640;
inline constexpr int32_t kClientHeight = 480;

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetDisplayControls();
    test::SetDesktop(1024, 768, 32);
    ASSERT_TRUE(platform::StartVideo());
    ASSERT_TRUE(platform::OpenMainWindow("display", kClientLeft, kClientTop, kClientWidth,
                                         kClientHeight, false));
    ASSERT_EQ(CreateDevice(&device_), Result::kOk);
  }
  void TearDown() override {
    device_.reset();
    platform::CloseMainWindow();
    test::ResetDisplayControls();
  }

  SurfacePtr MakeSurface(uint32_t caps, int32_t width, int32_t height,
                         const PixelFormat* format = nullptr) {
    SurfaceDesc desc;
    desc.caps = caps;
    desc.width = width;
    desc.height = height;
    if (format != nullptr) {
      desc.has_pixel_format = true;
      desc.pixel_format = *format;
    }
    SurfacePtr surface;
    EXPECT_EQ(device_->CreateSurface(desc, &surface), Result::kOk);
    return surface;
  }

  SurfacePtr MakePrimary(uint32_t caps = kCapsPrimary, int32_t back_buffers = 0) {
    SurfaceDesc desc;
    desc.caps = caps;
    desc.back_buffer_count = back_buffers;
    SurfacePtr surface;
    EXPECT_EQ(device_->CreateSurface(desc, &surface), Result::kOk);
    return surface;
  }

  // The exclusive level with a mode set.
  void EnterFullScreen(int32_t width, int32_t height, int32_t bits) {
    ASSERT_EQ(device_->SetCooperativeLevel(kCooperativeFullScreen | kCooperativeExclusive),
              Result::kOk);
    ASSERT_EQ(device_->SetDisplayMode(width, height, bits, 0, 0), Result::kOk);
  }

  platform::VirtualClock clock_{1'000'000};
  platform::ScopedClock scoped_clock_{clock_};
  DevicePtr device_;
};

// Reads and writes single pixels through a lock.
inline uint32_t ReadPixel(Surface& s, int32_t x, int32_t y) {
  LockedRect lock;
  const Rect r{x, y, x + 1, y + 1};
  EXPECT_EQ(s.Lock(&r, kLockReadOnly, &lock), Result::kOk);
  uint32_t v = 0;
  std::memcpy(&v, lock.bits, lock.format.bit_count / 8);
  s.Unlock();
  return v;
}

inline void WritePixel(Surface& s, int32_t x, int32_t y, uint32_t v) {
  LockedRect lock;
  const Rect r{x, y, x + 1, y + 1};
  ASSERT_EQ(s.Lock(&r, kLockWriteOnly, &lock), Result::kOk);
  std::memcpy(lock.bits, &v, lock.format.bit_count / 8);
  s.Unlock();
}

// Fills every pixel with value(x, y) through one lock of the whole surface.
template <class F>
void FillWith(Surface& s, F value) {
  SurfaceDesc desc;
  ASSERT_EQ(s.GetSurfaceDesc(&desc), Result::kOk);
  LockedRect lock;
  ASSERT_EQ(s.Lock(nullptr, kLockWait, &lock), Result::kOk);
  const int32_t bytes = static_cast<int32_t>(lock.format.bit_count / 8);
  for (int32_t y = 0; y < lock.height; ++y) {
    for (int32_t x = 0; x < lock.width; ++x) {
      const uint32_t v = value(x, y);
      std::memcpy(lock.bits + y * lock.pitch + x * bytes, &v, static_cast<size_t>(bytes));
    }
  }
  s.Unlock();
}

}  // namespace display_test
