// Loop selection shared by the triangle spans and the rotated blit: both
// sample one texel per destination pixel, gate it and blend it one pixel at a
// time, with no short-cut forms. The choice is made once per call, in the
// order source form, blend mode, blend image, draw-bright colour,
// transparency flag; the alpha use of an alpha source follows from the mode
// and the flag:
//   flag off           every texel weighted by its alpha (0 and 255 included)
//   flag on, mode 0-3  alpha 0 skipped, 255 drawn unweighted, others weighted
//   flag on, mode 4    255 drawn unweighted, every other alpha weighted
//                      (alpha 0 turns the pixel black)
// Loop::template Run<D, F, Mode, White, Weighted, Trans, AU>(args...) is
// called for the one specialised loop; Mode is 0-4 after the blend-value
// rules (mode 1 at 255 arrives as 0).
#pragma once

#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {

template <bool Trans, int Mode>
inline constexpr AlphaUse kTexelAlphaUse = !Trans      ? AlphaUse::kWeight
                                           : Mode == 4 ? AlphaUse::kGatedNoSkip
                                                       : AlphaUse::kGated;

// d + trunc(p * (c - d) / 255) without a branch on the sign of c - d, which
// random pixels would mispredict half the time.
SOFTRENDER_INLINE uint32_t SignedMixChannelNoBranch(uint32_t d, uint32_t c, uint32_t p) {
  const int32_t x = static_cast<int32_t>(c) - static_cast<int32_t>(d);
  const uint32_t neg = static_cast<uint32_t>(x >> 31);  // all ones when c < d
  const uint32_t q = Div255(p * ((static_cast<uint32_t>(x) ^ neg) - neg));
  return d + ((q ^ neg) - neg);
}

// The operators of the blend modes; at 16 bits, mode 1 without weights (the
// signed mix) takes the branch-free form, with the same results.
template <int Mode, bool White>
struct TexelOp {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t w,
                                          const PixelContext<D>& c) {
    if constexpr (D::kPixelBytes == 2 && Mode == 1 && N == 0) {
      uint32_t cr = Red16(s), cg = Green16(s), cb = Blue16(s);
      if constexpr (!White) {
        cr = Div255(c.params.bright_r * cr);
        cg = Div255(c.params.bright_g * cg);
        cb = Div255(c.params.bright_b * cb);
      }
      const uint32_t p = c.params.p;
      return Pack16(SignedMixChannelNoBranch(Red16(d), cr, p),
                    SignedMixChannelNoBranch(Green16(d), cg, p),
                    SignedMixChannelNoBranch(Blue16(d), cb, p));
    } else {
      return D::template Blend<Mode, White, N, AlphaOnly>(d, s, w, c.params);
    }
  }
};

// The per-pixel operation of every texel loop: gate, weights, blend.
template <class D, SourceForm F, int Mode, bool White, bool Weighted, bool Trans>
SOFTRENDER_INLINE uint32_t TexelPixel(uint32_t d, const uint8_t* texel, uint32_t blend_byte,
                                      const PixelContext<D>& c) {
  constexpr AlphaUse kAU = F == SourceForm::kAlpha ? kTexelAlphaUse<Trans, Mode> : AlphaUse::kNone;
  return BlendSourcePixel<D, F, TexelOp<Mode, White>, Weighted, Trans, kAU>(d, texel, blend_byte,
                                                                            c);
}

template <class D, class Loop, class... Args>
void DispatchTexelLoop(SourceForm form, unsigned mode, bool weighted, bool white, bool trans,
                       Args&&... args) {
  WithSourceForm(form, [&](auto f) {
    WithMode(mode, [&](auto m) {
      WithBool(weighted, [&](auto w) {
        WithBool(white, [&](auto wh) {
          WithBool(trans,
                   [&](auto t) { Loop::template Run<D, f(), m(), wh(), w(), t()>(args...); });
        });
      });
    });
  });
}

}  // namespace softrender
