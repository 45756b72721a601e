// The state a 3D device keeps, with the interface's documented defaults,
// and the checks of what a device accepts. Shared by the OpenGL device and
// the recording fake, so both answer Get calls alike.
//
// Defaults: stage 0 colour MODULATE(TEXTURE, CURRENT) and alpha
// SELECTARG1(TEXTURE, CURRENT); stages 1-3 DISABLE with the same arguments;
// texture-coordinate index = stage number; point filters; wrap addressing;
// blend factors ONE / ZERO, no blending, no alpha test, ALPHAFUNC ALWAYS,
// ALPHAREF 0; no depth test (ZFUNC LESSEQUAL, writes on); Gouraud shading;
// culling CCW; texture factor opaque white; dithering off.
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d/d3d_types.h"
#include "platform/display/surface.h"

namespace platform::d3d {

class DeviceState {
 public:
  DeviceState();

  // kInvalidParams as Device3D describes; the state is unchanged then.
  Result SetRenderState(uint32_t state, uint32_t value);
  Result GetRenderState(uint32_t state, uint32_t* value) const;
  Result SetStageState(uint32_t stage, uint32_t state, uint32_t value);
  Result GetStageState(uint32_t stage, uint32_t state, uint32_t* value) const;

  uint32_t render(uint32_t state) const { return render_[state]; }
  uint32_t stage(uint32_t stage, uint32_t state) const { return stages_[stage][state]; }

  std::array<display::SurfacePtr, kStageCount> textures;
  display::SurfacePtr target;
  Viewport viewport;
  Matrix transforms[3];
  bool in_scene = false;

 private:
  std::array<uint32_t, kRenderStateCount> render_{};
  std::array<std::array<uint32_t, kStageStateCount>, kStageCount> stages_{};
};

// The checks shared by the draw calls of both implementations.
Result CheckDraw(uint32_t type, uint32_t fvf, const void* vertices, uint32_t vertex_count);
Result CheckIndexedDraw(uint32_t type, uint32_t fvf, const void* vertices, uint32_t vertex_count,
                        const uint16_t* indices, uint32_t index_count);
// A viewport that lies inside a target of width x height.
bool ViewportFits(const Viewport& viewport, int32_t width, int32_t height);
// Whether a surface can be a render target (16 or 32 bits RGB) and a texture
// (an RGB format of 16 or 32 bits with channels of at most 8 bits).
bool CanRenderTo(const display::Surface& surface);
bool CanTexture(const display::Surface& surface);

}  // namespace platform::d3d
