// The span loops of the triangle rasteriser, shared by both colour kinds.
// Each textured loop is one combination of source form, blend mode,
// draw-bright colour, blend image and transparency flag (template
// arguments), so nothing inside a span branches on the draw state; only the
// texel test and the texel's own gate run per pixel. Texel coordinates are
// computed afresh at each span start and stepped by addition along the span,
// all in wrapping 32-bit arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/softrender/triangle_pixel_dispatch.h"
#include "engine/softrender/triangle_setup.h"
#include "engine/softrender/triangle_spans.h"

namespace softrender {

// Everything one span reads, held by value: byte stores through the
// destination pointer may alias any memory, so values reached through a
// reference would be reloaded after every pixel.
template <class D>
struct TexelSpanState {
  PixelContext<D> c;
  const uint8_t* src;
  ptrdiff_t src_pitch;
  const uint8_t* blend;
  ptrdiff_t blend_pitch;
  uint64_t u_limit, v_limit;
  uint32_t ux, vx;
};

template <class D, SourceForm F, int Mode, bool White, bool Weighted, bool Trans>
SOFTRENDER_INLINE void TexelSpan(const TexelSpanState<D> st, uint8_t* dp, uint32_t u, uint32_t v,
                                 int32_t count) {
  constexpr int kSrcBytes = D::SourceBytes(F);
  constexpr int kDstBytes = D::kPixelBytes;
  if (st.vx == 0) {
    // A span along a texel row (an upright quad, scaled or not): the row is
    // fixed, so the walk is a nearest-scaled span, one step of u a pixel.
    if (v >= st.v_limit) return;
    const ptrdiff_t row = v >> 18;
    const uint8_t* const srow = st.src + row * st.src_pitch;
    const uint8_t* const brow = Weighted ? st.blend + row * st.blend_pitch : nullptr;
    const uint64_t u_limit = st.u_limit;
    const uint32_t ux = st.ux;
    if (static_cast<int32_t>(ux) > 0 && u < u_limit &&
        uint64_t(u) + uint64_t(count - 1) * ux <= 0xffffffffu) {
      // u rises without wrapping: the texels inside the source are the
      // first n pixels, drawn without a test; the others are not drawn.
      const uint64_t n = (u_limit - u + ux - 1) / ux;
      const int32_t inside = n < uint64_t(count) ? static_cast<int32_t>(n) : count;
      for (int32_t i = 0; i < inside; ++i, dp += kDstBytes, u += ux) {
        const ptrdiff_t col = u >> 18;
        const uint32_t b = Weighted ? brow[col] : 0u;
        D::Store(dp, TexelPixel<D, F, Mode, White, Weighted, Trans>(
                         D::Load(dp), srow + col * kSrcBytes, b, st.c));
      }
      return;
    }
    for (int32_t i = 0; i < count; ++i, dp += kDstBytes, u += ux) {
      if (u >= u_limit) continue;
      const ptrdiff_t col = u >> 18;
      const uint32_t b = Weighted ? brow[col] : 0u;
      D::Store(dp, TexelPixel<D, F, Mode, White, Weighted, Trans>(D::Load(dp), srow + col * kSrcBytes,
                                                                   b, st.c));
    }
    return;
  }
  for (int32_t i = 0; i < count; ++i, dp += kDstBytes, u += st.ux, v += st.vx) {
    if (u >= st.u_limit || v >= st.v_limit) continue;
    const ptrdiff_t col = u >> 18, row = v >> 18;
    const uint8_t* tp = st.src + row * st.src_pitch + col * kSrcBytes;
    const uint32_t b = Weighted ? st.blend[row * st.blend_pitch + col] : 0u;
    D::Store(dp, TexelPixel<D, F, Mode, White, Weighted, Trans>(D::Load(dp), tp, b, st.c));
  }
}

struct TexturedSpanLoop {
  template <class D, SourceForm F, int Mode, bool White, bool Weighted, bool Trans>
  static void Run(const TriangleJob& j, const PixelContext<D>& ctx) {
    const TexelSpanState<D> st{ctx,
                               j.src,
                               j.src_pitch,
                               j.blend,
                               j.blend_pitch,
                               j.u_limit,
                               j.v_limit,
                               uint32_t(j.setup->grad.ux),
                               uint32_t(j.setup->grad.vx)};
    const TriangleGradients g = j.setup->grad;
    uint8_t* const dst = j.dst;
    const ptrdiff_t dst_pitch = j.dst_pitch;
    WalkTriangle(*j.setup, j.area, [&](int32_t y, int32_t x, int32_t count) {
      const uint32_t dx = uint32_t(x) - uint32_t(g.x0), dy = uint32_t(y) - uint32_t(g.y0);
      const uint32_t u = g.u0 + dx * uint32_t(g.ux) + dy * uint32_t(g.uy);
      const uint32_t v = g.v0 + dx * uint32_t(g.vx) + dy * uint32_t(g.vy);
      uint8_t* dp = dst + ptrdiff_t(y) * dst_pitch + ptrdiff_t(x) * D::kPixelBytes;
      TexelSpan<D, F, Mode, White, Weighted, Trans>(st, dp, u, v, count);
    });
  }
};

// One span of a flat triangle; all values by value (see TexelSpanState).
template <class D, int Mode>
SOFTRENDER_INLINE void FlatSpan(uint8_t* dp, int32_t count, const uint32_t colour,
                                const uint32_t amount, const typename D::Params bp) {
  constexpr int kDstBytes = D::kPixelBytes;
  for (int32_t i = 0; i < count; ++i, dp += kDstBytes) {
    if constexpr (Mode == 0) {
      D::Store(dp, colour);
    } else if constexpr (Mode == 2 || Mode == 3) {
      const uint32_t d = D::Load(dp);
      if constexpr (kDstBytes == 4) {
        D::Store(dp, Mode == 2 ? SaturatingAdd(d, amount) : SaturatingSubtract(d, amount));
      } else {
        D::Store(dp, Mode == 2 ? SaturatingAdd16(d, amount) : SaturatingSubtract16(d, amount));
      }
    } else {
      D::Store(dp, D::template Blend<Mode, true, 0, false>(D::Load(dp), colour, 0, bp));
    }
  }
}

// One loop per blend mode: modes 0, 1 and 4 through the operator without
// weights (white: the colour is tinted already), modes 2 and 3 with the
// amount scaled by P once per triangle.
template <class D, int Mode>
void FlatTriangleRows(const TriangleJob& j, const typename D::Params& params) {
  const typename D::Params bp = params;
  constexpr int kDstBytes = D::kPixelBytes;
  const uint32_t colour = j.colour;
  uint32_t amount = 0;
  if constexpr (Mode == 2 || Mode == 3) {
    const uint32_t p = bp.p;
    if constexpr (kDstBytes == 4) {
      amount = (Div255(p * ((colour >> 16) & 255u)) << 16) |
               (Div255(p * ((colour >> 8) & 255u)) << 8) | Div255(p * (colour & 255u));
    } else {
      amount = Pack16(Div255(p * Red16(colour)), Div255(p * Green16(colour)),
                      Div255(p * Blue16(colour)));
    }
  }
  uint8_t* const dst = j.dst;
  const ptrdiff_t dst_pitch = j.dst_pitch;
  WalkTriangle(*j.setup, j.area, [&](int32_t y, int32_t x, int32_t count) {
    FlatSpan<D, Mode>(dst + ptrdiff_t(y) * dst_pitch + ptrdiff_t(x) * kDstBytes, count, colour,
                      amount, bp);
  });
}

template <class D>
void RunFlatTriangle(const TriangleJob& j, const typename D::Params& params) {
  WithMode(j.mode, [&](auto mode) { FlatTriangleRows<D, mode()>(j, params); });
}

}  // namespace softrender
