// The tests' own geometry of the rotated blit and of the triangle
// rasteriser, written from the rules of the two routines and sharing no code
// with the engine's set-up, so the differential tests also catch faults in
// corner placement, inverse mapping, bounds, edge set-up and the row walk.
//
// Rotated blit: 14.18 fixed point; sine and cosine through the core's
// SinCosF and FloatToInt; every float product rounded once to float32 (the
// products that do not fit a double are rounded from their exact integer
// value, by a round-half-even written here); the bounding box from the four
// corners, widened by 2 up and left and 4 down and right; per pixel, the
// closed form of the walk: u = u(L, T) + (y - T) * su + (x - L) * du,
// modulo 2^32.
//
// Triangle: vertices at pixel centres, the three-comparison exchange sorts,
// gradients through double, the flat-top / flat-bottom / general edge cases
// with truncated slopes (the right side's second edge one unit right of the
// middle vertex), the walk with its row restart when the left side changes
// edge, and per pixel u = U0 + (x - x0) * ux + (y - y0) * uy modulo 2^32.
// Edge positions are 64-bit, as the engine keeps them.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/core/base/rect_helpers.h"
#include "engine/softrender/triangle_mem_img.h"

namespace softrender_test {

// ---- Rotated blit

struct RefRotate {
  int32_t corner_x[4] = {}, corner_y[4] = {};  // top-left, bottom-left, bottom-right, top-right
  int32_t du = 0, dv = 0;                      // per destination column
  int32_t cn = 0, sn = 0;                      // cosine and sine of -angle, 14.18
  float inv = 0;                               // 1 / scale
  uint32_t u_centre = 0, v_centre = 0;
  int32_t cx = 0, cy = 0;
};

RefRotate RefRotateSetUp(uint32_t w, uint32_t h, int32_t cx, int32_t cy, float angle, float scale);
uint32_t RefRotateU(const RefRotate& g, int32_t x, int32_t y);
uint32_t RefRotateV(const RefRotate& g, int32_t x, int32_t y);

// n * q rounded once to float32 (round half to even), from the exact
// product.
float RefRoundProductToFloat(int64_t n, double q);

// ---- Triangle

struct RefTriangle {
  int32_t ux = 0, uy = 0, vx = 0, vy = 0;
  uint32_t u0 = 0, v0 = 0;
  int32_t x0 = 0, y0 = 0;
};

// Calls pixel(x, y, u, v) for every pixel the walk visits inside `area`
// (already clipped to the destination), in walk order; false when the set-up
// refuses the triangle (out of range, degenerate, gradient beyond 32 bits).
bool RefWalkTriangle(const TriangleRecord& tri, bool textured, const IntRect& area,
                     const std::function<void(int32_t x, int32_t y, uint32_t u, uint32_t v)>& pixel);

}  // namespace softrender_test
