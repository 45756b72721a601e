// Pixel operators of the software renderer for 32-bit pixels (colour kind 1).
//
// A pixel is a little-endian uint32: byte 0 blue, 1 green, 2 red, 3 the fourth
// byte (alpha of an alpha source). Channel values are 0-255. The packed add
// and subtract treat the three channels at once with guard bits, at the price
// of the lowest bits of green and red; the byte-wise forms saturate every byte
// exactly. Weighted mixes and multiplies divide by 2^8, 2^16 or 2^24 with an
// exact unsigned 32-bit intermediate; division by 255 is ProductTable's
// floor(i * j / 255), computed here arithmetically (Div255), which gives the
// table's values for every product of two bytes.
//
// BlendOp32<Mode, White, N> is the per-pixel operator policy shared by the
// blits, fills, lines and triangles: Mode 0-4 (mode 1 at blend value 255 is
// passed as mode 0), White = the draw-bright colour is white, N = number of
// weights (0, 1 or 2) whose product W is passed at run time.
#pragma once

#include <cstdint>

// Per-pixel operators must be inlined into their loops, or the loops cannot
// vectorise; the compiler's own heuristics give up in the large dispatch units.
#if defined(__GNUC__)
#define SOFTRENDER_INLINE inline __attribute__((always_inline))
#else
#define SOFTRENDER_INLINE inline
#endif

