// Set-up shared by the benchmarks that run the engine's graphics headless:
// the main window under SDL's dummy driver on a large 32-bit desktop and
// its taking down, the display device with a 16-bit screen and Direct3D on
// the OpenGL stand-in (Mesa's llvmpipe), software rendering in the main
// window's data alone, surfaces of the display device, and the texture
// storage on a 3D device with its two texture formats.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "engine/api/graphics_entry_points.h"
#include "engine/api/module_resets.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_format_table.h"
#include "engine/graphics/texture_split.h"
#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "platform/window.h"

namespace engine_bench {

// The library in its reset state for the length of one benchmark run: the
// modules and the texture device are reset when it is made, whatever ran
// before, and again (with the display's Direct3D factory taken out) when
// it goes. Declared first among a set-up's members, it goes last, after
// the surfaces, devices and handles the set-up made.
class FreshLibrary {
 public:
  FreshLibrary() {
    ResetLibraryModules();
    ResetTextureDevice();
  }
  ~FreshLibrary() {
    ResetTextureDevice();
    ResetLibraryModules();
    platform::display::SetDirect3DFactory(nullptr);
  }
  FreshLibrary(const FreshLibrary&) = delete;
  FreshLibrary& operator=(const FreshLibrary&) = delete;
};

// The main window with a client of width x height at (0, 0), shown at
// scale, on a 2048 x 1200 desktop at 32 bits, the window data as the
// player keeps it, the library marked as starting and the screen and
// display state fresh.
inline void OpenBenchWindow(int width, int height, int scale = 1) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  platform::display::test::SetDesktop(2048, 1200, 32);
  platform::StartVideo();
  platform::OpenMainWindow("bench", 0, 0, width * scale, height * scale, false);
  WindowData& w = GetWindowData();
  w.desktop_width = 2048;
  w.desktop_height = 1200;
  w.desktop_bits = 32;
  w.window_mode = 1;
  w.active = 1;
  w.window_scale = scale;
  w.client_rect = WindowRectangle{0, 0, width * scale, height * scale};
  SetStartupFlag(1);
  GetScreenColorState() = ScreenColorState{};
  GetDisplayState() = DisplayState{};
}

// Takes down what OpenBenchWindow set up, once the graphics have ended, so
// other benchmarks find the engine as it was.
inline void CloseBenchWindow() {
  SetStartupFlag(0);
  GetScreenColorState() = ScreenColorState{};
  GetDisplayState() = DisplayState{};
  platform::CloseMainWindow();
  ResetWindowData();
  platform::display::test::ResetDisplayControls();
}

// A window on a 1024 x 768 desktop at desktop_bits, the library marked as
// starting, and fresh screen and display state: what a graphics start-up
// in a window begins with.
inline void PrepareWindowedGraphics(int desktop_bits) {
  platform::display::test::SetDesktop(1024, 768, desktop_bits);
  WindowData& w = GetWindowData();
  w.desktop_width = 1024;
  w.desktop_height = 768;
  w.window_mode = 1;
  w.active = 1;
  SetStartupFlag(1);
  GetScreenColorState() = ScreenColorState{};
  GetDisplayState() = DisplayState{};
}

// Software rendering at bits in a window on a 1024 x 768 desktop at 32
// bits, from fresh screen and display state, drawing on the back screen.
inline void StartSoftwareGraphics(int bits) {
  PrepareWindowedGraphics(32);
  GetScreenColorState().ScreenBits = bits;
  SetRenderingMode(0);
  InitializeGraphics();
  SetTargetScreen(-2);
}

// A surface of the display device.
inline platform::display::SurfacePtr MakeSurface(platform::display::Device& display, uint32_t caps, int width,
                                                 int height, const platform::display::PixelFormat& format) {
  platform::display::SurfaceDesc desc;
  desc.caps = caps;
  desc.width = width;
  desc.height = height;
  desc.has_pixel_format = true;
  desc.pixel_format = format;
  platform::display::SurfacePtr surface;
  display.CreateSurface(desc, &surface);
  return surface;
}

// Without a window: the engine's display device on a desktop at bits (16:
// a 5-6-5 screen; 32: X8R8G8B8), Direct3D answered by the OpenGL stand-in.
// False when the device does not open.
inline bool OpenDisplayOnOpenGl(int bits) {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  platform::display::test::SetDesktop(1024, 768, bits);
  if (platform::display::CreateDevice(&GetDisplayState().DirectDrawObject) != platform::display::Result::kOk) {
    return false;
  }
  ScreenColorState& s = GetScreenColorState();
  s.ScreenBits = bits;
  s.RequestedScreenBits = bits;
  if (bits == 32) {
    CreateColorFormat(&s.ScreenColorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  } else {
    CreateColorFormat(&s.ScreenColorFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
  }
  platform::d3d::InstallOpenGlDirect3D();
  return true;
}

// Texture format table entry index as bits with those masks.
inline void SetTextureFormat(int index, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  TextureFormatEntry& e = GetDirect3DState().TextureFormats.Entries[static_cast<size_t>(index)];
  MakeDDPixelFormat(&e.PixelFormat, bits, r, g, b, a);
  CreateColorFormat(&e.Format, bits, r, g, b, a);
}

// Texture graphs on a running 3D device whose Load is load: textures up to
// 2048 texels, 5-6-5 (entry 0) and X8R8G8B8 (entry 1), the graph manager
// started and Direct3D counted usable.
template <class Load>
void UseTextureDevice(Load load) {
  TextureDevice& t = GetTextureDevice();
  t.Running = 1;
  SetTextureSizeLimits(1, 1, 2048, 2048);
  SetTextureFormat(0, 16, 0xF800, 0x7E0, 0x1F, 0);
  SetTextureFormat(1, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  t.Load = load;
  SetGraphManagerInitialized(1);
  ForceDirect3DUsableForTest(1);
  EnableTextureGraphsForTest(1);
}

// The engine's 3D device on the OpenGL stand-in, drawing into a width x
// height target of target_format on a display at bits, with texture graphs
// on it (UseTextureDevice, loading through that device). The target, or
// null when a step fails.
inline platform::display::SurfacePtr StartEngineDevice3D(int bits, int width, int height,
                                                         const platform::display::PixelFormat& target_format) {
  namespace pd = platform::display;
  if (!OpenDisplayOnOpenGl(bits)) return nullptr;
  Direct3DState& d = GetDirect3DState();
  if (platform::d3d::QueryDirect3D(*GetDisplayState().DirectDrawObject, &d.Direct3D) != pd::Result::kOk) {
    return nullptr;
  }
  d.DeviceDesc.kind = platform::d3d::DeviceKind::kTnLHal;
  pd::SurfacePtr target = MakeSurface(*GetDisplayState().DirectDrawObject, pd::kCapsTexture | pd::kCaps3DDevice,
                                      width, height, target_format);
  if (target == nullptr || CreateDevice3D(target) != 0) return nullptr;
  UseTextureDevice([](const pd::SurfacePtr& dst, int x, int y, const pd::SurfacePtr& src, const pd::Rect& r) {
    return GetCurrentDevice3D()->Load(dst, x, y, src, &r, 0);
  });
  return target;
}


}  // namespace engine_bench
