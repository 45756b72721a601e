// Entry of the rotated blit: refusals, the fixed-point set-up with its fixed
// roundings, the turn-flag hand-over, the clipped box, the per-call row
// tables and the choice of loop.
#include "engine/softrender/rotate_blit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "engine/core/base/number_helpers.h"
#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/quad_mem_img.h"
#include "engine/softrender/render_common.h"
#include "engine/softrender/rotate_blit_loops.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {

float ProductToFloat(int64_t n, double q) {
  if (n == 0 || !std::isfinite(q)) return static_cast<float>(static_cast<double>(n) * q);
  // q = m * 2^e with m a 53-bit integer; n * m is exact in 128 bits.
  int e = 0;
  const double f = std::frexp(q, &e);
  const int64_t m = static_cast<int64_t>(std::ldexp(f, 53));
  e -= 53;
  const __int128 p = static_cast<__int128>(n) * m;
  unsigned __int128 a =
      p < 0 ? -static_cast<unsigned __int128>(p) : static_cast<unsigned __int128>(p);
  // Narrow to 62 bits, folding the dropped bits into the lowest one so that
  // the single conversion below still rounds as the exact value would.
  int shift = 0;
  while ((a >> 62) != 0) {
    a = (a >> 1) | (a & 1u);
    ++shift;
  }
  const float r = std::ldexp(static_cast<float>(static_cast<int64_t>(a)), e + shift);
  return p < 0 ? -r : r;
}

namespace {

int32_t Fix14(float v) { return FloatToInt(v * 262144.0f); }

int32_t WrapAdd(int32_t a, uint32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + b);
}

}  // namespace

void ComputeRotateGeometry(uint32_t width, uint32_t height, int32_t cx, int32_t cy, float angle,
                           float scale, RotateBlitGeometry* g) {
  float s = 0, c = 0;
  SinCosF(-angle, &s, &c);
  g->s_neg = Fix14(s);
  g->c_neg = Fix14(c);
  SinCosF(angle, &s, &c);
  g->s_pos = Fix14(s);
  g->c_pos = Fix14(c);

  g->half_w = static_cast<float>(width) * scale * 0.5f;
  g->half_h = static_cast<float>(height) * scale * 0.5f;
  g->a = g->half_w * static_cast<float>(g->c_pos);
  g->b = g->half_w * static_cast<float>(g->s_pos);
  g->c = g->half_h * static_cast<float>(g->c_pos);
  g->d = g->half_h * static_cast<float>(g->s_pos);

  static constexpr int kSignX[4] = {-1, -1, 1, 1};
  static constexpr int kSignY[4] = {-1, 1, 1, -1};
  const uint32_t centre_x = static_cast<uint32_t>(cx) << 18;
  const uint32_t centre_y = static_cast<uint32_t>(cy) << 18;
  for (int i = 0; i < 4; ++i) {
    const float xa = kSignX[i] < 0 ? -g->a : g->a;
    const float yd = kSignY[i] < 0 ? -g->d : g->d;
    const float xb = kSignX[i] < 0 ? -g->b : g->b;
    const float yc = kSignY[i] < 0 ? -g->c : g->c;
    const float x = xa - yd;
    const float y = xb + yc;
    g->corner_x[i] = WrapAdd(FloatToInt(x), centre_x);
    g->corner_y[i] = WrapAdd(FloatToInt(y), centre_y);
  }

  g->inv = 1.0f / scale;
  g->du = FloatToInt(ProductToFloat(g->c_pos, 1.0 / static_cast<double>(scale)));
  g->dv = FloatToInt(static_cast<float>(g->s_neg) * g->inv);
  g->u_centre = (width >> 1) << 18;
  g->v_centre = (height >> 1) << 18;
  g->cx = cx;
  g->cy = cy;
}

uint32_t RotateSampleU(const RotateBlitGeometry& g, int32_t x, int32_t y) {
  const uint32_t dx = static_cast<uint32_t>(x) - static_cast<uint32_t>(g.cx);
  const uint32_t dy = static_cast<uint32_t>(y) - static_cast<uint32_t>(g.cy);
  const int32_t sum = static_cast<int32_t>(dx * static_cast<uint32_t>(g.c_neg) -
                                           dy * static_cast<uint32_t>(g.s_neg));
  return static_cast<uint32_t>(FloatToInt(ProductToFloat(sum, g.inv))) + g.u_centre;
}

uint32_t RotateSampleV(const RotateBlitGeometry& g, int32_t x, int32_t y) {
  const uint32_t dx = static_cast<uint32_t>(x) - static_cast<uint32_t>(g.cx);
  const uint32_t dy = static_cast<uint32_t>(y) - static_cast<uint32_t>(g.cy);
  const int32_t sum = static_cast<int32_t>(dy * static_cast<uint32_t>(g.c_neg) +
                                           dx * static_cast<uint32_t>(g.s_neg));
  return static_cast<uint32_t>(FloatToInt(ProductToFloat(sum, g.inv))) + g.v_centre;
}

}  // namespace softrender

using softrender::MakePixelContext;
using softrender::RotateBlitGeometry;
using softrender::RotateBlitJob;
using softrender::SourceForm;

