// Row loops of the stretched blit, shared by both colour kinds. Each
// template is one loop: its source form, operator, weights, transparency and
// alpha use are template arguments, so nothing inside a row branches on the
// draw state. Destination rows run top to bottom and pixels left to right;
// the texel of each pixel comes from the job's column and row tables.
#pragma once

#include <cstring>

#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/static_dispatch.h"
#include "engine/softrender/stretch_blit_job.h"

namespace softrender {

// The general loop: every pixel through BlendSourcePixel with its texel.
template <class D, SourceForm F, class Op, bool Weighted, bool Trans, AlphaUse AU>
void StretchStandardRows(const StretchBlitJob& j, const PixelContext<D>& ctx) {
  // A local copy: stores through the byte pointers cannot touch it.
  const PixelContext<D> c = ctx;
  constexpr int kSrcBytes = D::SourceBytes(F);
  constexpr int kDstBytes = D::kPixelBytes;
  const int32_t* const cols = j.columns;
  const int32_t w = j.width;
  uint8_t* dst = j.dst;
  for (int32_t y = 0; y < j.height; ++y) {
    const uint8_t* srow = j.src + static_cast<ptrdiff_t>(j.rows[y]) * j.src_pitch;
    const uint8_t* brow = nullptr;
    if constexpr (Weighted) brow = j.blend + static_cast<ptrdiff_t>(j.rows[y]) * j.blend_pitch;
    for (int32_t x = 0; x < w; ++x) {
      const int32_t col = cols[x];
      uint8_t* dp = dst + x * kDstBytes;
      const uint32_t b = Weighted ? brow[col] : 0u;
      D::Store(dp, BlendSourcePixel<D, F, Op, Weighted, Trans, AU>(
                       D::Load(dp), srow + static_cast<ptrdiff_t>(col) * kSrcBytes, b, c));
    }
    dst += j.dst_pitch;
  }
}

// The plain copy (mode 0, white, no weights, no transparency test) of a
// direct-colour or palette source: the colour depends on the texel only, so
// a row showing the same source row as the row above is a copy of it.
template <class D, SourceForm F>
void StretchCopyRows(const StretchBlitJob& j, const PixelContext<D>& ctx) {
  static_assert(F != SourceForm::kAlpha);
  constexpr int kSrcBytes = D::SourceBytes(F);
  constexpr int kDstBytes = D::kPixelBytes;
  const uint32_t* const palette = ctx.palette;
  const int32_t* const cols = j.columns;
  const int32_t w = j.width;
  const size_t row_bytes = static_cast<size_t>(w) * kDstBytes;
  uint8_t* dst = j.dst;
  for (int32_t y = 0; y < j.height; ++y) {
    if (y > 0 && j.rows[y] == j.rows[y - 1]) {
      std::memcpy(dst, dst - j.dst_pitch, row_bytes);
    } else {
      const uint8_t* srow = j.src + static_cast<ptrdiff_t>(j.rows[y]) * j.src_pitch;
      const auto colour = [&](int32_t x) -> uint64_t {
        const uint8_t* sp = srow + static_cast<ptrdiff_t>(cols[x]) * kSrcBytes;
        if constexpr (F == SourceForm::kPalette) return palette[*sp];
        return D::Load(sp);
      };
      // Eight bytes of pixels per store.
      constexpr int kPer = 8 / kDstBytes;
      int32_t x = 0;
      for (; x + kPer <= w; x += kPer) {
        uint64_t word = 0;
        for (int i = 0; i < kPer; ++i) word |= colour(x + i) << (8 * kDstBytes * i);
        std::memcpy(dst + x * kDstBytes, &word, 8);
      }
      for (; x < w; ++x) D::Store(dst + x * kDstBytes, static_cast<uint32_t>(colour(x)));
    }
    dst += j.dst_pitch;
  }
}

// The loops every depth shares: the plain copy, or every pixel through its
// operator. With the flag off an alpha source always carries its alpha
// weight; with it on, alpha 0 is skipped and 255 drawn unweighted, in every
// mode, multiply included.
template <class D, SourceForm F, int Mode, bool Weighted, bool White, bool Trans>
void StretchGeneralRows(const StretchBlitJob& j, const PixelContext<D>& c) {
  if constexpr (Mode == 0 && White && !Weighted && !Trans && F != SourceForm::kAlpha) {
    StretchCopyRows<D, F>(j, c);
  } else {
    constexpr AlphaUse kAlpha = F != SourceForm::kAlpha ? AlphaUse::kNone
                                : Trans                 ? AlphaUse::kGated
                                                        : AlphaUse::kWeight;
    StretchStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
  }
}

// Maps a stretched-blit job to one loop: loop(form, mode, weighted, white,
// trans) with compile-time constants.
template <class Loop>
void DispatchStretchBlit(const StretchBlitJob& j, Loop loop) {
  WithSourceForm(j.form, [&](auto form) {
    WithMode(j.mode, [&](auto mode) {
      WithBool(j.blend != nullptr, [&](auto weighted) {
        WithBool(j.white, [&](auto white) {
          WithBool(j.trans, [&](auto trans) { loop(form, mode, weighted, white, trans); });
        });
      });
    });
  });
}

}  // namespace softrender
