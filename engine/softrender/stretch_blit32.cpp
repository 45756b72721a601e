// Loop selection of the stretched blit for 32-bit pixels (colour kind 1).
// The stretched loops use the full operators throughout (no half mix, no
// short add); an alpha source is gated in every mode with the flag on and
// weighted by its alpha with the flag off; the one short cut is the subtract
// fast path in its byte-wise form when UseMmx is set (without it the fast
// path equals the general subtract). Loops that blend read their texels from
// a work row gathered once per source row; the mode-0 loop also has an AVX2
// build chosen at run time. Every loop gives the pixels of
// StretchStandardRows with its operator.
#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

#include "engine/softrender/blend_vec32.h"
#include "engine/softrender/static_dispatch.h"
#include "engine/softrender/stretch_blit_job.h"
#include "engine/softrender/stretch_blit_loops.h"

// The 32-byte vectors live only inside always-inlined helpers and the row
// loops; the calling-convention note about them does not concern us.
#pragma GCC diagnostic ignored "-Wpsabi"

// The row bodies handed to ForEachTexelRow are inlined like the operators,
// so that the AVX2 build of the mode-0 loop compiles them for AVX2 too.
#if defined(__GNUC__)
#define SOFTRENDER_INLINE_LAMBDA __attribute__((always_inline))
#else
#define SOFTRENDER_INLINE_LAMBDA
#endif

namespace softrender {
namespace {

using D = Depth32;

// The texels of one destination row gathered into a contiguous work row,
// kept while the following destination rows show the same source row.
class TexelRow {
 public:
  explicit TexelRow(int32_t width) {
    if (static_cast<size_t>(width) > local_.size()) heap_.resize(static_cast<size_t>(width));
    data_ = heap_.empty() ? local_.data() : heap_.data();
  }
  const uint8_t* Fetch(const StretchBlitJob& j, int32_t y) {
    const int32_t row = j.rows[y];
    uint8_t* const out = reinterpret_cast<uint8_t*>(data_);
    if (row == fetched_row_) return out;
    fetched_row_ = row;
    const uint8_t* const srow = j.src + static_cast<ptrdiff_t>(row) * j.src_pitch;
    const int32_t* const cols = j.columns;
    const int32_t w = j.width;
    const auto texel = [&](int32_t x) -> uint64_t {
      return Load32(srow + static_cast<ptrdiff_t>(cols[x]) * 4);
    };
    int32_t x = 0;
    for (; x + 2 <= w; x += 2) {
      const uint64_t pair = texel(x) | (texel(x + 1) << 32);
      std::memcpy(out + 4 * x, &pair, 8);
    }
    if (x < w) Store32(out + 4 * x, static_cast<uint32_t>(texel(x)));
    return out;
  }

