// The line: rejection, clipping in double precision, and the integer steps
// of one loop per colour kind, blend mode and major axis.
#include "engine/softrender/line_draw.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "engine/core/base/number_helpers.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blend_ops16.h"
#include "engine/softrender/blend_ops32.h"
#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/rect_fill.h"
#include "engine/softrender/static_dispatch.h"

namespace {

// count pixels from byte offset start: a major step after each pixel, a minor
// step whenever the error term reaches count. Offsets rather than pointers,
// since the position after the last pixel may lie outside the image.
template <class D, int Mode>
void StepLine(uint8_t* pixels, ptrdiff_t start, ptrdiff_t major_step, ptrdiff_t minor_step,
              int32_t count, int32_t minor_count, uint32_t colour, const typename D::Params& bp) {
  ptrdiff_t at = start;
  int32_t e = 0;
  for (int32_t k = 0; k < count; ++k) {
    uint8_t* p = pixels + at;
    D::Store(p, D::template Blend<Mode, true, 0, false>(D::Load(p), colour, 0, bp));
    e += minor_count;
    at += major_step;
    if (e >= count) {
      at += minor_step;
      e -= count;
    }
  }
}

}  // namespace

void DrawMemImgLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (dest == nullptr) return;
  const DrawState& state = CurrentDrawState;
  softrender::FlatColour fc;
  if (!softrender::ResolveFlatColour(*dest, state, colour, &fc)) return;
  IntRect area;
  if (!softrender::DrawAreaInImage(*dest, state, &area)) return;
  const int32_t L = area.left, T = area.top, R = area.right, B = area.bottom;

  if (std::min(y1, y2) >= B || std::min(x1, x2) >= R || std::max(y1, y2) < T ||
      std::max(x1, x2) < L) {
    return;
  }
  // x = kx * y + X0 and y = ky * x + Y0 through both end points.
  const double kx = y1 == y2 ? 0.0 : (double(x2) - double(x1)) / (double(y2) - double(y1));
  const double ky = x1 == x2 ? 0.0 : (double(y2) - double(y1)) / (double(x2) - double(x1));
  const double x0 = double(x1) - kx * double(y1);
  const double y0 = double(y1) - ky * double(x1);
  const auto x_at = [&](int32_t y) { return DoubleToInt(kx * double(y) + x0); };
  const auto y_at = [&](int32_t x) { return DoubleToInt(ky * double(x) + y0); };

  if (x1 < L) {
    x1 = L;
    y1 = y_at(L);
  } else if (x1 >= R) {
    x1 = R - 1;
    y1 = y_at(R - 1);
  }
  if (x2 < L) {
    x2 = L - 1;
    y2 = y_at(L - 1);
  } else if (x2 >= R) {
    x2 = R;
    y2 = y_at(R);
  }
  if (y1 < T) {
    y1 = T;
    x1 = x_at(T);
  } else if (y1 >= B) {
    y1 = B - 1;
    x1 = x_at(B - 1);
  }
  if (y2 < T) {
    y2 = T - 1;
    x2 = x_at(T - 1);
  } else if (y2 >= B) {
    y2 = B;
    x2 = x_at(B);
  }
  x1 = std::clamp(x1, L, R - 1);
  y1 = std::clamp(y1, T, B - 1);
  x2 = std::clamp(x2, L - 1, R);
  y2 = std::clamp(y2, T - 1, B);

  const int32_t dx = x2 - x1, dy = y2 - y1;
  if (dx == 0 && dy == 0) return;
  const int bytes = fc.kind == 1 ? 4 : 2;
  const ptrdiff_t x_step = dx >= 0 ? bytes : -bytes;
  const ptrdiff_t y_step = dy >= 0 ? ptrdiff_t(dest->Pitch) : -ptrdiff_t(dest->Pitch);
  const int32_t ax = std::abs(dx), ay = std::abs(dy);
  const ptrdiff_t start = ptrdiff_t(y1) * dest->Pitch + ptrdiff_t(x1) * bytes;

  softrender::WithMode(fc.mode, [&](auto mode) {
    const auto run = [&](auto depth, const auto& params) {
      using D = decltype(depth);
      if (ax >= ay) {
        StepLine<D, mode()>(dest->Pixels, start, x_step, y_step, ax, ay, fc.colour, params);
      } else {
        StepLine<D, mode()>(dest->Pixels, start, y_step, x_step, ay, ax, fc.colour, params);
      }
    };
    if (fc.kind == 1) {
      softrender::BlendParams32 bp;
      bp.p = fc.p;
      run(softrender::Depth32{}, bp);
    } else {
      softrender::BlendParams16 bp;
      bp.p = fc.p;
      run(softrender::Depth16{}, bp);
    }
  });
}

void DrawMemImgLines(MEMIMG* dest, const LineRecord* records, int32_t count) {
  if (records == nullptr) return;
  for (int32_t i = 0; i < count; ++i) {
    const LineRecord& r = records[i];
    DrawMemImgLine(dest, r.x1, r.y1, r.x2, r.y2, static_cast<uint32_t>(r.Color));
  }
}
