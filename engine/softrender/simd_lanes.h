// SSE2 helpers of the 32-bit row loops: the one place in the renderer where
// processor intrinsics appear. Each helper gives, pixel for pixel, exactly
// the result of its one-pixel operator in blend_ops32.h (the differential
// tests run every path against the per-pixel reference); the portable loops
// remain for processors without SSE2 and for the tests.
//
// Lanes: 16 bytes = 4 pixels (blue, green, red, fourth byte) on SSE2, 32
// bytes = 8 pixels on AVX2; the blend arithmetic runs on pixels widened to
// 16-bit lanes, where the high multiply gives floor(x * w / 2^16) in one
// step. The 32-bit kernels are written once (simd_kernels32.inc) for both.
//
// Which path runs is chosen once per call (SimdPath): the widest the
// processor has, unless a test has lowered the limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#define SOFTRENDER_HAVE_SSE2 1
#else
#define SOFTRENDER_HAVE_SSE2 0
#endif

#include "engine/softrender/blend_ops32.h"

namespace softrender {

enum class SimdPath { kPortable = 0, kSse2 = 1, kAvx2 = 2 };

// The path the loops take: the best the processor has, at most the limit.
SimdPath ActiveSimdPath();
// Lowers (or restores) the widest path the loops may take; for tests and
// benchmarks. Returns the previous limit.
SimdPath SetSimdPathLimit(SimdPath limit);

#if SOFTRENDER_HAVE_SSE2

// The divisor of k for a division by 255 as a high multiply (see Lanes in
// simd_kernels32.inc): ceil(k * 2^16 / 255), 0 at k = 255.
inline uint16_t Div255Multiplier(uint32_t k) {
  return k >= 255 ? 0 : static_cast<uint16_t>((k * 65536u + 254u) / 255u);
}

// The same as lane words: the multiplier, and all ones at k = 255.
inline short Div255Word(uint32_t k) { return static_cast<short>(Div255Multiplier(k)); }
inline short KeepWord(uint32_t k) { return static_cast<short>(k >= 255 ? -1 : 0); }

SOFTRENDER_INLINE __m128i SelectBits(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// floor(c * k / 255) lane by lane for bytes c, given k's multiplier and
// keep mask.
SOFTRENDER_INLINE __m128i MulDiv255Lanes(__m128i c, __m128i mul, __m128i keep) {
  return _mm_or_si128(_mm_mulhi_epu16(c, mul), _mm_and_si128(c, keep));
}

namespace sse2 {

using Vec = __m128i;
inline constexpr int kPixels = 4;

SOFTRENDER_INLINE Vec Zero() { return _mm_setzero_si128(); }
SOFTRENDER_INLINE Vec Set1x16(short v) { return _mm_set1_epi16(v); }
SOFTRENDER_INLINE Vec Set1x32(int v) { return _mm_set1_epi32(v); }
SOFTRENDER_INLINE Vec Set4x16(short a, short b, short c, short d) {
  return _mm_setr_epi16(a, b, c, d, a, b, c, d);
}
SOFTRENDER_INLINE Vec Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const Vec*>(p)); }
SOFTRENDER_INLINE void Store(uint8_t* p, Vec v) { _mm_storeu_si128(reinterpret_cast<Vec*>(p), v); }
SOFTRENDER_INLINE Vec And(Vec a, Vec b) { return _mm_and_si128(a, b); }
SOFTRENDER_INLINE Vec AndNot(Vec a, Vec b) { return _mm_andnot_si128(a, b); }
SOFTRENDER_INLINE Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
SOFTRENDER_INLINE Vec Xor(Vec a, Vec b) { return _mm_xor_si128(a, b); }
SOFTRENDER_INLINE Vec Add16(Vec a, Vec b) { return _mm_add_epi16(a, b); }
SOFTRENDER_INLINE Vec Sub16(Vec a, Vec b) { return _mm_sub_epi16(a, b); }
SOFTRENDER_INLINE Vec MulLo16(Vec a, Vec b) { return _mm_mullo_epi16(a, b); }
SOFTRENDER_INLINE Vec MulHiU16(Vec a, Vec b) { return _mm_mulhi_epu16(a, b); }
SOFTRENDER_INLINE Vec CmpEq16(Vec a, Vec b) { return _mm_cmpeq_epi16(a, b); }
SOFTRENDER_INLINE Vec CmpGt16(Vec a, Vec b) { return _mm_cmpgt_epi16(a, b); }
template <int N> SOFTRENDER_INLINE Vec Srli16(Vec a) { return _mm_srli_epi16(a, N); }
template <int N> SOFTRENDER_INLINE Vec Slli16(Vec a) { return _mm_slli_epi16(a, N); }
SOFTRENDER_INLINE Vec Add32(Vec a, Vec b) { return _mm_add_epi32(a, b); }
SOFTRENDER_INLINE Vec Sub32(Vec a, Vec b) { return _mm_sub_epi32(a, b); }
SOFTRENDER_INLINE Vec CmpEq32(Vec a, Vec b) { return _mm_cmpeq_epi32(a, b); }
template <int N> SOFTRENDER_INLINE Vec Srli32(Vec a) { return _mm_srli_epi32(a, N); }
SOFTRENDER_INLINE Vec UnpackLo8(Vec a, Vec b) { return _mm_unpacklo_epi8(a, b); }
SOFTRENDER_INLINE Vec UnpackHi8(Vec a, Vec b) { return _mm_unpackhi_epi8(a, b); }
SOFTRENDER_INLINE Vec PackUS16(Vec a, Vec b) { return _mm_packus_epi16(a, b); }
// Each pixel's fourth 16-bit lane repeated into its four lanes.
SOFTRENDER_INLINE Vec BroadcastFourth16(Vec s) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xff), 0xff);
}

