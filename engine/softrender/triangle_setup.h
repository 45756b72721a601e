// Set-up and row walk of the triangle rasteriser, independent of pixels.
//
// Fixed point is 14.18 (1.0 = 0x40000). Destination coordinates sit at pixel
// centres (X = x * 0x40000 + 0x20000), texel coordinates do not
// (U = u * 0x40000). Pix(a) is a / 0x40000 rounded toward zero, so a vertex
// at x >= 0 lands in column x and one at x < 0 in column x + 1.
//
// Set-up: the vertices are sorted by X (P0 least) and by Y (top, middle,
// bottom) with the same three-comparison exchange sort; a zero area (whole
// pixels) is degenerate; the texel gradients are integer numerators times
// 262144.0 divided by the area in double, truncated toward zero; each side
// gets one or two edges whose x advances by a truncated per-row slope. When
// the middle vertex lies on the right, the right side's second edge starts
// one 14.18 unit right of it.
//
// Walk: row by row from pix(Y of top); each row's span runs from pix(left x)
// to pix(right x), both included, cut on the left by the area's left edge
// and on the right per pixel. When the left side moves to its second edge
// the row index restarts at that edge's own row (for a top vertex above row
// 0 this walks the middle row twice). Edge positions and slopes are held in
// 64 bits, so edges that span more than 8191 pixels stay exact.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/core/base/rect_helpers.h"
#include "engine/softrender/triangle_mem_img.h"

namespace softrender {

inline constexpr int32_t kFixOne = 0x40000;
inline constexpr int32_t kFixHalf = 0x20000;

// a / 0x40000 rounded toward zero.
inline constexpr int64_t FixPix(int64_t a) { return a / kFixOne; }

struct TriangleEdge {
  int64_t x = 0;      // start x, 14.18
  int64_t y = 0;      // start y, 14.18
  int64_t slope = 0;  // x per row, 14.18, truncated toward zero
  int32_t rows = 0;   // rows walked on this edge, at least 1
};

struct TriangleSide {
  TriangleEdge edge[2];
  int count = 1;  // 1 or 2 edges
};

struct TriangleGradients {
  int32_t ux = 0, uy = 0, vx = 0, vy = 0;  // 14.18 texels per pixel and per row
  uint32_t u0 = 0, v0 = 0;                 // U and V of the reference vertex P0
  int32_t x0 = 0, y0 = 0;                  // pix of X and Y of P0
};

struct TriangleSetup {
  TriangleSide left, right;
  int32_t first_row = 0;  // pix(Y of the top vertex)
  TriangleGradients grad;
};

// The sorted index triples of one triangle: by_x[0] has the least X,
// by_y = top, middle, bottom. Exposed for tests of the tie rules.
void SortTriangleVertices(const int32_t keys_x[3], const int32_t keys_y[3], int by_x[3],
                          int by_y[3]);

// Fills the set-up; false when nothing is to be drawn: a value outside the
// coordinate range (u and v are checked only when textured), a degenerate
// triangle, a zero row count, or (textured) a gradient that does not fit in
// 32 bits.
bool SetUpTriangle(const TriangleRecord& tri, bool textured, TriangleSetup* out);

// Calls span(y, x, count) for every row the walk draws: x is the first
// pixel (clipped to the area's left), count >= 1 the pixels up to the span's
// right end or the area's right edge, whichever comes first. area must be
// non-empty.
template <class SpanFn>
void WalkTriangle(const TriangleSetup& s, const IntRect& area, SpanFn&& span) {
  int li = 0, ri = 0;
  int64_t xl_fix = s.left.edge[0].x, xr_fix = s.right.edge[0].x;
  int64_t slope_l = s.left.edge[0].slope, slope_r = s.right.edge[0].slope;
  int32_t rows_l = s.left.edge[0].rows, rows_r = s.right.edge[0].rows;
  int64_t y = s.first_row;
  for (;;) {
    int64_t xl = FixPix(xl_fix);
    const int64_t xr = FixPix(xr_fix);
    int64_t n = xr - xl + 1;
    if (xl < area.left) {
      n -= area.left - xl;
      xl = area.left;
    }
    if (y >= area.top && y < area.bottom && xl < area.right && n > 0) {
      const int64_t count = std::min<int64_t>(n, int64_t(area.right) - xl);
      span(static_cast<int32_t>(y), static_cast<int32_t>(xl), static_cast<int32_t>(count));
    }
    xl_fix += slope_l;
    xr_fix += slope_r;
    ++y;
    --rows_l;
    --rows_r;
    if (rows_l == 0) {
      if (li + 1 >= s.left.count) return;
      ++li;
      xl_fix = s.left.edge[li].x;
      slope_l = s.left.edge[li].slope;
      rows_l = s.left.edge[li].rows;
      y = FixPix(s.left.edge[li].y);
    }
    if (rows_r == 0) {
      if (ri + 1 >= s.right.count) return;
      ++ri;
      xr_fix = s.right.edge[ri].x;
      slope_r = s.right.edge[ri].slope;
      rows_r = s.right.edge[ri].rows;
    }
  }
}

}  // namespace softrender
