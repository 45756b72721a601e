// The 32-bit blend operators on four pixels at once, for the row loops'
// main part. Each function gives, pixel for pixel, exactly the result of its
// one-pixel operator in blend_ops32.h (the tests hold them to it); they are
// written with the compiler's generic vector types (GCC and Clang) so that
// the byte channels are computed in 16-bit lanes side by side, where every
// intermediate value fits.
//
// Lanes: 16 bytes = 4 pixels, byte order blue, green, red, fourth byte.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/softrender/blend_ops32.h"

namespace softrender {

typedef uint8_t U8x16 __attribute__((vector_size(16)));
typedef int8_t I8x16 __attribute__((vector_size(16)));
typedef uint16_t U16x8 __attribute__((vector_size(16)));
typedef int16_t I16x8 __attribute__((vector_size(16)));
typedef uint16_t U16x16 __attribute__((vector_size(32)));
typedef uint32_t U32x4 __attribute__((vector_size(16)));
typedef int32_t I32x4 __attribute__((vector_size(16)));
typedef uint32_t U32x16 __attribute__((vector_size(64)));

template <class To, class From>
SOFTRENDER_INLINE To BitCast(From v) {
  static_assert(sizeof(To) == sizeof(From));
  To r;
  std::memcpy(&r, &v, sizeof r);
  return r;
}

SOFTRENDER_INLINE U8x16 LoadU8x16(const uint8_t* p) {
  U8x16 v;
  std::memcpy(&v, p, 16);
  return v;
}
SOFTRENDER_INLINE void StoreU8x16(uint8_t* p, U8x16 v) { std::memcpy(p, &v, 16); }

// Bytes of a where mask is all ones, else of b.
SOFTRENDER_INLINE U8x16 Select(U8x16 mask, U8x16 a, U8x16 b) { return (a & mask) | (b & ~mask); }

// A per-pixel mask (all ones or zero per 32-bit lane) as byte lanes.
SOFTRENDER_INLINE U8x16 PixelMask(I32x4 m) { return BitCast<U8x16>(m); }

// Lane values fixed for one call.
struct VecParams32 {
  U16x16 p16;       // P in every lane
  U16x16 bright16;  // draw-bright byte of the lane's channel (255 in the fourth)
  U32x16 p32;
  U32x16 bright32;
  U8x16 colour;     // 0xff in the three colour bytes, 0 in the fourth
  // The same per two pixels (eight 16-bit lanes), for the register-wide
  // operators below.
  U16x8 p8;
  U16x8 bright8;
  // Weights of the gated alpha source at full alpha, as the differences
  // (modulo 2^16) of their halves w >> 8 and w & 255 from those of 255 * P.
  // Mode 1: w = 256 * P. Modes 2 and 3: w = ceil(P * 2^16 / 255) (up to
  // 2^16), for which floor(c * w / 2^16) = floor(c * P / 255) for every byte c.
  U16x8 mix_full_dh8;
  U16x8 add_full_dh8;
  U16x8 add_full_dl8;
};

// The modes 2 and 3 weight at full alpha (see VecParams32), 0 to 65536.
inline constexpr uint32_t FullAlphaAddWeight(uint32_t p) { return (p * 65536u + 254u) / 255u; }

inline VecParams32 MakeVecParams32(const BlendParams32& bp) {
  VecParams32 v;
  for (int i = 0; i < 16; ++i) {
    const int k = i & 3;
    const uint32_t bright = k == 0 ? bp.bright_b : k == 1 ? bp.bright_g : k == 2 ? bp.bright_r : 255u;
    v.p16[i] = static_cast<uint16_t>(bp.p);
    v.bright16[i] = static_cast<uint16_t>(bright);
    v.p32[i] = bp.p;
    v.bright32[i] = bright;
    v.colour[i] = k == 3 ? 0 : 0xff;
  }
  const uint32_t w255 = 255u * bp.p, add_w = FullAlphaAddWeight(bp.p);
  for (int i = 0; i < 8; ++i) {
    v.p8[i] = v.p16[i];
    v.bright8[i] = v.bright16[i];
    v.mix_full_dh8[i] = static_cast<uint16_t>(bp.p - (w255 >> 8));
    v.add_full_dh8[i] = static_cast<uint16_t>((add_w >> 8) - (w255 >> 8));
    v.add_full_dl8[i] = static_cast<uint16_t>((add_w & 0xffu) - (w255 & 0xffu));
  }
  return v;
}

template <class V>
SOFTRENDER_INLINE V SaturatingAddV(V d, V v) {
  const V s = (d & 0xfefeffu) + (v & 0xfefeffu);
  const V c = s & 0x1010100u;
  return s | (c - (c >> 8)) | ((d | v) & 0x10100u);
}
template <class V>
SOFTRENDER_INLINE V SaturatingAddShortV(V d, V v) {
  const V s = (d & 0xfefeffu) + (v & 0xfefeffu);
  const V c = s & 0x1010100u;
  return s | (c - (c >> 8));
}
template <class V>
SOFTRENDER_INLINE V SaturatingSubtractV(V d, V v) {
  const V dd = (d | 0x1010100u) - (v & 0xfefefeffu);
  const V g = dd & 0x1010100u;
  return dd & (g - (g >> 8));
}
SOFTRENDER_INLINE U8x16 SaturatingAddBytesV(U8x16 d, U8x16 v) {
  const U8x16 r = d + v;
  return r | BitCast<U8x16>(r < d);
}
SOFTRENDER_INLINE U8x16 SaturatingSubtractBytesV(U8x16 d, U8x16 v) {
  return (d - v) & BitCast<U8x16>(d > v);
}
SOFTRENDER_INLINE U8x16 HalfMix32V(U8x16 d, U8x16 s) {
  const U32x4 a = BitCast<U32x4>(s), b = BitCast<U32x4>(d);
  return BitCast<U8x16>(((a >> 1) & 0x7f7f7fu) + ((b >> 1) & 0x7f7f7fu));
}

// Modes 2 and 3 on whole pixels: v holds the amounts in its colour bytes.
template <int Mode>
SOFTRENDER_INLINE U8x16 AddOrSubtract32x4(U8x16 d8, U8x16 v8) {
  const U32x4 d = BitCast<U32x4>(d8), v = BitCast<U32x4>(v8);
  if constexpr (Mode == 2) return BitCast<U8x16>(SaturatingAddV(d, v));
  return BitCast<U8x16>(SaturatingSubtractV(d, v));
}

// BlendOp32<Mode, White, 0> on four pixels.
template <int Mode, bool White>
SOFTRENDER_INLINE U8x16 BlendPlain32x4(U8x16 d8, U8x16 s8, const VecParams32& v) {
  if constexpr (Mode == 0 && White) {
    return s8;
  } else {
    const U16x16 d = __builtin_convertvector(d8, U16x16);
    const U16x16 s = __builtin_convertvector(s8, U16x16);
    // floor(x / 255) of a product of two bytes: (x + 1 + (x >> 8)) >> 8.
    U16x16 c = s;
    if constexpr (!White) {
      const U16x16 x = v.bright16 * s;
      c = (x + 1 + (x >> 8)) >> 8;
    }
    U16x16 r;
    if constexpr (Mode == 0) {
      r = c;
    } else if constexpr (Mode == 1) {
      r = ((d << 8) + c * v.p16 - d * v.p16) >> 8;
    } else if constexpr (Mode == 2 || Mode == 3) {
      const U16x16 x = v.p16 * c;
      const U16x16 amount = (x + 1 + (x >> 8)) >> 8;
      return AddOrSubtract32x4<Mode>(d8, __builtin_convertvector(amount, U8x16));
    } else {
      r = (d * c) >> 8;
    }
    return Select(v.colour, __builtin_convertvector(r, U8x16), d8);
  }
}

// Each pixel's fourth byte repeated into its four bytes (shifts only, which
// every x86-64 processor has in vector form).
SOFTRENDER_INLINE U8x16 BroadcastAlpha(U8x16 s8) {
  U32x4 a = BitCast<U32x4>(s8) >> 24;
  a |= a << 8;
  a |= a << 16;
  return BitCast<U8x16>(a);
}

// BlendOp32<0, White, 1> with each pixel's own alpha (byte 3) as the
// weight: a mix by a factor of at most 255, which stays within 16 bits.
template <bool White>
SOFTRENDER_INLINE U8x16 BlendAlphaMix32x4(U8x16 d8, U8x16 s8, const VecParams32& v) {
  const U16x16 d = __builtin_convertvector(d8, U16x16);
  const U16x16 s = __builtin_convertvector(s8, U16x16);
  const U16x16 a = __builtin_convertvector(BroadcastAlpha(s8), U16x16);
  U16x16 c = s;
  if constexpr (!White) {
    const U16x16 x = v.bright16 * s;
    c = (x + 1 + (x >> 8)) >> 8;
  }
  const U16x16 r = ((d << 8) + c * a - d * a) >> 8;
  return Select(v.colour, __builtin_convertvector(r, U8x16), d8);
}

// floor((d * 2^16 + (c - d) * w) / 2^16) for bytes d, c and a weight
// w <= 65025, in 16-bit lanes: with w = 256 * wh + wl it equals
// floor((x + floor((c * wl - d * wl) / 256)) / 256), x = 256 * d + (c - d) * wh,
// and every partial value lies in 0..65535 (wrapping arithmetic is exact).
SOFTRENDER_INLINE void MixWide16(const U16x16& d, const U16x16& c, const U16x16& w, U16x16* out) {
  typedef int16_t I16x16 __attribute__((vector_size(32)));
  const U16x16 wh = w >> 8, wl = w & 0xffu;
  const U16x16 x = (d << 8) + c * wh - d * wh;
  const U16x16 cl = c * wl, dl = d * wl;
  // Both low bytes are below 256, so a signed comparison orders them.
  const I16x16 lo_c = (I16x16)(cl & 0xffu), lo_d = (I16x16)(dl & 0xffu);
  const U16x16 borrow = (U16x16)(lo_c < lo_d) & 1u;
  *out = (x + (cl >> 8) - (dl >> 8) - borrow) >> 8;
}

// BlendOp32<Mode, White, 1> for modes 0 to 3 with each pixel's own alpha
// (byte 3) as the weight, in 16-bit lanes of a two-register vector, which the
// compiler lowers lane by lane for the comparison in mode 1; the row loops
// use BlendAlphaSourcePairs32x4.
template <int Mode, bool White>
SOFTRENDER_INLINE U8x16 BlendAlphaSource32x4(U8x16 d8, U8x16 s8, const VecParams32& v) {
  static_assert(Mode >= 0 && Mode <= 3);
  if constexpr (Mode == 0) {
    return BlendAlphaMix32x4<White>(d8, s8, v);
  } else {
    const U16x16 d = __builtin_convertvector(d8, U16x16);
    const U16x16 s = __builtin_convertvector(s8, U16x16);
    const U16x16 a = __builtin_convertvector(BroadcastAlpha(s8), U16x16);
    U16x16 c = s;
    if constexpr (!White) {
      const U16x16 x = v.bright16 * s;
      c = (x + 1 + (x >> 8)) >> 8;
    }
    const U16x16 w = a * v.p16;  // A * P <= 65025
    if constexpr (Mode == 1) {
      U16x16 r;
      MixWide16(d, c, w, &r);
      return Select(v.colour, __builtin_convertvector(r, U8x16), d8);
    } else {
      // floor(c * A * P / 2^16) = floor((c * wh + floor(c * wl / 256)) / 256)
      const U16x16 amount = ((c * (w >> 8)) + ((c * (w & 0xffu)) >> 8)) >> 8;
      return AddOrSubtract32x4<Mode>(d8, __builtin_convertvector(amount, U8x16));
    }
  }
}

// Bytes 0-7 or 8-15 widened to 16-bit lanes, and the low bytes of two
// 16-bit vectors back as one byte vector (lane values must be below 256).
// Written on register-wide vectors: the compiler lowers wider ones lane by
// lane for comparisons and shuffles.
SOFTRENDER_INLINE U16x8 WidenLow(U8x16 v) {
  const U8x16 z = {};
  return BitCast<U16x8>(
      __builtin_shufflevector(v, z, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23));
}
SOFTRENDER_INLINE U16x8 WidenHigh(U8x16 v) {
  const U8x16 z = {};
  return BitCast<U16x8>(
      __builtin_shufflevector(v, z, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31));
}
SOFTRENDER_INLINE U8x16 NarrowPair(U16x8 lo, U16x8 hi) {
  return __builtin_shufflevector(BitCast<U8x16>(lo), BitCast<U8x16>(hi), 0, 2, 4, 6, 8, 10, 12, 14,
                                 16, 18, 20, 22, 24, 26, 28, 30);
}

// Two pixels of BlendAlphaSourcePairs32x4 (d and s: their bytes in 16-bit
// lanes): the new channel values for modes 0 and 1, the amounts for modes 2
// and 3.
template <int Mode, bool White, bool Gated>
SOFTRENDER_INLINE U16x8 AlphaSourcePair(U16x8 d, U16x8 s, const VecParams32& v) {
  // Each pixel's fourth lane repeated into its four lanes.
  const U16x8 a = __builtin_shufflevector(s, s, 3, 3, 3, 3, 7, 7, 7, 7);
  // All ones at full alpha when gated (drawn unweighted there), else zero.
  U16x8 full = {};
  if constexpr (Gated) full = (U16x8)(a == 255u);
  U16x8 c = s;
  if constexpr (!White) {
    const U16x8 x = v.bright8 * s;
    c = (x + 1u + (x >> 8)) >> 8;
  }
  if constexpr (Mode == 0) {
    const U16x8 wt = a - full;  // 256 at full alpha
    return ((d << 8) + c * wt - d * wt) >> 8;
  } else {
    const U16x8 w = a * v.p8;  // A * P <= 65025
    // At full alpha w = 255 * P; the halves are moved to the plain weight's.
    U16x8 wh = w >> 8, wl = w & 0xffu;
    if constexpr (Mode == 1) {
      wh += full & v.mix_full_dh8;
      wl &= ~full;
      // floor((d * 2^16 + (c - d) * w) / 2^16) with w = 256 * wh + wl: as
      // floor((x + floor((c * wl - d * wl) / 256)) / 256), x = 256 * d +
      // (c - d) * wh; every partial value lies in 0..65535.
      const U16x8 x = (d << 8) + c * wh - d * wh;
      const U16x8 cl = c * wl, dl = d * wl;
      // Both low bytes are below 256, so a signed comparison orders them.
      const U16x8 borrow = (U16x8)((I16x8)(cl & 0xffu) < (I16x8)(dl & 0xffu)) & 1u;
      return (x + (cl >> 8) - (dl >> 8) - borrow) >> 8;
    } else {
      wh += full & v.add_full_dh8;
      wl += full & v.add_full_dl8;
      // floor(c * w / 2^16); c * wh <= 255 * 256 and floor(c * wl / 256)
      // <= 254, so the sum fits.
      return (c * wh + ((c * wl) >> 8)) >> 8;
    }
  }
}

// An alpha source for modes 0 to 3, two pixels per 16-bit vector. Without
// Gated: BlendOp32<Mode, White, 1> weighted by each pixel's alpha. Gated:
// alpha 0 keeps the destination, 255 draws with BlendOp32<Mode, White, 0>,
// any other alpha as without Gated; in one pass, the full-alpha pixels get
// the weight that gives the unweighted result in the weighted formula.
//   mode 0: Mix8 by a, and by 256 (= the source colour; with a white
//           draw-bright colour the whole source pixel) at a = 255;
//   mode 1: floor((d * 2^16 + (c - d) * w) / 2^16), w = A * P, and 256 * P
//           (= Mix8 by P) at a = 255;
//   modes 2, 3: amount floor(c * w / 2^16), w = A * P, and
//           ceil(P * 2^16 / 255) (= floor(c * P / 255)) at a = 255.
// Alpha 0 gives weight 0, which keeps the destination in modes 0 and 1.
template <int Mode, bool White, bool Gated>
SOFTRENDER_INLINE U8x16 BlendAlphaSourcePairs32x4(U8x16 d8, U8x16 s8, const VecParams32& v) {
  static_assert(Mode >= 0 && Mode <= 3);
  const U8x16 r = NarrowPair(AlphaSourcePair<Mode, White, Gated>(WidenLow(d8), WidenLow(s8), v),
                             AlphaSourcePair<Mode, White, Gated>(WidenHigh(d8), WidenHigh(s8), v));
  const U32x4 a = BitCast<U32x4>(s8) >> 24;
  if constexpr (!Gated && Mode >= 2) {
    return AddOrSubtract32x4<Mode>(d8, r);
  } else if constexpr (Mode == 0 && White && Gated) {
    // The white copy at full alpha takes the whole source pixel, its fourth
    // byte included (which the mix by 256 gives).
    return Select(v.colour | PixelMask(a == 255u), r, d8);
  } else if constexpr (Mode <= 1) {
    return Select(v.colour, r, d8);
  } else {
    return Select(PixelMask(a == 0u), d8, AddOrSubtract32x4<Mode>(d8, r));
  }
}

// BlendOp32<Mode, White, 1> with each pixel's own alpha (byte 3) as the
// weight, in 32-bit lanes. Exact, but without a 32-bit vector multiply (plain
// x86-64) it is slower than the scalar operator in a loop the compiler
// vectorises itself; BlendAlphaSource32x4 gives the same pixels in 16-bit
// lanes for modes 0 to 3.
template <int Mode, bool White>
SOFTRENDER_INLINE U8x16 BlendAlphaWeighted32x4(U8x16 d8, U8x16 s8, const VecParams32& v) {
  if constexpr (Mode == 0) {
    return BlendAlphaMix32x4<White>(d8, s8, v);
  } else {
    const U32x16 d = __builtin_convertvector(d8, U32x16);
    const U32x16 s = __builtin_convertvector(s8, U32x16);
    const U32x16 a = __builtin_convertvector(BroadcastAlpha(s8), U32x16);
    U32x16 c = s;
    if constexpr (!White) {
      const U32x16 x = v.bright32 * s;
      c = (x + 1 + (x >> 8)) >> 8;
    }
    U32x16 r;
    if constexpr (Mode == 1) {
      r = ((d << 16) + (c - d) * (a * v.p32)) >> 16;
    } else if constexpr (Mode == 2 || Mode == 3) {
      const U32x16 amount = ((c * a * v.p32) >> 16) & 0xffu;
      return AddOrSubtract32x4<Mode>(d8, __builtin_convertvector(amount, U8x16));
    } else {
      r = ((d * c * a) >> 16) & 0xffu;
    }
    return Select(v.colour, __builtin_convertvector(r & 0xffu, U8x16), d8);
  }
}

}  // namespace softrender
