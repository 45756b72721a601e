// A CPU evaluator of what the 3D device computes per pixel, written from the
// device's rules (gl_pipeline.h) rather than from its code: the texture
// stages, the alpha test, the blend and the store into a target format.
// Channels are doubles in [0, 1].
#pragma once

#include <cstdint>

#include "platform/d3d/d3d_types.h"

namespace d3d_test {

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};

// 0xAARRGGBB -> channels.
Rgba FromArgb(uint32_t argb);

struct RefStage {
  uint32_t color_op = platform::d3d::kTopDisable;
  uint32_t color_arg1 = platform::d3d::kTaTexture;
  uint32_t color_arg2 = platform::d3d::kTaCurrent;
  uint32_t alpha_op = platform::d3d::kTopDisable;
  uint32_t alpha_arg1 = platform::d3d::kTaTexture;
  uint32_t alpha_arg2 = platform::d3d::kTaCurrent;
  bool has_texture = false;
  Rgba texel;
};

struct RefProgram {
  RefStage stages[platform::d3d::kStageCount];
  uint32_t texture_factor = 0xFFFFFFFF;
};

// The stages' result for a fragment of this diffuse colour.
Rgba EvaluateStages(const RefProgram& program, const Rgba& diffuse);

// round(alpha x 255) against ref by func.
bool AlphaTestPasses(double alpha, uint32_t func, uint32_t ref);

// Source and destination combined by two blend factors, equation ADD, the
// same factors for alpha; the result clamped.
Rgba Blend(const Rgba& src, const Rgba& dst, uint32_t src_factor, uint32_t dst_factor);

// The value a target of these channel widths stores for a colour, and what
// it reads back as (k / (2^w - 1)); width 0 keeps the channel at 1.
Rgba Quantize(const Rgba& c, int red_bits, int green_bits, int blue_bits, int alpha_bits);

// A packed pixel of a format -> channels (bit widths from the masks; no
// alpha mask: alpha 1).
Rgba FromPixel(uint32_t pixel, const platform::d3d::PixelFormat& format);
// Channels -> a packed pixel, each rounded to its width.
uint32_t ToPixel(const Rgba& c, const platform::d3d::PixelFormat& format);

}  // namespace d3d_test