namespace softrender {

// floor(x / 255) for 0 <= x <= 255 * 255.
inline constexpr uint32_t Div255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

// The same for a product of two bytes, kept in 16 bits (every intermediate
// fits), which lets the compiler use 16-bit vector lanes.
inline constexpr uint16_t MulDiv255(uint16_t a, uint16_t b) {
  const uint16_t x = static_cast<uint16_t>(a * b);
  return static_cast<uint16_t>(static_cast<uint16_t>(x + 1 + (x >> 8)) >> 8);
}

// floor((d * 256 + (c - d) * w) / 256) for bytes d, c and w <= 256; the true
// value lies in [0, 65536), so wrapping 16-bit arithmetic gives it exactly.
inline constexpr uint16_t Mix8(uint16_t d, uint16_t c, uint16_t w) {
  const uint16_t x = static_cast<uint16_t>(static_cast<uint16_t>(d << 8) + static_cast<uint16_t>(c * w) -
                                           static_cast<uint16_t>(d * w));
  return static_cast<uint16_t>(x >> 8);
}

// Full packed add: channel-wise add with guard-bit saturation; the lowest
// bits of green and red of either operand are put back; the fourth byte
// becomes the carry out of red.
inline constexpr uint32_t SaturatingAdd(uint32_t d, uint32_t v) {
  const uint32_t s = (d & 0xfefeffu) + (v & 0xfefeffu);
  const uint32_t c = s & 0x1010100u;
  const uint32_t m = c - (c >> 8);
  const uint32_t l = (d | v) & 0x10100u;
  return s | m | l;
}

// Short form: as SaturatingAdd without putting the lowest bits back.
inline constexpr uint32_t SaturatingAddShort(uint32_t d, uint32_t v) {
  const uint32_t s = (d & 0xfefeffu) + (v & 0xfefeffu);
  const uint32_t c = s & 0x1010100u;
  return s | (c - (c >> 8));
}

// Packed subtract with guard bits; the fourth byte becomes 0.
inline constexpr uint32_t SaturatingSubtract(uint32_t d, uint32_t v) {
  const uint32_t dd = (d | 0x1010100u) - (v & 0xfefefeffu);
  const uint32_t g = dd & 0x1010100u;
  return dd & (g - (g >> 8));
}

// Byte-wise forms: each of the four bytes saturates by itself.
inline constexpr uint32_t SaturatingAddBytes(uint32_t d, uint32_t v) {
  uint32_t r = 0;
  for (int k = 0; k < 32; k += 8) {
    uint32_t x = ((d >> k) & 0xffu) + ((v >> k) & 0xffu);
    r |= (x > 0xffu ? 0xffu : x) << k;
  }
  return r;
}
inline constexpr uint32_t SaturatingSubtractBytes(uint32_t d, uint32_t v) {
  uint32_t r = 0;
  for (int k = 0; k < 32; k += 8) {
    uint32_t a = (d >> k) & 0xffu, b = (v >> k) & 0xffu;
    r |= (a > b ? a - b : 0u) << k;
  }
  return r;
}

// Half mix: each channel floor(s / 2) + floor(d / 2), fourth byte 0.
inline constexpr uint32_t HalfMix32(uint32_t d, uint32_t s) {
  return ((s >> 1) & 0x7f7f7fu) + ((d >> 1) & 0x7f7f7fu);
}

// Per-call values the operators read: the blend value and the draw-bright
// bytes (blue, green, red).
struct BlendParams32 {
  uint32_t p = 0;
  uint32_t bright_b = 255, bright_g = 255, bright_r = 255;
};

// floor((d * 2^shift + (c - d) * w) / 2^shift) in wrapping unsigned 32-bit
// arithmetic; exact because the true value lies in [0, 2^32).
inline constexpr uint32_t WeightedMixChannel(uint32_t d, uint32_t c, uint32_t w, int shift) {
  return (((d << shift) + (c - d) * w) >> shift) & 0xffu;
}

template <int Mode, bool White, int N>
SOFTRENDER_INLINE uint32_t BlendOp32(uint32_t d, uint32_t s, uint32_t w, const BlendParams32& bp) {
  static_assert(Mode >= 0 && Mode <= 4 && N >= 0 && N <= 2);
  uint32_t cb = s & 0xffu, cg = (s >> 8) & 0xffu, cr = (s >> 16) & 0xffu;
  if constexpr (!White) {
    cb = MulDiv255(static_cast<uint16_t>(bp.bright_b), static_cast<uint16_t>(cb));
    cg = MulDiv255(static_cast<uint16_t>(bp.bright_g), static_cast<uint16_t>(cg));
    cr = MulDiv255(static_cast<uint16_t>(bp.bright_r), static_cast<uint16_t>(cr));
  }
  const uint32_t db = d & 0xffu, dg = (d >> 8) & 0xffu, dr = (d >> 16) & 0xffu;
  if constexpr (Mode == 0 && N == 0) {
    if constexpr (White) return s;
    return (d & 0xff000000u) | (cr << 16) | (cg << 8) | cb;
  } else if constexpr ((Mode == 1 && N == 0) || (Mode == 0 && N == 1)) {
    // One factor of at most 255: the mix stays within 16 bits.
    const uint16_t wt = static_cast<uint16_t>(Mode == 1 ? bp.p : w);
    return (d & 0xff000000u) | (uint32_t(Mix8(uint16_t(dr), uint16_t(cr), wt)) << 16) |
           (uint32_t(Mix8(uint16_t(dg), uint16_t(cg), wt)) << 8) |
           uint32_t(Mix8(uint16_t(db), uint16_t(cb), wt));
  } else if constexpr (Mode == 0 || Mode == 1) {
    uint32_t wt = w;
    int shift = 8 * N;
    if constexpr (Mode == 1) {
      wt = (N == 0 ? 1u : w) * bp.p;
      shift = 8 * (N + 1);
    }
    return (d & 0xff000000u) | (WeightedMixChannel(dr, cr, wt, shift) << 16) |
           (WeightedMixChannel(dg, cg, wt, shift) << 8) | WeightedMixChannel(db, cb, wt, shift);
  } else if constexpr (Mode == 2 || Mode == 3) {
    uint32_t vb, vg, vr;
    if constexpr (N == 0) {
      const uint16_t p = static_cast<uint16_t>(bp.p);
      vb = MulDiv255(p, uint16_t(cb));
      vg = MulDiv255(p, uint16_t(cg));
      vr = MulDiv255(p, uint16_t(cr));
    } else {
      const uint32_t wp = w * bp.p;
      const int shift = 8 * (N + 1);
      vb = ((cb * wp) >> shift) & 0xffu;
      vg = ((cg * wp) >> shift) & 0xffu;
      vr = ((cr * wp) >> shift) & 0xffu;
    }
    const uint32_t v = (vr << 16) | (vg << 8) | vb;
    if constexpr (Mode == 2) return SaturatingAdd(d, v);
    return SaturatingSubtract(d, v);
  } else {  // Mode 4: multiply, divided by 256 per factor.
    if constexpr (N == 0) {
      const auto mul = [](uint32_t a, uint32_t b) {
        return uint32_t(static_cast<uint16_t>(static_cast<uint16_t>(a * b) >> 8));
      };
      return (d & 0xff000000u) | (mul(dr, cr) << 16) | (mul(dg, cg) << 8) | mul(db, cb);
    } else {
      const int shift = 8 * (N + 1);
      return (d & 0xff000000u) | ((((dr * cr * w) >> shift) & 0xffu) << 16) |
             ((((dg * cg * w) >> shift) & 0xffu) << 8) | (((db * cb * w) >> shift) & 0xffu);
    }
  }
}

}  // namespace softrender
