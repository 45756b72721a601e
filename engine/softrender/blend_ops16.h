// Pixel operators of the software renderer for 16-bit pixels (colour kind 0,
// 5-6-5: red bits 15-11, green 10-5, blue 4-0).
//
// Channel values are 0-31 for red and blue and 0-63 for green; no operator
// widens or narrows a channel. The packed add and subtract hold a pixel
// zero-extended in a uint32 (or two pixels in one uint32, the pixel at the
// lower address in the low half: the pair forms) and saturate with guard bits
// in the lowest bits of green and red, at the price of those bits. Division
// by 255 (ProductTable, DiffTable) and by 63 (MixTable) is exact integer
// arithmetic here, equal to the tables for every index they are read with.
//
// BlendOp16<Mode, White, N, AlphaFirst> is the per-pixel operator policy
// shared by the blits, fills, lines and triangles: Mode 0-4 (mode 1 at blend
// value 255 is passed as mode 0), White = the draw-bright colour is white,
// N = number of weights whose product W is passed at run time; AlphaFirst
// marks the one combination that weights before tinting (an alpha weight
// alone, modes 2 and 3, tinted).
#pragma once

#include <cstdint>

#include "engine/softrender/blend_ops32.h"

namespace softrender {

inline constexpr uint32_t Red16(uint32_t x) { return (x >> 11) & 31u; }
inline constexpr uint32_t Green16(uint32_t x) { return (x >> 5) & 63u; }
inline constexpr uint32_t Blue16(uint32_t x) { return x & 31u; }
inline constexpr uint32_t Pack16(uint32_t r, uint32_t g, uint32_t b) {
  return (r << 11) | (g << 5) | b;
}

// floor(x / 63) for 0 <= x <= 63 * 63.
inline constexpr uint32_t Div63(uint32_t x) { return (x * 2081u) >> 17; }

inline constexpr uint32_t SaturatingAdd16(uint32_t d, uint32_t v) {
  const uint32_t s = (d & 0xf7def7dfu) + (v & 0xf7def7dfu);
  const uint32_t c = s & 0x8210820u;
  const uint32_t m = c - (c >> 5);
  const uint32_t l = (d | v) & 0x820u;
  return (s | m | l) & 0xffffu;
}

// A pixel taken by itself in a loop that uses the pair form: no put-back of
// the lowest bits.
inline constexpr uint32_t SaturatingAdd16Lone(uint32_t d, uint32_t v) {
  const uint32_t s = (d & 0xf7def7dfu) + (v & 0xf7def7dfu);
  const uint32_t c = s & 0x8210820u;
  return (s | (c - (c >> 5))) & 0xffffu;
}

// Two pixels in one word; the carry out of the first pixel's red lands in
// the second pixel's lowest blue bit.
inline constexpr uint32_t SaturatingAdd16Pair(uint32_t d, uint32_t v) {
  const uint64_t s = uint64_t(d & 0xf7def7dfu) + uint64_t(v & 0xf7def7dfu);
  const uint32_t k = uint32_t(s >> 32);
  const uint32_t c = uint32_t(s) & 0x8210820u;
  const uint32_t m = c - ((c >> 5) | (k << 27));
  return uint32_t(s) | m;
}

inline constexpr uint32_t SaturatingSubtract16(uint32_t d, uint32_t v) {
  const uint32_t dd = (d | 0x8210820u) - (v & 0xf7def7dfu);
  const uint32_t g = dd & 0x8210820u;
  return (dd & (g - (g >> 5))) & 0xffffu;
}

inline constexpr uint32_t SaturatingSubtract16Pair(uint32_t d, uint32_t v) {
  const uint32_t a = d | 0x8210820u, b = v & 0xf7def7dfu;
  const uint32_t dd = a - b;
  const uint32_t f = a < b ? 0u : 0xf8000000u;  // borrow out of bit 31 clears the top guard
  const uint32_t g = dd & 0x8210820u;
  return dd & ((g - (g >> 5)) | f);
}

inline constexpr uint32_t HalfMix16(uint32_t d, uint32_t s) {
  return ((s >> 1) & 0x7befu) + ((d >> 1) & 0x7befu);
}
inline constexpr uint32_t HalfMix16Pair(uint32_t d, uint32_t s) {
  return ((s >> 1) & 0x7bef7befu) + ((d >> 1) & 0x7bef7befu);
}

// Six-bit mix by the weight k = P / 4: MixTable[k][s_k][d_k] per channel,
// red and blue with their 5-bit values as they are.
inline constexpr uint32_t Mix6Channel(uint32_t s, uint32_t d, uint32_t k) {
  return Div63(s * k + d * (63u - k));
}
inline constexpr uint32_t SixBitMix16(uint32_t d, uint32_t s, uint32_t k) {
  return Pack16(Mix6Channel(Red16(s), Red16(d), k), Mix6Channel(Green16(s), Green16(d), k),
                Mix6Channel(Blue16(s), Blue16(d), k));
}

// d + trunc(p * (c - d) / 255): the signed mix, rounded toward zero.
inline constexpr uint32_t SignedMixChannel(uint32_t d, uint32_t c, uint32_t p) {
  return c >= d ? d + Div255(p * (c - d)) : d - Div255(p * (d - c));
}

struct BlendParams16 {
  uint32_t p = 0;
  uint32_t bright_r = 255, bright_g = 255, bright_b = 255;
};

template <int Mode, bool White, int N, bool AlphaFirst = false>
SOFTRENDER_INLINE uint32_t BlendOp16(uint32_t d, uint32_t s, uint32_t w, const BlendParams16& bp) {
  static_assert(Mode >= 0 && Mode <= 4 && N >= 0 && N <= 2);
  uint32_t cr = Red16(s), cg = Green16(s), cb = Blue16(s);
  const uint32_t dr = Red16(d), dg = Green16(d), db = Blue16(d);
  constexpr bool kWeightFirst = AlphaFirst && !White && N == 1 && (Mode == 2 || Mode == 3);
  if constexpr (!White && !kWeightFirst) {
    cr = Div255(bp.bright_r * cr);
    cg = Div255(bp.bright_g * cg);
    cb = Div255(bp.bright_b * cb);
  }
  if constexpr (Mode == 0 && N == 0) {
    return Pack16(cr, cg, cb);
  } else if constexpr (Mode == 0 || (Mode == 1 && N > 0)) {
    const uint32_t wt = Mode == 1 ? w * bp.p : w;
    const int shift = Mode == 1 ? 8 * (N + 1) : 8 * N;
    return Pack16(WeightedMixChannel(dr, cr, wt, shift), WeightedMixChannel(dg, cg, wt, shift),
                  WeightedMixChannel(db, cb, wt, shift));
  } else if constexpr (Mode == 1) {
    return Pack16(SignedMixChannel(dr, cr, bp.p), SignedMixChannel(dg, cg, bp.p),
                  SignedMixChannel(db, cb, bp.p));
  } else if constexpr (Mode == 2 || Mode == 3) {
    uint32_t vr = cr, vg = cg, vb = cb;
    if constexpr (N > 0) {
      vr = (vr * w) >> (8 * N);
      vg = (vg * w) >> (8 * N);
      vb = (vb * w) >> (8 * N);
    }
    if constexpr (kWeightFirst) {
      vr = Div255(bp.bright_r * vr);
      vg = Div255(bp.bright_g * vg);
      vb = Div255(bp.bright_b * vb);
    }
    const uint32_t v = Pack16(Div255(bp.p * vr), Div255(bp.p * vg), Div255(bp.p * vb));
    if constexpr (Mode == 2) return SaturatingAdd16(d, v);
    return SaturatingSubtract16(d, v);
  } else {  // Mode 4: field multiply, divided by 2^width per factor.
    if constexpr (N == 0) {
      return Pack16((dr * cr) >> 5, (dg * cg) >> 6, (db * cb) >> 5);
    } else {
      return Pack16((dr * cr * w) >> (5 + 8 * N), (dg * cg * w) >> (6 + 8 * N),
                    (db * cb * w) >> (5 + 8 * N));
    }
  }
}

}  // namespace softrender
