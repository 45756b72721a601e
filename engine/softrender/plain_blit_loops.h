// Row loops of the plain blit, shared by both colour kinds. Each template is
// one loop: its source form, operator, weights, transparency and alpha use
// are template arguments, so nothing inside a row branches on the draw state.
// Rows run top to bottom and pixels left to right; after a row the pointers
// advance by their pitches.
#pragma once

#include <cstring>

#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/plain_blit_job.h"
#include "engine/softrender/simd_lanes.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {

// The general loop: every pixel through BlendSourcePixel.
template <class D, SourceForm F, class Op, bool Weighted, bool Trans, AlphaUse AU>
void BlitStandardRows(const PlainBlitJob& j, const PixelContext<D>& ctx) {
  // A local copy: stores through the byte pointers cannot touch it, so its
  // values stay in registers and the row loop vectorises.
  const PixelContext<D> c = ctx;
  constexpr int kSrcBytes = D::SourceBytes(F);
  constexpr int kDstBytes = D::kPixelBytes;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const uint8_t* blend = j.blend;
  const int32_t w = j.width;
  for (int32_t y = 0; y < j.height; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* dp = dst + x * kDstBytes;
      const uint32_t b = Weighted ? blend[x] : 0u;
      D::Store(dp, BlendSourcePixel<D, F, Op, Weighted, Trans, AU>(D::Load(dp), src + x * kSrcBytes,
                                                                   b, c));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
    if constexpr (Weighted) blend += j.blend_pitch;
  }
}

// Whole rows copied unchanged (direct colour of the destination's layout).
template <class D>
void BlitCopyRows(const PlainBlitJob& j) {
  const size_t bytes = static_cast<size_t>(j.width) * D::kPixelBytes;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  for (int32_t y = 0; y < j.height; ++y) {
    std::memmove(dst, src, bytes);
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

// The whole-image path: the source's run table drives the walk. Transparent
// runs are skipped unread, opaque runs drawn without any test, partly
// transparent runs (alpha sources) with the pixel's alpha as a weight. Runs
// are cut at the row's width and reading stops at the table's end, so a
// table that does not match the image cannot lead outside either.
template <class D, SourceForm F, int Mode, bool White, bool Weighted>
void BlitWholeImageRows(const PlainBlitJob& j, const PixelContext<D>& ctx) {
#if SOFTRENDER_HAVE_SSE2
  if constexpr (F == SourceForm::kDirect && Mode == 0 && White && !Weighted) {
    if (ActiveSimdPath() != SimdPath::kPortable) {
      CopyRunRows<D::kPixelBytes>(j.dst, j.dst_pitch, j.src, j.src_pitch, j.width, j.height,
                                  j.run_table, j.run_table + j.run_table_size);
      return;
    }
  }
#endif
  const PixelContext<D> c = ctx;
  using Op = StandardOp<Mode, White>;
  constexpr int kSrcBytes = D::SourceBytes(F);
  constexpr int kDstBytes = D::kPixelBytes;
  constexpr AlphaUse kPartial = F == SourceForm::kAlpha ? AlphaUse::kWeight : AlphaUse::kNone;
  const uint8_t* code = j.run_table;
  const uint8_t* const code_end = j.run_table + j.run_table_size;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const uint8_t* blend = j.blend;
  const int32_t w = j.width;
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
    while (code < code_end) {
      const uint8_t run = *code++;
      const uint8_t cls = run & 0xc0u;
      if (cls == 0xc0u) break;
      int32_t n = (run & 0x3f) + 1;
      if (n > w - x) n = w - x;
      if (cls == 0x00u) {
        x += n;
        continue;
      }
      const int32_t end = x + n;
      if constexpr (F == SourceForm::kDirect && Mode == 0 && White && !Weighted) {
        // A run of a direct-colour source copied unchanged: the pixels the
        // one-pixel operator gives (the whole source pixel). Runs are short
        // (64 pixels at most), so a plain loop beats a library call.
        for (; x < end; ++x) D::Store(dst + x * kDstBytes, D::Load(src + x * kSrcBytes));
        continue;
      }
      if (cls == 0x40u) {
        for (; x < end; ++x) {
          uint8_t* dp = dst + x * kDstBytes;
          const uint32_t b = Weighted ? blend[x] : 0u;
          D::Store(dp, BlendSourcePixel<D, F, Op, Weighted, false, AlphaUse::kNone>(
                           D::Load(dp), src + x * kSrcBytes, b, c));
        }
      } else {
        for (; x < end; ++x) {
          uint8_t* dp = dst + x * kDstBytes;
          const uint32_t b = Weighted ? blend[x] : 0u;
          D::Store(dp, BlendSourcePixel<D, F, Op, Weighted, false, kPartial>(
                           D::Load(dp), src + x * kSrcBytes, b, c));
        }
      }
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
    if constexpr (Weighted) blend += j.blend_pitch;
  }
}

// Maps a plain-blit job to one loop: the whole-image path when the run table
// describes the source, else the depth's general path, called as
// general(form, mode, weighted, white, trans) with compile-time constants.
template <typename D, typename General>
void DispatchPlainBlit(const PlainBlitJob& j, const PixelContext<D>& c, General general) {
  WithSourceForm(j.form, [&](auto form) {
    WithMode(j.mode, [&](auto mode) {
      WithBool(j.blend != nullptr, [&](auto weighted) {
        WithBool(j.white, [&](auto white) {
          if (j.whole_image) {
            BlitWholeImageRows<D, form(), mode(), white(), weighted()>(j, c);
            return;
          }
          WithBool(j.trans, [&](auto trans) { general(form, mode, weighted, white, trans); });
        });
      });
    });
  });
}

}  // namespace softrender