#include "engine/softrender/simd_kernels32.inc"

}  // namespace sse2

// The same kernels on 256-bit vectors, compiled for AVX2 and run only where
// the processor has it (SimdPath::kAvx2).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {

using Vec = __m256i;
inline constexpr int kPixels = 8;

SOFTRENDER_INLINE Vec Zero() { return _mm256_setzero_si256(); }
SOFTRENDER_INLINE Vec Set1x16(short v) { return _mm256_set1_epi16(v); }
SOFTRENDER_INLINE Vec Set1x32(int v) { return _mm256_set1_epi32(v); }
SOFTRENDER_INLINE Vec Set4x16(short a, short b, short c, short d) {
  return _mm256_setr_epi16(a, b, c, d, a, b, c, d, a, b, c, d, a, b, c, d);
}
SOFTRENDER_INLINE Vec Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const Vec*>(p));
}
SOFTRENDER_INLINE void Store(uint8_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<Vec*>(p), v); }
SOFTRENDER_INLINE Vec And(Vec a, Vec b) { return _mm256_and_si256(a, b); }
SOFTRENDER_INLINE Vec AndNot(Vec a, Vec b) { return _mm256_andnot_si256(a, b); }
SOFTRENDER_INLINE Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
SOFTRENDER_INLINE Vec Xor(Vec a, Vec b) { return _mm256_xor_si256(a, b); }
SOFTRENDER_INLINE Vec Add16(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
SOFTRENDER_INLINE Vec Sub16(Vec a, Vec b) { return _mm256_sub_epi16(a, b); }
SOFTRENDER_INLINE Vec MulLo16(Vec a, Vec b) { return _mm256_mullo_epi16(a, b); }
SOFTRENDER_INLINE Vec MulHiU16(Vec a, Vec b) { return _mm256_mulhi_epu16(a, b); }
SOFTRENDER_INLINE Vec CmpEq16(Vec a, Vec b) { return _mm256_cmpeq_epi16(a, b); }
SOFTRENDER_INLINE Vec CmpGt16(Vec a, Vec b) { return _mm256_cmpgt_epi16(a, b); }
template <int N> SOFTRENDER_INLINE Vec Srli16(Vec a) { return _mm256_srli_epi16(a, N); }
template <int N> SOFTRENDER_INLINE Vec Slli16(Vec a) { return _mm256_slli_epi16(a, N); }
SOFTRENDER_INLINE Vec Add32(Vec a, Vec b) { return _mm256_add_epi32(a, b); }
SOFTRENDER_INLINE Vec Sub32(Vec a, Vec b) { return _mm256_sub_epi32(a, b); }
SOFTRENDER_INLINE Vec CmpEq32(Vec a, Vec b) { return _mm256_cmpeq_epi32(a, b); }
template <int N> SOFTRENDER_INLINE Vec Srli32(Vec a) { return _mm256_srli_epi32(a, N); }
SOFTRENDER_INLINE Vec UnpackLo8(Vec a, Vec b) { return _mm256_unpacklo_epi8(a, b); }
SOFTRENDER_INLINE Vec UnpackHi8(Vec a, Vec b) { return _mm256_unpackhi_epi8(a, b); }
SOFTRENDER_INLINE Vec PackUS16(Vec a, Vec b) { return _mm256_packus_epi16(a, b); }
SOFTRENDER_INLINE Vec BroadcastFourth16(Vec s) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xff), 0xff);
}

#include "engine/softrender/simd_kernels32.inc"

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// ---- 16-bit pixels (5-6-5), eight at a time in 16-bit lanes

// Per-call lane values of the 16-bit alpha-source add and subtract: each
// channel's draw-bright byte and P as high-multiply divisors by 255.
struct AlphaSource16Lanes {
  __m128i bright_mul[3], bright_keep[3];  // red, green, blue
  __m128i p_mul, p_keep;
};

