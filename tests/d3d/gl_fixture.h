// Shared set-up of the OpenGL 3D device tests: the display stand-in with a
// window under SDL's dummy driver, the OpenGL back end installed and forced
// onto Mesa's llvmpipe, one device, and helpers to make surfaces, fill
// them, draw quads and read pixels back through locks.
//
// Without EGL or an OpenGL 3.3 core context the tests are skipped with a
// message, except when CI is set, where that is a failure.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_context.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/surface.h"
#include "platform/display/test_controls.h"
#include "platform/window.h"

namespace d3d_test {

using namespace platform::d3d;
namespace display = platform::display;
using display::SurfacePtr;

// The software rasteriser, whatever hardware the machine has.
inline void ForceSoftwareGl() {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  setenv("GALLIUM_DRIVER", "llvmpipe", 1);
}

class GlDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForceSoftwareGl();
    display::test::ResetDisplayControls();
    display::test::SetDesktop(1024, 768, 32);
    ASSERT_TRUE(platform::StartVideo());
    ASSERT_TRUE(platform::OpenMainWindow("d3d", 100, 50, 640, 480, false));
    ASSERT_EQ(display::CreateDevice(&display_), Result::kOk);
    InstallOpenGlDirect3D();
    if (QueryDirect3D(*display_, &direct3d_) != Result::kOk) {
      if (std::getenv("CI") != nullptr) {
        FAIL() << "no OpenGL 3.3 core context through EGL on CI";
      }
      GTEST_SKIP() << "no OpenGL 3.3 core context through EGL (Mesa's EGL and DRI packages?)";
    }
  }
  void TearDown() override {
    device_.reset();
    direct3d_.reset();
    display_.reset();
    display::SetDirect3DFactory(nullptr);
    platform::CloseMainWindow();
    display::test::ResetDisplayControls();
  }

  SurfacePtr MakeSurface(int32_t width, int32_t height, const PixelFormat& format,
                         uint32_t caps = display::kCapsTexture | display::kCaps3DDevice) {
    display::SurfaceDesc desc;
    desc.caps = caps;
    desc.width = width;
    desc.height = height;
    desc.has_pixel_format = true;
    desc.pixel_format = format;
    SurfacePtr s;
    EXPECT_EQ(display_->CreateSurface(desc, &s), Result::kOk);
    return s;
  }

  // A target of this format, filled with one pixel value, and a device on it.
  SurfacePtr MakeTarget(int32_t width, int32_t height, const PixelFormat& format, uint32_t fill = 0) {
    SurfacePtr t = MakeSurface(width, height, format);
    Fill(*t, fill);
    if (device_ == nullptr) {
      EXPECT_EQ(direct3d_->CreateDevice(DeviceKind::kTnLHal, t, &device_), Result::kOk);
      // Flat shading, as the engine sets it on every device it makes.
      if (device_ != nullptr) {
        EXPECT_EQ(device_->SetRenderState(kRsShadeMode, kShadeFlat), Result::kOk);
      }
    } else {
      EXPECT_EQ(device_->SetRenderTarget(t), Result::kOk);
    }
    return t;
  }

  static void Fill(display::Surface& s, uint32_t value) {
    display::LockedRect lock;
    ASSERT_EQ(s.Lock(nullptr, display::kLockWait, &lock), Result::kOk);
    const int32_t bytes = static_cast<int32_t>(lock.format.bit_count / 8);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        std::memcpy(lock.bits + y * lock.pitch + x * bytes, &value, static_cast<size_t>(bytes));
      }
    }
    s.Unlock();
  }

  template <class F>
  static void FillWith(display::Surface& s, F value) {
    display::LockedRect lock;
    ASSERT_EQ(s.Lock(nullptr, display::kLockWait, &lock), Result::kOk);
    const int32_t bytes = static_cast<int32_t>(lock.format.bit_count / 8);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        const uint32_t v = value(x, y);
        std::memcpy(lock.bits + y * lock.pitch + x * bytes, &v, static_cast<size_t>(bytes));
      }
    }
    s.Unlock();
  }

  // Every pixel through one read-only lock, row by row.
  static std::vector<uint32_t> ReadAll(display::Surface& s, int32_t* width = nullptr,
                                       int32_t* height = nullptr) {
    display::LockedRect lock;
    std::vector<uint32_t> out;
    EXPECT_EQ(s.Lock(nullptr, display::kLockReadOnly, &lock), Result::kOk);
    if (lock.bits == nullptr) return out;
    const int32_t bytes = static_cast<int32_t>(lock.format.bit_count / 8);
    for (int32_t y = 0; y < lock.height; ++y) {
      for (int32_t x = 0; x < lock.width; ++x) {
        uint32_t v = 0;
        std::memcpy(&v, lock.bits + y * lock.pitch + x * bytes, static_cast<size_t>(bytes));
        out.push_back(v);
      }
    }
    if (width != nullptr) *width = lock.width;
    if (height != nullptr) *height = lock.height;
    s.Unlock();
    return out;
  }

  static uint32_t PixelAt(display::Surface& s, int32_t x, int32_t y) {
    display::LockedRect lock;
    const display::Rect r{x, y, x + 1, y + 1};
    EXPECT_EQ(s.Lock(&r, display::kLockReadOnly, &lock), Result::kOk);
    uint32_t v = 0;
    if (lock.bits != nullptr) std::memcpy(&v, lock.bits, lock.format.bit_count / 8);
    s.Unlock();
    return v;
  }

  // Stage 0 as the engine's plain textured entry: colour and alpha from the
  // texture, no blending.
  void SelectTexture() {
    ASSERT_EQ(device_->SetTextureStageState(0, kTssColorOp, kTopSelectArg1), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(0, kTssColorArg1, kTaTexture), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(0, kTssAlphaOp, kTopSelectArg1), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(0, kTssAlphaArg1, kTaTexture), Result::kOk);
    ASSERT_EQ(device_->SetTextureStageState(1, kTssColorOp, kTopDisable), Result::kOk);
  }

  // A quad as the engine writes it: TL, TR, BL, BR, BL, TR, the colour in the
  // first and fourth vertex, the other slots holding stale garbage.
  static void AppendQuad(std::vector<VertexTextured>* out, float x0, float y0, float x1, float y1,
                         uint32_t color, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
    const uint32_t stale = 0x5A13C7E1;
    out->push_back({x0, y0, 0.2f, 1, color, u0, v0});
    out->push_back({x1, y0, 0.2f, 1, stale, u1, v0});
    out->push_back({x0, y1, 0.2f, 1, stale ^ 0xFFFF, u0, v1});
    out->push_back({x1, y1, 0.2f, 1, color, u1, v1});
    out->push_back({x0, y1, 0.2f, 1, stale + 77, u0, v1});
    out->push_back({x1, y0, 0.2f, 1, ~stale, u1, v0});
  }
  static void AppendBox(std::vector<VertexColored>* out, float x0, float y0, float x1, float y1,
                        uint32_t color) {
    const uint32_t stale = 0x7F00FF00;
    out->push_back({x0, y0, 0.2f, 1, color});
    out->push_back({x1, y0, 0.2f, 1, stale});
    out->push_back({x0, y1, 0.2f, 1, ~stale});
    out->push_back({x1, y1, 0.2f, 1, color});
    out->push_back({x0, y1, 0.2f, 1, stale + 3});
    out->push_back({x1, y0, 0.2f, 1, stale ^ 0xFF});
  }

  Result DrawQuads(const std::vector<VertexTextured>& v) {
    return device_->DrawPrimitive(kPrimTriangleList, kFvfTextured, v.data(),
                                  static_cast<uint32_t>(v.size()), 0);
  }
  Result DrawBoxes(const std::vector<VertexColored>& v) {
    return device_->DrawPrimitive(kPrimTriangleList, kFvfColored, v.data(),
                                  static_cast<uint32_t>(v.size()), 0);
  }

  platform::VirtualClock clock_{1'000'000};
  platform::ScopedClock scoped_clock_{clock_};
  display::DevicePtr display_;
  std::shared_ptr<Direct3D> direct3d_;
  Device3DPtr device_;
};

}  // namespace d3d_test