 private:
  std::array<uint32_t, 1024> local_;
  std::vector<uint32_t> heap_;
  uint32_t* data_ = nullptr;
  int32_t fetched_row_ = -1;
};

// Walks the destination rows of j with their texels gathered once per
// source row: Step pixels at a time through group(dp, tp), the rest of each
// row one by one through single(dp, tp); dp addresses the destination
// pixels, tp their texels.
template <int Step, class Group, class Single>
SOFTRENDER_INLINE void ForEachTexelRow(const StretchBlitJob& j, Group&& group, Single&& single) {
  const int32_t w = j.width;
  TexelRow texels(w);
  uint8_t* dst = j.dst;
  for (int32_t y = 0; y < j.height; ++y) {
    const uint8_t* row = texels.Fetch(j, y);
    int32_t x = 0;
    for (; x + Step <= w; x += Step) group(dst + 4 * x, row + 4 * x);
    for (; x < w; ++x) single(dst + 4 * x, row + 4 * x);
    dst += j.dst_pitch;
  }
}

// Mode 0 on eight pixels in 16-bit lanes, with no widening: a pixel's lanes
// hold (blue, red) in their low bytes and (green, fourth) in their high
// bytes, so one 16-bit product per channel suffices. Each gives, pixel for
// pixel, the value of its one-pixel operator (BlendOp32<0, White, N>). The
// vectors are 32 bytes: one register where the processor has AVX2 (the row
// loop is compiled for it as well and chosen at run time), two otherwise.
typedef uint8_t U8x32 __attribute__((vector_size(32)));
typedef uint32_t U32x8 __attribute__((vector_size(32)));

struct Mode0Lanes {
  U16x16 bright_lo;  // draw-bright bytes of blue and red
  U16x16 bright_hi;  // of green (and 255 for the fourth byte)
  U8x32 colour;      // 0xff in the three colour bytes
};

Mode0Lanes MakeMode0Lanes(const BlendParams32& bp) {
  Mode0Lanes m;
  for (int i = 0; i < 16; ++i) {
    m.bright_lo[i] = static_cast<uint16_t>(i % 2 == 0 ? bp.bright_b : bp.bright_r);
    m.bright_hi[i] = static_cast<uint16_t>(i % 2 == 0 ? bp.bright_g : 255u);
  }
  for (int i = 0; i < 32; ++i) m.colour[i] = (i & 3) == 3 ? 0 : 0xff;
  return m;
}

SOFTRENDER_INLINE U8x32 Load8Pixels(const uint8_t* p) {
  U8x32 v;
  std::memcpy(&v, p, 32);
  return v;
}
SOFTRENDER_INLINE void Store8Pixels(uint8_t* p, U8x32 v) { std::memcpy(p, &v, 32); }
SOFTRENDER_INLINE U8x32 Select8(U8x32 mask, U8x32 a, U8x32 b) { return (a & mask) | (b & ~mask); }

// Reinterprets a 32-byte vector as another of the same size.
template <class To, class From>
SOFTRENDER_INLINE To As(From v) {
  static_assert(sizeof(To) == sizeof(From));
  To r;
  std::memcpy(&r, &v, sizeof r);
  return r;
}

// floor(x / 255) of a product of two bytes.
SOFTRENDER_INLINE U16x16 Div255x16(U16x16 x) { return (x + 1 + (x >> 8)) >> 8; }

// The tinted colour c of eight texels: low and high bytes of each lane.
template <bool White>
SOFTRENDER_INLINE void TintLanes(U8x32 s8, const Mode0Lanes& m, U16x16* lo, U16x16* hi) {
  const U16x16 s = As<U16x16>(s8);
  *lo = s & 0xff;
  *hi = s >> 8;
  if constexpr (!White) {
    *lo = Div255x16(*lo * m.bright_lo);
    *hi = Div255x16(*hi * m.bright_hi);
  }
}

// Without weights: the whole texel when white, else the tinted colour over
// the destination's fourth byte.
template <bool White>
SOFTRENDER_INLINE U8x32 Mode0Plain8(U8x32 d8, U8x32 s8, const Mode0Lanes& m) {
  if constexpr (White) {
    return s8;
  } else {
    U16x16 lo, hi;
    TintLanes<false>(s8, m, &lo, &hi);
    return Select8(m.colour, As<U8x32>(lo | (hi << 8)), d8);
  }
}

// With each texel's alpha a as the weight: floor((d * (256 - a) + c * a) / 256)
// per channel, which stays below 2^16.
template <bool White>
SOFTRENDER_INLINE U8x32 Mode0Alpha8(U8x32 d8, U8x32 s8, const Mode0Lanes& m) {
  U32x8 a32 = As<U32x8>(s8) >> 24;
  a32 |= a32 << 16;
  const U16x16 a = As<U16x16>(a32);
  const U16x16 inverse = 256 - a;
  U16x16 clo, chi;
  TintLanes<White>(s8, m, &clo, &chi);
  const U16x16 d = As<U16x16>(d8);
  const U16x16 lo = ((d & 0xff) * inverse + clo * a) >> 8;
  const U16x16 hi = ((d >> 8) * inverse + chi * a) >> 8;
  return Select8(m.colour, As<U8x32>(lo | (hi << 8)), d8);
}

// Mode 0 of direct-colour and alpha sources without a blend image: eight
// pixels at a time, the rest of the row one by one; the same pixels as
// StretchStandardRows.
template <SourceForm F, bool White, bool Trans, AlphaUse AU>
SOFTRENDER_INLINE void Mode0RowsBody(const StretchBlitJob& j, const PixelContext<D>& ctx) {
  const PixelContext<D> c = ctx;
  const Mode0Lanes m = MakeMode0Lanes(c.params);
  const uint32_t trans = c.trans_color;
  ForEachTexelRow<8>(
      j,
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        const U8x32 d = Load8Pixels(dp);
        const U8x32 s = Load8Pixels(tp);
        U8x32 r;
        if constexpr (F == SourceForm::kDirect) {
          r = Mode0Plain8<White>(d, s, m);
          if constexpr (Trans) r = Select8(As<U8x32>(As<U32x8>(s) == trans), d, r);
        } else {
          r = Mode0Alpha8<White>(d, s, m);
          if constexpr (AU == AlphaUse::kGated) {
            const U32x8 a = As<U32x8>(s) >> 24;
            r = Select8(As<U8x32>(a == 255u), Mode0Plain8<White>(d, s, m), r);
            r = Select8(As<U8x32>(a == 0u), d, r);
          }
        }
        Store8Pixels(dp, r);
      },
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        Store32(dp, BlendSourcePixel<D, F, StandardOp<0, White>, false, Trans, AU>(Load32(dp), tp,
                                                                                   0, c));
      });
}