inline AlphaSource16Lanes MakeAlphaSource16Lanes(uint32_t p, uint32_t bright_r, uint32_t bright_g,
                                                 uint32_t bright_b) {
  AlphaSource16Lanes l;
  const uint32_t bright[3] = {bright_r, bright_g, bright_b};
  for (int k = 0; k < 3; ++k) {
    l.bright_mul[k] = _mm_set1_epi16(static_cast<short>(Div255Multiplier(bright[k])));
    l.bright_keep[k] = _mm_set1_epi16(static_cast<short>(bright[k] >= 255 ? -1 : 0));
  }
  l.p_mul = _mm_set1_epi16(static_cast<short>(Div255Multiplier(p)));
  l.p_keep = _mm_set1_epi16(static_cast<short>(p >= 255 ? -1 : 0));
  return l;
}

// The low 16 bits of each 32-bit lane of a and b, as eight 16-bit lanes.
SOFTRENDER_INLINE __m128i PackLow16(__m128i a, __m128i b) {
  a = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
  b = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
  return _mm_packs_epi32(a, b);
}

// SaturatingAdd16 (Mode 2) or SaturatingSubtract16 (Mode 3) of eight pixels:
// the guard bits need bit 16, so the words are widened to 32-bit lanes.
template <int Mode>
SOFTRENDER_INLINE __m128i AddOrSubtract16x8(__m128i d, __m128i v) {
  const __m128i z = _mm_setzero_si128();
  const auto one = [](__m128i dw, __m128i vw) {
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xf7def7dfu));
    const __m128i guards = _mm_set1_epi32(0x8210820);
    if constexpr (Mode == 2) {
      const __m128i s = _mm_add_epi32(_mm_and_si128(dw, keep), _mm_and_si128(vw, keep));
      const __m128i c = _mm_and_si128(s, guards);
      const __m128i low = _mm_and_si128(_mm_or_si128(dw, vw), _mm_set1_epi32(0x820));
      return _mm_or_si128(_mm_or_si128(s, _mm_sub_epi32(c, _mm_srli_epi32(c, 5))), low);
    } else {
      const __m128i dd = _mm_sub_epi32(_mm_or_si128(dw, guards), _mm_and_si128(vw, keep));
      const __m128i g = _mm_and_si128(dd, guards);
      return _mm_and_si128(dd, _mm_sub_epi32(g, _mm_srli_epi32(g, 5)));
    }
  };
  return PackLow16(one(_mm_unpacklo_epi16(d, z), _mm_unpacklo_epi16(v, z)),
                   one(_mm_unpackhi_epi16(d, z), _mm_unpackhi_epi16(v, z)));
}

// An alpha source (four bytes a pixel: 5-6-5 colour, alpha in byte 2) over
// eight 16-bit destination pixels in mode 2 or 3 without weights; s_lo and
// s_hi hold the first and the last four source pixels. Per channel c (5 or
// 6 bits): x = floor(c * A / 256), or c itself when Gated and A = 255; x
// tinted (the alpha weight comes before the tint here); the amount
// floor(x * P / 255); then SaturatingAdd16 or SaturatingSubtract16. Gated:
// alpha 0 keeps the destination.
template <int Mode, bool White, bool Gated>
SOFTRENDER_INLINE __m128i BlendAlphaSource16x8(__m128i d, __m128i s_lo, __m128i s_hi,
                                               const AlphaSource16Lanes& l) {
  static_assert(Mode == 2 || Mode == 3);
  const __m128i colour = PackLow16(s_lo, s_hi);
  const __m128i alpha = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s_lo, 16), _mm_set1_epi32(255)),
                                        _mm_and_si128(_mm_srli_epi32(s_hi, 16), _mm_set1_epi32(255)));
  __m128i full = _mm_setzero_si128();
  if constexpr (Gated) full = _mm_cmpeq_epi16(alpha, _mm_set1_epi16(255));
  const __m128i fields[3] = {_mm_srli_epi16(colour, 11),
                             _mm_and_si128(_mm_srli_epi16(colour, 5), _mm_set1_epi16(63)),
                             _mm_and_si128(colour, _mm_set1_epi16(31))};
  __m128i v[3];
  for (int k = 0; k < 3; ++k) {
    __m128i x = _mm_srli_epi16(_mm_mullo_epi16(fields[k], alpha), 8);
    if constexpr (Gated) x = SelectBits(full, fields[k], x);
    if constexpr (!White) x = MulDiv255Lanes(x, l.bright_mul[k], l.bright_keep[k]);
    v[k] = MulDiv255Lanes(x, l.p_mul, l.p_keep);
  }
  const __m128i amount =
      _mm_or_si128(_mm_or_si128(_mm_slli_epi16(v[0], 11), _mm_slli_epi16(v[1], 5)), v[2]);
  const __m128i r = AddOrSubtract16x8<Mode>(d, amount);
  if constexpr (!Gated) return r;
  return SelectBits(_mm_cmpeq_epi16(alpha, _mm_setzero_si128()), d, r);
}

