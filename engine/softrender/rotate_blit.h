// The rotated and scaled blit: a whole source memory image drawn onto a
// destination memory image of the same colour kind, turned by an angle
// (radians; with y down a positive angle turns clockwise on screen) and
// scaled by a factor (1.0 natural size; a negative factor adds a half turn)
// about a destination point, under the blend mode, blend value and
// draw-bright colour of CurrentDrawState, with an optional transparency test
// and an optional blend image (one byte per source texel, aligned with the
// source). The source's texel (w >> 1, h >> 1) lands on (cx, cy).
//
// The draw works backwards from the destination in 14.18 fixed point
// (1.0 = 0x40000): each pixel of the turned image's bounding box (widened by
// 2 up and left, 4 down and right, clipped to the draw area and the
// destination) samples the texel under its top-left corner, by truncation,
// and is left alone when that lies outside the source. Every float rounding
// of the set-up is fixed (see RotateBlitGeometry), so the pixels do not
// depend on the compiler or the machine. With the turn flag the four corners
// are handed, mirrored left to right, to DrawQuadMemImg instead.
//
// Limits: centre and corners within -8192..8191 pixels keep the mapping
// exact (beyond them the 32-bit arithmetic wraps, but every read stays
// inside the source); sources wider or taller than 16383 texels are refused.
// A blend image that does not cover the source is refused. Work storage is
// per call, so the routine is re-entrant and any source height is served.
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"

void BltRotateMemImg(MEMIMG* dest, const MEMIMG* source, int32_t cx, int32_t cy, float angle,
                     float scale, int32_t transFlag, int32_t turnFlag, const MEMIMG* blendImage);

namespace softrender {

inline constexpr int32_t kRotateMaxSourceSize = 16383;

// The fixed-point set-up of one rotated blit, exposed for tests of its
// rounding.
struct RotateBlitGeometry {
  int32_t s_neg = 0, c_neg = 0;  // sine and cosine of -angle, 14.18
  int32_t s_pos = 0, c_pos = 0;  // of angle
  float half_w = 0, half_h = 0;  // w * scale * 0.5, h * scale * 0.5
  float a = 0, b = 0, c = 0,
        d = 0;  // half_w * c_pos, half_w * s_pos, half_h * c_pos, half_h * s_pos
  int32_t corner_x[4] = {}, corner_y[4] = {};  // P0 top-left, P1 bottom-left, P2 bottom-right,
                                               // P3 top-right; 14.18 destination coordinates
  float inv = 0;                               // 1 / scale
  int32_t du = 0, dv = 0;                      // texel step per destination column, 14.18
  uint32_t u_centre = 0, v_centre = 0;         // (w >> 1) << 18, (h >> 1) << 18
  int32_t cx = 0, cy = 0;
};

void ComputeRotateGeometry(uint32_t width, uint32_t height, int32_t cx, int32_t cy, float angle,
                           float scale, RotateBlitGeometry* g);

// Texel coordinates (14.18, wrapping) sampled by destination pixel (x, y).
uint32_t RotateSampleU(const RotateBlitGeometry& g, int32_t x, int32_t y);
uint32_t RotateSampleV(const RotateBlitGeometry& g, int32_t x, int32_t y);

// n * q rounded once to float (the exact product, one rounding to nearest).
float ProductToFloat(int64_t n, double q);

}  // namespace softrender
