// Loop selection of the plain blit for 32-bit pixels (colour kind 1).
#include <type_traits>

#include "engine/softrender/blend_vec32.h"
#include "engine/softrender/plain_blit_job.h"
#include "engine/softrender/plain_blit_loops.h"
#include "engine/softrender/simd_lanes.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {
namespace {

using D = Depth32;

// The general loop for direct-colour and alpha sources without a blend
// image: four pixels at a time through the generic vector operators, the
// rest of the row one by one; the same pixels as BlitStandardRows.
template <SourceForm F, int Mode, bool White, bool Trans, AlphaUse AU>
void BlitVectorRows32(const PlainBlitJob& j, const PixelContext<D>& ctx) {
  static_assert(F != SourceForm::kPalette);
  const PixelContext<D> c = ctx;
  const VecParams32 v = MakeVecParams32(c.params);
  const uint32_t trans = c.trans_color;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const int32_t w = j.width;
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
    for (; x + 4 <= w; x += 4) {
      const U8x16 d = LoadU8x16(dst + 4 * x);
      const U8x16 s = LoadU8x16(src + 4 * x);
      U8x16 r;
      if constexpr (F == SourceForm::kDirect || AU == AlphaUse::kNone) {
        r = BlendPlain32x4<Mode, White>(d, s, v);
        if constexpr (Trans && F == SourceForm::kDirect) {
          r = Select(PixelMask(BitCast<U32x4>(s) == trans), d, r);
        }
      } else {
        static_assert(Mode <= 3 && (AU == AlphaUse::kWeight || AU == AlphaUse::kGated));
        r = BlendAlphaSourcePairs32x4<Mode, White, AU == AlphaUse::kGated>(d, s, v);
      }
      StoreU8x16(dst + 4 * x, r);
    }
    for (; x < w; ++x) {
      uint8_t* dp = dst + 4 * x;
      Store32(dp, BlendSourcePixel<D, F, StandardOp<Mode, White>, false, Trans, AU>(
                      Load32(dp), src + 4 * x, 0, c));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

// Which lane kernel of simd_lanes.h serves a combination: 0 alpha source
// weighted, 1 alpha source gated, 2 direct-colour add or subtract, -1 none.
template <SourceForm F, int Mode, AlphaUse AU>
inline constexpr int kLaneKernel = F == SourceForm::kAlpha && AU == AlphaUse::kWeight && Mode <= 3 ? 0
                                   : F == SourceForm::kAlpha && AU == AlphaUse::kGated && Mode <= 3 ? 1
                                   : F == SourceForm::kDirect && (Mode == 2 || Mode == 3)        ? 2
                                                                                                : -1;

// The vector loops of one call: the lane kernels on the SSE2 or AVX2 path
// where one serves the combination, else the generic vector loop.
template <SourceForm F, int Mode, bool White, bool Trans, AlphaUse AU>
void BlitVectorPath32(const PlainBlitJob& j, const PixelContext<D>& ctx, SimdPath path) {
  constexpr int kKernel = kLaneKernel<F, Mode, AU>;
#if SOFTRENDER_HAVE_SSE2
  if constexpr (kKernel >= 0) {
    const PixelContext<D> c = ctx;
    const auto tail = [&c](uint8_t* dp, const uint8_t* sp) {
      Store32(dp, BlendSourcePixel<D, F, StandardOp<Mode, White>, false, Trans, AU>(Load32(dp), sp,
                                                                                   0, c));
    };
    if (path == SimdPath::kAvx2) {
      avx2::BlendRows32<Mode, White, kKernel, Trans>(j.dst, j.dst_pitch, j.src, j.src_pitch,
                                                      j.width, j.height, c.params, c.trans_color,
                                                      tail);
    } else {
      sse2::BlendRows32<Mode, White, kKernel, Trans>(j.dst, j.dst_pitch, j.src, j.src_pitch,
                                                      j.width, j.height, c.params, c.trans_color,
                                                      tail);
    }
    return;
  }
#endif
  (void)path;
  BlitVectorRows32<F, Mode, White, Trans, AU>(j, ctx);
}

// The whole-word add (mode 2) or subtract (mode 3) at P = 255, byte-wise
// when Bytes.
template <int Mode, bool Bytes>
using WholeAddSubtractOp32 =
    std::conditional_t<Mode == 2, AddWholeOp32<Bytes>, SubtractWholeOp32<Bytes>>;

// The packed short cuts of modes 2 and 3 at P = 255, four pixels at a time.
template <SourceForm F, int Mode, bool Bytes, bool Trans>
void BlitWholeAddSubtractRows32(const PlainBlitJob& j, const PixelContext<D>& ctx) {
  const PixelContext<D> c = ctx;
  const uint32_t trans = c.trans_color;
  uint8_t* dst = j.dst;
  const uint8_t* src = j.src;
  const int32_t w = j.width;
  using Op = WholeAddSubtractOp32<Mode, Bytes>;
  for (int32_t y = 0; y < j.height; ++y) {
    int32_t x = 0;
    for (; x + 4 <= w; x += 4) {
      const U8x16 d = LoadU8x16(dst + 4 * x);
      const U8x16 s = LoadU8x16(src + 4 * x);
      U8x16 r;
      if constexpr (Bytes) {
        r = Mode == 2 ? SaturatingAddBytesV(d, s) : SaturatingSubtractBytesV(d, s);
      } else {
        const U32x4 dw = BitCast<U32x4>(d), sw = BitCast<U32x4>(s);
        r = BitCast<U8x16>(Mode == 2 ? SaturatingAddShortV(dw, sw) : SaturatingSubtractV(dw, sw));
      }
      if constexpr (Trans) r = Select(PixelMask(BitCast<U32x4>(s) == trans), d, r);
      StoreU8x16(dst + 4 * x, r);
    }
    for (; x < w; ++x) {
      uint8_t* dp = dst + 4 * x;
      Store32(dp, BlendSourcePixel<D, F, Op, false, Trans, AlphaUse::kNone>(Load32(dp), src + 4 * x,
                                                                           0, c));
    }
    dst += j.dst_pitch;
    src += j.src_pitch;
  }
}

template <SourceForm F, int Mode, bool Weighted, bool White, bool Trans>
void General32(const PlainBlitJob& j, const PixelContext<D>& c) {
  // Short cuts: no blend image, white draw-bright colour, no alpha source.
  if constexpr (!Weighted && White && F != SourceForm::kAlpha) {
    if constexpr (Mode == 0 && F == SourceForm::kDirect && !Trans) {
      BlitCopyRows<D>(j);
      return;
    } else if constexpr (Mode == 1) {
      if (j.p == 128) {
        BlitStandardRows<D, F, HalfMixOp, false, Trans, AlphaUse::kNone>(j, c);
        return;
      }
    } else if constexpr (Mode == 2 || Mode == 3) {
      if (j.p == 255) {
        // Byte-wise with UseMmx, in the word forms without.
        WithBool(j.mmx, [&](auto bytes) {
          if constexpr (F == SourceForm::kDirect) {
            BlitWholeAddSubtractRows32<F, Mode, bytes(), Trans>(j, c);
          } else {
            BlitStandardRows<D, F, WholeAddSubtractOp32<Mode, bytes()>, false, Trans,
                             AlphaUse::kNone>(j, c);
          }
        });
        return;
      }
    }
  }
  if constexpr (F == SourceForm::kAlpha && Mode == 0 && White && !Weighted && !Trans) {
    // An alpha source copied whole, alpha byte included, its alpha unused.
    BlitCopyRows<D>(j);
  } else {
    constexpr AlphaUse kAlpha = F != SourceForm::kAlpha ? AlphaUse::kNone
                                : !Trans                ? AlphaUse::kWeight
                                : Mode == 4             ? AlphaUse::kGatedNoSkip
                                                        : AlphaUse::kGated;
    // The alpha-weighted multiply needs wide products; the compiler's own
    // vectorising of the scalar loop handles it as fast (measured). The
    // alpha-source cases of modes 0 to 3 run in 16-bit lanes.
    constexpr bool kVector = !Weighted && F != SourceForm::kPalette &&
                             (F == SourceForm::kDirect || kAlpha == AlphaUse::kNone || Mode <= 3);
    if constexpr (kVector) {
      // The portable path is the one-pixel loop.
      const SimdPath path = ActiveSimdPath();
      if (path == SimdPath::kPortable) {
        BlitStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
      } else {
        BlitVectorPath32<F, Mode, White, Trans, kAlpha>(j, c, path);
      }
    } else {
      BlitStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
    }
  }
}

}  // namespace

void RunPlainBlit32(const PlainBlitJob& j, const PixelContext<D>& c) {
  DispatchPlainBlit(j, c, [&](auto form, auto mode, auto weighted, auto white, auto trans) {
    General32<form(), mode(), weighted(), white(), trans()>(j, c);
  });
}

}  // namespace softrender