// ---- Whole-image copies through a run table

// The whole-image path of a plain copy of a direct-colour source (mode 0,
// white draw-bright colour, no blend image) with Bytes-byte pixels: per row
// the run table's drawn runs become a byte mask (one store of 64 bytes a
// run, no branch on its class or length), then the row's pixels are taken
// from the source where the mask is set. The same pixels as drawing each
// run: runs are cut at the row's width, reading stops at the table's end,
// and pixels that no run reaches are left alone.
template <int Bytes>
void CopyRunRows(uint8_t* dst, std::ptrdiff_t dst_pitch, const uint8_t* src,
                 std::ptrdiff_t src_pitch, int32_t w, int32_t h, const uint8_t* code,
                 const uint8_t* code_end) {
  static_assert(Bytes == 2 || Bytes == 4);
  constexpr int kLocal = 1024;
  alignas(16) uint8_t local[kLocal + 64];
  std::vector<uint8_t> heap;
  uint8_t* mask = local;
  if (w > kLocal) {
    heap.resize(static_cast<size_t>(w) + 64);
    mask = heap.data();
  }
  const __m128i zero = _mm_setzero_si128();
  if (w <= 64) {
    // Narrow images (tiles, characters): the row's mask as the bits of one
    // word, then widened to lane masks, with no memory round trip.
    const __m128i bit16 = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    const __m128i bit32 = _mm_setr_epi32(1, 2, 4, 8);
    for (int32_t y = 0; y < h; ++y) {
      uint64_t bits = 0;
      int32_t x = 0;
      while (code < code_end) {
        const uint32_t run = *code++;
        if (run >= 0xc0u) break;
        const uint32_t n = (run & 63u) + 1;
        const uint64_t ones = ~uint64_t{0} >> (64 - n);
        const uint64_t drawn = (run >> 6) != 0 ? ~uint64_t{0} : 0;
        bits |= x < 64 ? (ones << x) & drawn : 0;
        x += static_cast<int32_t>(n);
        x = x < w ? x : w;
      }
      if (w < 64) bits &= (uint64_t{1} << w) - 1;
      int32_t i = 0;
      constexpr int kStep = 16 / Bytes;
      for (; i + kStep <= w; i += kStep) {
        const uint32_t group = static_cast<uint32_t>(bits >> i);
        __m128i m;
        if constexpr (Bytes == 2) {
          m = _mm_cmpeq_epi16(_mm_and_si128(_mm_set1_epi16(static_cast<short>(group & 0xffu)), bit16),
                              bit16);
        } else {
          m = _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(static_cast<int>(group & 0xfu)), bit32),
                              bit32);
        }
        uint8_t* dp = dst + i * Bytes;
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * Bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), SelectBits(m, s, d));
      }
      for (; i < w; ++i) {
        if ((bits >> i) & 1u) std::memcpy(dst + i * Bytes, src + i * Bytes, Bytes);
      }
      dst += dst_pitch;
      src += src_pitch;
    }
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    int32_t x = 0;
    while (code < code_end) {
      const uint32_t run = *code++;
      if (run >= 0xc0u) break;
      const __m128i fill = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(run >> 6)), zero);
      uint8_t* m = mask + x;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m), fill);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m + 16), fill);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m + 32), fill);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(m + 48), fill);
      x += static_cast<int32_t>(run & 63u) + 1;
      x = x < w ? x : w;
    }
    std::memset(mask + x, 0, static_cast<size_t>(w - x));
    int32_t i = 0;
    constexpr int kStep = 16 / Bytes;
    for (; i + kStep <= w; i += kStep) {
      __m128i m;
      if constexpr (Bytes == 2) {
        const __m128i m8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + i));
        m = _mm_unpacklo_epi8(m8, m8);
      } else {
        int32_t four;
        std::memcpy(&four, mask + i, 4);
        const __m128i m8 = _mm_cvtsi32_si128(four);
        const __m128i m16 = _mm_unpacklo_epi8(m8, m8);
        m = _mm_unpacklo_epi16(m16, m16);
      }
      uint8_t* dp = dst + i * Bytes;
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * Bytes));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), SelectBits(m, s, d));
    }
    for (; i < w; ++i) {
      if (mask[i] != 0) std::memcpy(dst + i * Bytes, src + i * Bytes, Bytes);
    }
    dst += dst_pitch;
    src += src_pitch;
  }
}

#endif  // SOFTRENDER_HAVE_SSE2

}  // namespace softrender