template <SourceForm F, bool White, bool Trans, AlphaUse AU>
__attribute__((target("avx2"))) void Mode0RowsAvx2(const StretchBlitJob& j,
                                                   const PixelContext<D>& c) {
  Mode0RowsBody<F, White, Trans, AU>(j, c);
}

template <SourceForm F, bool White, bool Trans, AlphaUse AU>
void Mode0RowsBaseline(const StretchBlitJob& j, const PixelContext<D>& c) {
  Mode0RowsBody<F, White, Trans, AU>(j, c);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

template <SourceForm F, bool White, bool Trans, AlphaUse AU>
void StretchMode0Rows32(const StretchBlitJob& j, const PixelContext<D>& c) {
  if (HasAvx2()) {
    Mode0RowsAvx2<F, White, Trans, AU>(j, c);
  } else {
    Mode0RowsBaseline<F, White, Trans, AU>(j, c);
  }
}

// The general loop of direct-colour sources in modes 1-4 without a blend
// image: four pixels at a time through the vector operators, the rest of the
// row one by one; the same pixels as StretchStandardRows.
template <SourceForm F, int Mode, bool White, bool Trans, AlphaUse AU>
void StretchVectorRows32(const StretchBlitJob& j, const PixelContext<D>& ctx) {
  static_assert(F == SourceForm::kDirect && Mode != 0);
  const PixelContext<D> c = ctx;
  const VecParams32 v = MakeVecParams32(c.params);
  const uint32_t trans = c.trans_color;
  ForEachTexelRow<4>(
      j,
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        const U8x16 d = LoadU8x16(dp);
        const U8x16 s = LoadU8x16(tp);
        U8x16 r = BlendPlain32x4<Mode, White>(d, s, v);
        if constexpr (Trans) r = Select(PixelMask(As<U32x4>(s) == trans), d, r);
        StoreU8x16(dp, r);
      },
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        Store32(dp, BlendSourcePixel<D, F, StandardOp<Mode, White>, false, Trans, AU>(Load32(dp),
                                                                                      tp, 0, c));
      });
}

// The subtract fast path of a direct-colour source in its byte-wise form:
// every byte of the texel, the fourth included, saturates by itself.
template <bool Trans>
void StretchSubtractBytesRows32(const StretchBlitJob& j, const PixelContext<D>& ctx) {
  const uint32_t trans = ctx.trans_color;
  ForEachTexelRow<4>(
      j,
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        const U8x16 d = LoadU8x16(dp);
        const U8x16 s = LoadU8x16(tp);
        U8x16 r = SaturatingSubtractBytesV(d, s);
        if constexpr (Trans) r = Select(PixelMask(As<U32x4>(s) == trans), d, r);
        StoreU8x16(dp, r);
      },
      [&](uint8_t* dp, const uint8_t* tp) SOFTRENDER_INLINE_LAMBDA {
        const uint32_t s = Load32(tp);
        if (!Trans || s != trans) Store32(dp, SaturatingSubtractBytes(Load32(dp), s));
      });
}

template <SourceForm F, int Mode, bool Weighted, bool White, bool Trans>
void Stretch32(const StretchBlitJob& j, const PixelContext<D>& c) {
  constexpr bool kCopy = Mode == 0 && White && !Weighted && !Trans && F != SourceForm::kAlpha;
  if constexpr (Mode == 3 && White && !Weighted && F != SourceForm::kAlpha) {
    if (j.p == 255 && j.mmx) {
      if constexpr (F == SourceForm::kDirect) {
        StretchSubtractBytesRows32<Trans>(j, c);
      } else {
        StretchStandardRows<D, F, SubtractWholeOp32<true>, false, Trans, AlphaUse::kNone>(j, c);
      }
      return;
    }
  }
  constexpr AlphaUse kAlpha = F != SourceForm::kAlpha ? AlphaUse::kNone
                              : Trans                 ? AlphaUse::kGated
                                                      : AlphaUse::kWeight;
  if constexpr (!kCopy && !Weighted && Mode == 0 && F != SourceForm::kPalette) {
    StretchMode0Rows32<F, White, Trans, kAlpha>(j, c);
  } else if constexpr (!Weighted && Mode != 0 && F == SourceForm::kDirect) {
    StretchVectorRows32<F, Mode, White, Trans, kAlpha>(j, c);
  } else {
    StretchGeneralRows<D, F, Mode, Weighted, White, Trans>(j, c);
  }
}

}  // namespace

void RunStretchBlit32(const StretchBlitJob& j, const PixelContext<D>& c) {
  DispatchStretchBlit(j, [&](auto form, auto mode, auto weighted, auto white, auto trans) {
    Stretch32<form(), mode(), weighted(), white(), trans()>(j, c);
  });
}

}  // namespace softrender
