// The OpenGL drawing of the 3D device: the texture stages, alpha test and
// colour keys become one small fragment program per distinct set-up
// (generated from one four-stage description, compiled on first use and
// cached, at most kProgramCacheSize at a time), and vertex batches are
// streamed through one buffer per draw.
//
// What a program computes, per fragment: CURRENT starts as the diffuse
// colour (flat: the first vertex of each primitive; Gouraud: interpolated).
// Stages run in order and stop at the first COLOROP DISABLE, or at a stage
// whose COLORARG1 is TEXTURE with no texture bound. A TEXTURE argument of
// an unbound stage reads opaque white, SPECULAR reads 1, TFACTOR the
// texture factor. Each stage's result is clamped to [0, 1]; MODULATE2X and
// 4X scale before the clamp; SUBTRACT clamps at 0. ALPHAOP DISABLE keeps
// the alpha. With the colour key on, a fragment whose nearest texel
// (whatever the filter) equals a stage texture's key, compared in the
// texture's own channel widths, is discarded. The alpha test compares
// round(alpha x 255) with ALPHAREF by ALPHAFUNC.
//
// Positions: target pixel (x, y) maps to ((x + 0.5 - 1/64) x 2 / W - 1,
// (y + 0.5 - 1/64) x 2 / H - 1), framebuffer rows top-down (see
// gl_surface.h). The viewport is a scissor over the whole target. Texture
// coordinates are read at the pixel centre itself; a centre on a texel
// boundary takes the texel after it, as exact arithmetic gives.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/d3d/device_state.h"
#include "platform/d3d/gl_surface.h"

namespace platform::d3d {

inline constexpr size_t kProgramCacheSize = 256;

// One stage's inputs to a draw.
struct StageTexture {
  GlSurface* surface = nullptr;  // null: no texture
  bool has_key = false;
  uint32_t key = 0;  // the key's pixel value in the texture's format
};

class GlPipeline {
 public:
  // Null when the shaders cannot be built (the reason goes to stderr).
  static std::unique_ptr<GlPipeline> Create();
  ~GlPipeline();

  // Draws with the target's framebuffer and the stage textures bound.
  void Draw(const DeviceState& state, const StageTexture* textures, int32_t target_width,
            int32_t target_height, uint32_t type, uint32_t fvf, const void* vertices,
            uint32_t vertex_count, const uint16_t* indices, uint32_t index_count);

  size_t cached_programs() const;
  uint64_t programs_built() const;

  struct Impl;

 private:
  GlPipeline() = default;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::d3d
