// Direct3D back-end tests on the recording stand-in: the display layer
// started with hardware drawing (a window on a 1024 x 768 desktop at 32
// bits, or full screen at 16), Direct3D started on the recorder, and helpers
// for the recorder's trace, textures and the device record.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/render_state_cache.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "engine/graphics/vertex_batch.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/d3d/recording_direct3d.h"
#include "tests/graphics/screen_fixture.h"
#include "tests/support/open_gl_context.h"

namespace d3d_engine_test {

namespace d3d = platform::d3d;
namespace pd = platform::display;
using pd::SurfacePtr;

class Direct3DTest : public graphics_test::ScreenTest {
 protected:
  void TearDown() override {
    ScreenTest::TearDown();
    if (on_open_gl_) pd::SetDirect3DFactory(nullptr);
  }

  // Direct3D on the OpenGL stand-in (Mesa's llvmpipe, headless) in place of
  // the recorder, then hardware drawing started. False when there is no
  // OpenGL context: the test is skipped (a failure on CI) and the caller
  // returns.
  bool StartOnOpenGl(bool fullScreen = false, int bits = 16) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    d3d::RecordingDirect3D::Uninstall();
    d3d::InstallOpenGlDirect3D();
    on_open_gl_ = true;
    StartHardware(fullScreen, bits);
    if (GetDirect3DState().Initialized3D == 1) return true;
    test_support::NoOpenGlContext();
    return false;
  }

  // The texture storage takes the started device: textures from the
  // smallest to the largest size given, loaded by the device's Load.
  static void UseDeviceForTextures(int minWidth, int minHeight, int maxWidth, int maxHeight) {
    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(minWidth, minHeight, maxWidth, maxHeight);
    t.Load = [](const SurfacePtr& dst, int x, int y, const SurfacePtr& src, const pd::Rect& rect) {
      d3d::Device3D* device = GetCurrentDevice3D();
      return device == nullptr ? pd::Result::kGeneric : device->Load(dst, x, y, src, &rect, 0);
    };
  }

  // Hardware drawing started on the recorder, texture graphs on textures of
  // 1 to 64 texels (so a wider graphic takes several), drawing on the back
  // screen. A failed step is a fatal failure of the test.
  void StartWithSmallTextures() {
    StartHardware();
    ASSERT_EQ(GetDirect3DState().Initialized3D, 1);
    GetTextureDevice().Running = 1;
    SetTextureSizeLimits(1, 1, 64, 64);
    EnableTextureGraphsForTest(1);
    ASSERT_EQ(SetDrawTarget(-2), 0);
  }

  // handle, just made, is a texture graph; handle is given back.
  static int ExpectTextureGraph(int handle) {
    const GraphRecord* g = GetGraphRecord(handle);
    EXPECT_NE(g, nullptr);
    if (g != nullptr) {
      EXPECT_EQ(g->TextureFlag, 1);
    }
    return handle;
  }
  static const GraphRecord& Graph(int handle) { return *GetGraphRecord(handle); }

  // Replaces the recorder's script before the start.
  void UseScript(const d3d::RecordingScript& script) { d3d::RecordingDirect3D::Install(script); }
  d3d::RecordingDirect3D& Recorder() { return *d3d::RecordingDirect3D::Instance(); }
  std::vector<std::string> Trace() { return Recorder().trace(); }
  void ClearTrace() { Recorder().ClearTrace(); }
  DeviceRecord3D& Record() { return CurrentDeviceRecord3D(); }

  // Trace lines that set states (render, stage, texture).
  std::vector<std::string> StateCalls() {
    std::vector<std::string> out;
    for (const std::string& line : Trace()) {
      if (line.rfind("Set", 0) == 0) out.push_back(line);
    }
    return out;
  }
  int Count(const std::string& prefix) {
    const auto t = Trace();
    return static_cast<int>(std::count_if(t.begin(), t.end(), [&](const std::string& l) {
      return l.rfind(prefix, 0) == 0;
    }));
  }
  bool Has(const std::string& line) {
    const auto t = Trace();
    return std::find(t.begin(), t.end(), line) != t.end();
  }

  SurfacePtr MakeTexture(const pd::PixelFormat& format, int width = 8, int height = 8) {
    pd::SurfaceDesc desc;
    desc.caps = pd::kCapsTexture;
    desc.width = width;
    desc.height = height;
    desc.has_pixel_format = true;
    desc.pixel_format = format;
    SurfacePtr s;
    EXPECT_EQ(GetDisplayState().DirectDrawObject->CreateSurface(desc, &s), pd::Result::kOk);
    return s;
  }

  // Log lines from the first that equals `from` to the first that equals
  // `to`, both included.
  std::vector<std::string> LogBetween(const std::string& from, const std::string& to) const {
    const std::vector<std::string> lines = LogLines();
    auto begin = std::find(lines.begin(), lines.end(), from);
    if (begin == lines.end()) return {};
    auto end = std::find(begin, lines.end(), to);
    if (end != lines.end()) ++end;
    return std::vector<std::string>(begin, end);
  }
  bool LogHas(const std::string& line) const {
    const std::vector<std::string> lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

 private:
  bool on_open_gl_ = false;
};

}  // namespace d3d_engine_test
