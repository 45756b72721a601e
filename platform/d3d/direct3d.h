// The 3D device interface the graphics engine draws through: a Direct3D
// object reached from the display device (display::Device::QueryDirect3D),
// which enumerates one device, its depth formats, and creates devices on a
// display surface; and the device with its render states, texture stages,
// render target, viewport, transforms, scenes and vertex draws.
//
// Two implementations: OpenGL (gl_direct3d.h, selected at start-up by
// InstallOpenGlDirect3D) and a recording fake for tests
// (recording_direct3d.h). Textures and render targets are display surfaces;
// a back end keeps its own copies beside them as surface companions, so a
// Lock, Blt or GetDC on a surface always sees what was drawn.
//
// A device starts with the documented defaults of the interface (see
// DeviceState) and keeps every state it is sent; nothing is taken from the
// engine's caches. Vertices are pre-transformed (d3d_types.h); the
// transforms are stored only. Calls come from the thread that created the
// device (the OpenGL back end aborts otherwise).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/d3d/d3d_types.h"
#include "platform/display/display_device.h"
#include "platform/display/surface.h"

namespace platform::d3d {

using display::SurfacePtr;

class Device3D;
using Device3DPtr = std::shared_ptr<Device3D>;

// Enumeration callbacks: return false to stop.
using DeviceEnumCallback =
    std::function<bool(const std::string& description, const std::string& name, const DeviceDesc& desc)>;
using PixelFormatCallback = std::function<bool(const PixelFormat& format)>;

class Direct3D : public display::Direct3DSupport {
 public:
  virtual Result EnumDevices(const DeviceEnumCallback& callback) = 0;
  // Depth formats of a device kind.
  virtual Result EnumZBufferFormats(DeviceKind kind, const PixelFormatCallback& callback) = 0;
  // A device of that kind rendering into target (a 16- or 32-bit RGB
  // surface). kInvalidParams for another kind or a target it cannot draw to.
  virtual Result CreateDevice(DeviceKind kind, const SurfacePtr& target, Device3DPtr* out) = 0;
};

// The Direct3D object behind a display device; kNoDirect3D when no back end
// is installed or the back end cannot run.
Result QueryDirect3D(display::Device& device, std::shared_ptr<Direct3D>* out);

class Device3D {
 public:
  virtual ~Device3D() = default;

  virtual Result GetCaps(DeviceDesc* out) = 0;
  virtual Result EnumTextureFormats(const PixelFormatCallback& callback) = 0;

  // kInvalidParams for a state number the device does not know or a value
  // it cannot honour (an unknown operation, argument, factor or function).
  virtual Result SetRenderState(uint32_t state, uint32_t value) = 0;
  virtual Result GetRenderState(uint32_t state, uint32_t* value) = 0;
  // stage below kStageCount.
  virtual Result SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) = 0;
  virtual Result GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) = 0;
  // A null texture unbinds the stage. Textures are RGB surfaces of the
  // enumerated formats (or the display's 16- and 32-bit formats).
  virtual Result SetTexture(uint32_t stage, const SurfacePtr& texture) = 0;

  virtual Result SetRenderTarget(const SurfacePtr& target) = 0;
  virtual Result GetRenderTarget(SurfacePtr* out) = 0;
  // The viewport clips every draw; one reaching outside the target is
  // refused (kInvalidParams). A new target resets it to the whole target.
  virtual Result SetViewport(const Viewport& viewport) = 0;
  virtual Result GetViewport(Viewport* out) = 0;
  virtual Result SetTransform(uint32_t which, const Matrix& matrix) = 0;
  virtual Result GetTransform(uint32_t which, Matrix* out) = 0;

  virtual Result BeginScene() = 0;
  virtual Result EndScene() = 0;

  // kInvalidParams for a primitive type, vertex format or count the device
  // does not take (indices must lie below vertex_count); kSurfaceLost while
  // the target or a bound texture is lost.
  virtual Result DrawPrimitive(uint32_t type, uint32_t fvf, const void* vertices, uint32_t vertex_count,
                               uint32_t flags) = 0;
  virtual Result DrawIndexedPrimitive(uint32_t type, uint32_t fvf, const void* vertices,
                                      uint32_t vertex_count, const uint16_t* indices,
                                      uint32_t index_count, uint32_t flags) = 0;

  // Copies src_rect (null: all) of source into destination at (x, y); both
  // of one format.
  virtual Result Load(const SurfacePtr& destination, int32_t x, int32_t y, const SurfacePtr& source,
                      const Rect* src_rect, uint32_t flags) = 0;
};

}  // namespace platform::d3d
