// Loop selection of the plain blit for 16-bit pixels (colour kind 0),
// including the pair loops of the add and subtract short cuts, whose packed
// forms carry between the two pixels of a pair.
#include <cstring>

#include "engine/softrender/plain_blit_job.h"
#include "engine/softrender/plain_blit_loops.h"
#include "engine/softrender/simd_lanes.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {
namespace {

using D = Depth16;

typedef uint16_t U16x8 __attribute__((vector_size(16)));
typedef int16_t I16x8 __attribute__((vector_size(16)));
typedef uint32_t U32x8 __attribute__((vector_size(32)));

// floor((d * 2^16 + (c - d) * w) / 2^16) for channel values d, c <= 63 and
// w <= 65025, in 16-bit lanes: with w = 256 * wh + wl it is
// floor((x + floor((c * wl - d * wl) / 256)) / 256), x = 256 * d + (c - d) * wh,
// where x stays within 0..16128 and the difference within +-16065.
inline U16x8 MixWide16(U16x8 d, U16x8 c, U16x8 w) {
  const U16x8 wh = w >> 8, wl = w & 0xffu;
  const U16x8 x = (d << 8) + c * wh - d * wh;
  const I16x8 diff = reinterpret_cast<I16x8>(c * wl - d * wl);
  return (x + reinterpret_cast<U16x8>(diff >> 8)) >> 8;
}

// Modes 0 and 1 with an alpha source and no blend image: eight pixels at a
// time in 16-bit lanes (mode 0: d + (c - d) * A / 256 stays below 2^16;
// mode 1: the weight A * P through MixWide16), the rest of the row one by
// one; the same pixels as BlitStandardRows.
template <int Mode, bool White, AlphaUse AU>
void BlitAlphaMixRows16(const PlainBlitJob& j, const PixelContext<D>& ctx) {
  const PixelContext<D> c = ctx;
  const U16x8 bright_r = U16x8{} + static_cast<uint16_t>(c.params.bright_r);
  const U16x8 bright_g = U16x8{} + static_cast<uint16_t>(c.params.bright_g);
  const U16x8 bright_b = U16x8{} + static_cast<uint16_t>(c.params.bright_b);
  const U16x8 p = U16x8{} + static_cast<uint16_t>(c.params.p);
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const int32_t w = j.width;
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
    for (; x + 8 <= w; x += 8) {
      U16x8 d;
      U32x8 sw;
      std::memcpy(&d, dst + 2 * x, 16);
      std::memcpy(&sw, src + 4 * x, 32);
      const U16x8 s = __builtin_convertvector(sw & 0xffffu, U16x8);
      const U16x8 a = __builtin_convertvector((sw >> 16) & 0xffu, U16x8);
      const U16x8 dr = d >> 11, dg = (d >> 5) & 63u, db = d & 31u;
      U16x8 cr = s >> 11, cg = (s >> 5) & 63u, cb = s & 31u;
      if constexpr (!White) {
        const U16x8 xr = bright_r * cr, xg = bright_g * cg, xb = bright_b * cb;
        cr = (xr + 1 + (xr >> 8)) >> 8;
        cg = (xg + 1 + (xg >> 8)) >> 8;
        cb = (xb + 1 + (xb >> 8)) >> 8;
      }
      U16x8 r, plain;
      if constexpr (Mode == 0) {
        const U16x8 mr = ((dr << 8) + cr * a - dr * a) >> 8;
        const U16x8 mg = ((dg << 8) + cg * a - dg * a) >> 8;
        const U16x8 mb = ((db << 8) + cb * a - db * a) >> 8;
        r = (mr << 11) | (mg << 5) | mb;
        plain = (cr << 11) | (cg << 5) | cb;
      } else {
        const U16x8 wt = a * p;  // A * P <= 65025
        r = (MixWide16(dr, cr, wt) << 11) | (MixWide16(dg, cg, wt) << 5) | MixWide16(db, cb, wt);
        if constexpr (AU != AlphaUse::kWeight) {
          // A = 255: the signed mix by P, d + trunc(P * (c - d) / 255).
          const auto signed_mix = [&](U16x8 dk, U16x8 ck) {
            const U16x8 up = reinterpret_cast<U16x8>(ck >= dk);
            const U16x8 mag = ((ck - dk) & up) | ((dk - ck) & ~up);
            const U16x8 x = mag * p;
            const U16x8 q = (x + 1 + (x >> 8)) >> 8;
            return ((dk + q) & up) | ((dk - q) & ~up);
          };
          plain = (signed_mix(dr, cr) << 11) | (signed_mix(dg, cg) << 5) | signed_mix(db, cb);
        }
      }
      if constexpr (AU != AlphaUse::kWeight) {
        const U16x8 full = reinterpret_cast<U16x8>(a == 255);
        r = (plain & full) | (r & ~full);
        if constexpr (AU == AlphaUse::kGated) {
          const U16x8 none = reinterpret_cast<U16x8>(a == 0);
          r = (d & none) | (r & ~none);
        }
      }
      std::memcpy(dst + 2 * x, &r, 16);
    }
    for (; x < w; ++x) {
      uint8_t* dp = dst + 2 * x;
      Store16(dp, BlendSourcePixel<D, SourceForm::kAlpha, StandardOp<Mode, White>, false,
                                   AU != AlphaUse::kWeight, AU>(Load16(dp), src + 4 * x, 0, c));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

// Modes 2 and 3 with an alpha source and no blend image: eight pixels at a
// time through the SSE2 lane helper, the rest of the row one by one; the
// same pixels as BlitStandardRows.
template <int Mode, bool White, AlphaUse AU>
void BlitAlphaAddRows16(const PlainBlitJob& j, const PixelContext<D>& ctx) {
  static_assert(Mode == 2 || Mode == 3);
  const PixelContext<D> c = ctx;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const int32_t w = j.width;
#if SOFTRENDER_HAVE_SSE2
  const AlphaSource16Lanes lanes = MakeAlphaSource16Lanes(c.params.p, c.params.bright_r,
                                                          c.params.bright_g, c.params.bright_b);
#endif
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
#if SOFTRENDER_HAVE_SSE2
    for (; x + 8 <= w; x += 8) {
      const __m128i d = sse2::Load(dst + 2 * x);
      const __m128i r = BlendAlphaSource16x8<Mode, White, AU == AlphaUse::kGated>(
          d, sse2::Load(src + 4 * x), sse2::Load(src + 4 * x + 16), lanes);
      sse2::Store(dst + 2 * x, r);
    }
#endif
    for (; x < w; ++x) {
      uint8_t* dp = dst + 2 * x;
      Store16(dp, BlendSourcePixel<D, SourceForm::kAlpha, StandardOp<Mode, White>, false, true, AU>(
                      Load16(dp), src + 4 * x, 0, c));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

// Modes 2 and 3 at P = 255 with a white draw-bright colour and no weights:
// pairs from the left edge of the clipped rectangle through the pair form; the
// last pixel of an odd row, and the drawn pixel of a pair whose other pixel is
// transparent, through the single form without the put-back lowest bits.
template <SourceForm F, bool Add, bool Trans>
void BlitPairRows16(const PlainBlitJob& j, const PixelContext<D>& c) {
  constexpr int kSrcBytes = D::SourceBytes(F);
  const auto colour = [&](const uint8_t* sp) -> uint32_t {
    if constexpr (F == SourceForm::kPalette) return c.palette[*sp];
    return Load16(sp);
  };
  const auto transparent = [&](const uint8_t* sp) -> bool {
    if constexpr (!Trans) return false;
    if constexpr (F == SourceForm::kPalette) return *sp == c.trans_color;
    return Load16(sp) == c.trans_color;
  };
  const auto lone = [](uint32_t d, uint32_t s) -> uint32_t {
    return Add ? SaturatingAdd16Lone(d, s) : SaturatingSubtract16(d, s);
  };
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const int32_t w = j.width;
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
    for (; x + 1 < w; x += 2) {
      uint8_t* dp = dst + x * 2;
      const uint8_t* sp = src + x * kSrcBytes;
      const bool t0 = transparent(sp), t1 = transparent(sp + kSrcBytes);
      if (t0 || t1) {
        if (!t0) Store16(dp, lone(Load16(dp), colour(sp)));
        if (!t1) Store16(dp + 2, lone(Load16(dp + 2), colour(sp + kSrcBytes)));
        continue;
      }
      const uint32_t d = Load16(dp) | (Load16(dp + 2) << 16);
      const uint32_t v = colour(sp) | (colour(sp + kSrcBytes) << 16);
      const uint32_t r = Add ? SaturatingAdd16Pair(d, v) : SaturatingSubtract16Pair(d, v);
      Store16(dp, r);
      Store16(dp + 2, r >> 16);
    }
    if (x < w) {
      uint8_t* dp = dst + x * 2;
      const uint8_t* sp = src + x * kSrcBytes;
      if (!transparent(sp)) Store16(dp, lone(Load16(dp), colour(sp)));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

template <SourceForm F, int Mode, bool Weighted, bool White, bool Trans>
void General16(const PlainBlitJob& j, const PixelContext<D>& c) {
  // Short cuts: no blend image, white draw-bright colour, no alpha source.
  if constexpr (!Weighted && White && F != SourceForm::kAlpha) {
    if constexpr (Mode == 0 && F == SourceForm::kDirect && !Trans) {
      BlitCopyRows<D>(j);
      return;
    } else if constexpr (Mode == 1) {
      if (j.p == 128) {
        BlitStandardRows<D, F, HalfMixOp, false, Trans, AlphaUse::kNone>(j, c);
      } else {
        BlitStandardRows<D, F, SixBitMixOp, false, Trans, AlphaUse::kNone>(j, c);
      }
      return;
    } else if constexpr (Mode == 2 || Mode == 3) {
      if (j.p == 255) {
        BlitPairRows16<F, Mode == 2, Trans>(j, c);
        return;
      }
    }
  }
  // An alpha source with a white colour, no blend image and the flag off in
  // mode 0 has its colour copied and its alpha unused (kNone).
  constexpr AlphaUse kAlpha = F != SourceForm::kAlpha                  ? AlphaUse::kNone
                              : !Trans && Mode == 0 && White && !Weighted ? AlphaUse::kNone
                              : !Trans                                   ? AlphaUse::kWeight
                              : Mode == 4                                ? AlphaUse::kGatedNoSkip
                                                                         : AlphaUse::kGated;
  // The portable path is the one-pixel loop.
  const bool vector = ActiveSimdPath() != SimdPath::kPortable;
  if constexpr (F == SourceForm::kAlpha && Mode <= 1 && !Weighted && kAlpha != AlphaUse::kNone) {
    if (vector) {
      BlitAlphaMixRows16<Mode, White, kAlpha>(j, c);
    } else {
      BlitStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
    }
  } else if constexpr (F == SourceForm::kAlpha && (Mode == 2 || Mode == 3) && !Weighted &&
                       (kAlpha == AlphaUse::kWeight || kAlpha == AlphaUse::kGated)) {
    if (vector && SOFTRENDER_HAVE_SSE2) {
      BlitAlphaAddRows16<Mode, White, kAlpha>(j, c);
    } else {
      BlitStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
    }
  } else {
    BlitStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
  }
}

}  // namespace

void RunPlainBlit16(const PlainBlitJob& j, const PixelContext<D>& c) {
  DispatchPlainBlit(j, c, [&](auto form, auto mode, auto weighted, auto white, auto trans) {
    General16<form(), mode(), weighted(), white(), trans()>(j, c);
  });
}

}  // namespace softrender