namespace {

int32_t Narrow(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

void BltRotateMemImg(MEMIMG* dest, const MEMIMG* source, int32_t cx, int32_t cy, float angle,
                     float scale, int32_t transFlag, int32_t turnFlag, const MEMIMG* blendImage) {
  if (dest == nullptr || source == nullptr) return;
  if (dest->Kind != source->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;

  const uint32_t w = static_cast<uint32_t>(source->Width);
  const uint32_t h = static_cast<uint32_t>(source->Height);
  RotateBlitGeometry g;
  softrender::ComputeRotateGeometry(w, h, cx, cy, angle, scale, &g);

  if (turnFlag != 0) {
    // Source corners top-left, top-right, bottom-left, bottom-right onto the
    // turned corners P3, P0, P2, P1: a left-right mirror image.
    static constexpr int kOrder[4] = {3, 0, 2, 1};
    QuadRecord quad;
    for (int i = 0; i < 4; ++i) {
      quad.p[i][0] = g.corner_x[kOrder[i]] / 0x40000;
      quad.p[i][1] = g.corner_y[kOrder[i]] / 0x40000;
    }
    DrawQuadMemImg(dest, source, &quad, transFlag, blendImage);
    return;
  }

  if (source->Kind != 0 && source->Kind != 1) return;
  if (dest->Pixels == nullptr || source->Pixels == nullptr) return;
  if (source->Width <= 0 || source->Height <= 0) return;
  if (source->Width > softrender::kRotateMaxSourceSize ||
      source->Height > softrender::kRotateMaxSourceSize) {
    return;
  }

  int32_t min_x = g.corner_x[0], max_x = min_x, min_y = g.corner_y[0], max_y = min_y;
  for (int i = 1; i < 4; ++i) {
    min_x = std::min(min_x, g.corner_x[i]);
    max_x = std::max(max_x, g.corner_x[i]);
    min_y = std::min(min_y, g.corner_y[i]);
    max_y = std::max(max_y, g.corner_y[i]);
  }
  IntRect box{Narrow(int64_t(min_x / 0x40000) - 2), Narrow(int64_t(min_y / 0x40000) - 2),
              Narrow(int64_t(max_x / 0x40000) + 4), Narrow(int64_t(max_y / 0x40000) + 4)};
  ClipRect(&box, &CurrentDrawState.DrawArea);
  if (box.left == box.right || box.top == box.bottom) return;
  // Never outside the destination, whatever the draw area says.
  const IntRect bounds{0, 0, dest->Width, dest->Height};
  ClipRect(&box, &bounds);
  if (box.left >= box.right || box.top >= box.bottom) return;
  if (min_y == max_y) return;  // all four corners on one row: a scale of 0

  const int32_t box_w = box.right - box.left, box_h = box.bottom - box.top;
  const uint32_t u_top = softrender::RotateSampleU(g, box.left, box.top);
  const uint32_t v_top = softrender::RotateSampleV(g, box.left, box.top);
  const uint32_t u_bottom = softrender::RotateSampleU(g, box.left, box.bottom);
  const uint32_t v_bottom = softrender::RotateSampleV(g, box.left, box.bottom);

  const DrawState& state = CurrentDrawState;
  const SourceForm form = softrender::SourceFormOf(*source);
  if (form == SourceForm::kPalette && source->DrawPalette == nullptr) return;
  RotateBlitJob job;
  if (!softrender::ResolveModeAndValue(state, form, &job.mode, &job.p)) return;
  if (blendImage != nullptr &&
      !softrender::BlendImageCovers(*blendImage, 0, 0, source->Width, source->Height)) {
    return;
  }

  // Row tables sized to this source, per call.
  std::vector<const uint8_t*> src_rows(h), blend_rows(blendImage ? h : 0);
  for (uint32_t r = 0; r < h; ++r) src_rows[r] = source->Pixels + ptrdiff_t(r) * source->Pitch;
  for (uint32_t r = 0; r < blend_rows.size(); ++r) {
    blend_rows[r] = blendImage->Pixels + ptrdiff_t(r) * blendImage->Pitch;
  }

  const int dst_bytes = dest->Kind == 1 ? 4 : 2;
  job.dst = dest->Pixels + ptrdiff_t(box.top) * dest->Pitch + ptrdiff_t(box.left) * dst_bytes;
  job.dst_pitch = dest->Pitch;
  job.width = box_w;
  job.height = box_h;
  job.u = u_top;
  job.v = v_top;
  job.du = static_cast<uint32_t>(g.du);
  job.dv = static_cast<uint32_t>(g.dv);
  job.su = static_cast<uint32_t>(static_cast<int32_t>(u_bottom - u_top) / box_h);
  job.sv = static_cast<uint32_t>(static_cast<int32_t>(v_bottom - v_top) / box_h);
  job.u_limit = uint64_t(w) << 18;
  job.v_limit = uint64_t(h) << 18;
  job.src_rows = src_rows.data();
  job.blend_rows = blendImage ? blend_rows.data() : nullptr;
  job.form = form;
  job.white = IsDrawBrightWhite(state);
  job.trans = transFlag != 0;

  std::array<uint32_t, 256> palette{};
  if (form == SourceForm::kPalette) softrender::CopyPaletteWork(*source, palette.data());
  softrender::WithDepth(source->Kind, [&](auto depth) {
    using D = decltype(depth);
    softrender::RunRotateBlit<D>(job, MakePixelContext<D>(state, *source, job.p, palette.data()));
  });
}
