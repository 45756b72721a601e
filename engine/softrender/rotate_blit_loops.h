// The walk of the rotated blit, shared by both colour kinds: the clipped box
// row by row, the texel coordinates stepped by constant 14.18 increments
// (wrapping 32-bit), one unsigned test per axis, then the texel's gate and
// blend. Each loop is one combination of source form, blend mode,
// draw-bright colour, blend image and transparency flag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/triangle_pixel_dispatch.h"

namespace softrender {

struct RotateBlitJob {
  uint8_t* dst = nullptr;  // first pixel of the clipped box
  ptrdiff_t dst_pitch = 0;
  int32_t width = 0, height = 0;               // of the clipped box, both >= 1
  uint32_t u = 0, v = 0;                       // texel coordinates at the box's top-left pixel
  uint32_t du = 0, dv = 0;                     // per column
  uint32_t su = 0, sv = 0;                     // per row
  uint64_t u_limit = 0, v_limit = 0;           // source width << 18, height << 18
  const uint8_t* const* src_rows = nullptr;    // one address per source row
  const uint8_t* const* blend_rows = nullptr;  // one per source row, or null
  SourceForm form = SourceForm::kDirect;
  unsigned mode = 0;
  uint32_t p = 0;
  bool white = true;
  bool trans = false;
};

struct RotateBlitLoop {
  template <class D, SourceForm F, int Mode, bool White, bool Weighted, bool Trans>
  static void Run(const RotateBlitJob& j, const PixelContext<D>& ctx) {
    // Every value in a local: byte stores through the destination pointer
    // may alias anything reached through a reference.
    const PixelContext<D> c = ctx;
    constexpr int kSrcBytes = D::SourceBytes(F);
    constexpr int kDstBytes = D::kPixelBytes;
    const uint8_t* const* const rows = j.src_rows;
    const uint8_t* const* const blend_rows = j.blend_rows;
    const uint64_t u_limit = j.u_limit, v_limit = j.v_limit;
    const uint32_t du = j.du, dv = j.dv, su = j.su, sv = j.sv;
    const int32_t width = j.width, height = j.height;
    const ptrdiff_t dst_pitch = j.dst_pitch;
    uint8_t* line = j.dst;
    uint32_t u_row = j.u, v_row = j.v;
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* dp = line;
      uint32_t u = u_row, v = v_row;
      for (int32_t x = 0; x < width; ++x, dp += kDstBytes, u += du, v += dv) {
        if (u >= u_limit || v >= v_limit) continue;
        const uint32_t col = u >> 18, row = v >> 18;
        const uint8_t* tp = rows[row] + ptrdiff_t(col) * kSrcBytes;
        const uint32_t b = Weighted ? blend_rows[row][col] : 0u;
        D::Store(dp, TexelPixel<D, F, Mode, White, Weighted, Trans>(D::Load(dp), tp, b, c));
      }
      line += dst_pitch;
      u_row += su;
      v_row += sv;
    }
  }
};

// The loops of one depth (Depth32 or Depth16), instantiated for both in
// rotate_blit_loops.cpp.
template <class D>
void RunRotateBlit(const RotateBlitJob& job, const PixelContext<D>& ctx);

}  // namespace softrender
