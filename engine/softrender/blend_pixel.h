// One source pixel through the transparency gate, the weights and a blend
// operator: the per-pixel core that every software drawing loop shares.
//
// Depth32 and Depth16 describe the two destination kinds (pixel size, source
// pixel layouts, operator family). SourceForm names the three source forms:
// direct colour, alpha source (alpha flag 1, no palette) and palette source
// (one index byte into a 256-entry work copy of the palette). AlphaUse says
// how an alpha source's alpha is used: not at all, always as a weight, gated
// (0 skips, 255 draws without weight) or gated without the skip (multiply's
// general loops). Op policies (StandardOp, HalfMixOp, ...) turn the source
// colour and the weights into the new destination pixel.
//
// BlendSourcePixel returns the new destination value (the old one when the
// gate skips the pixel), so loops can store unconditionally.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/softrender/blend_ops16.h"
#include "engine/softrender/blend_ops32.h"

namespace softrender {

enum class SourceForm { kDirect, kAlpha, kPalette };
enum class AlphaUse { kNone, kWeight, kGated, kGatedNoSkip };

SOFTRENDER_INLINE uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
SOFTRENDER_INLINE uint32_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
SOFTRENDER_INLINE void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
SOFTRENDER_INLINE void Store16(uint8_t* p, uint32_t v) {
  const uint16_t h = static_cast<uint16_t>(v);
  std::memcpy(p, &h, 2);
}

struct Depth32 {
  using Params = BlendParams32;
  static constexpr int kPixelBytes = 4;
  static constexpr int SourceBytes(SourceForm f) { return f == SourceForm::kPalette ? 1 : 4; }
  SOFTRENDER_INLINE static uint32_t Load(const uint8_t* p) { return Load32(p); }
  SOFTRENDER_INLINE static void Store(uint8_t* p, uint32_t v) { Store32(p, v); }
  // Colour of a direct or alpha source pixel: the whole 32-bit word.
  SOFTRENDER_INLINE static uint32_t SourceColour(const uint8_t* p) { return Load32(p); }
  SOFTRENDER_INLINE static uint32_t SourceAlpha(const uint8_t* p) { return p[3]; }
  template <int Mode, bool White, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Blend(uint32_t d, uint32_t s, uint32_t w, const Params& bp) {
    return BlendOp32<Mode, White, N>(d, s, w, bp);
  }
  SOFTRENDER_INLINE static uint32_t HalfMix(uint32_t d, uint32_t s) { return HalfMix32(d, s); }
};

struct Depth16 {
  using Params = BlendParams16;
  static constexpr int kPixelBytes = 2;
  static constexpr int SourceBytes(SourceForm f) {
    return f == SourceForm::kPalette ? 1 : f == SourceForm::kAlpha ? 4 : 2;
  }
  SOFTRENDER_INLINE static uint32_t Load(const uint8_t* p) { return Load16(p); }
  SOFTRENDER_INLINE static void Store(uint8_t* p, uint32_t v) { Store16(p, v); }
  // Colour in bytes 0-1, alpha in byte 2 of an alpha source.
  SOFTRENDER_INLINE static uint32_t SourceColour(const uint8_t* p) { return Load16(p); }
  SOFTRENDER_INLINE static uint32_t SourceAlpha(const uint8_t* p) { return p[2]; }
  template <int Mode, bool White, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Blend(uint32_t d, uint32_t s, uint32_t w, const Params& bp) {
    return BlendOp16<Mode, White, N, AlphaOnly>(d, s, w, bp);
  }
  SOFTRENDER_INLINE static uint32_t HalfMix(uint32_t d, uint32_t s) { return HalfMix16(d, s); }
};

// Values fixed for one draw call.
template <class D>
struct PixelContext {
  typename D::Params params;
  uint32_t trans_color = 0;
  const uint8_t* weights = nullptr;  // BlendGraphTable, read with a blend image
  const uint32_t* palette = nullptr;  // 256 entries (16-bit entries zero-extended)
  uint32_t mix6_k = 0;                // P / 4 for the six-bit mix
};

// The operator table of the blend modes.
template <int Mode, bool White>
struct StandardOp {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t w, const PixelContext<D>& c) {
    return D::template Blend<Mode, White, N, AlphaOnly>(d, s, w, c.params);
  }
};

// Short cuts of mode 1 and of modes 2 and 3 at P = 255 (white, no weights).
struct HalfMixOp {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const PixelContext<D>&) {
    return D::HalfMix(d, s);
  }
};
struct SixBitMixOp {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const PixelContext<D>& c) {
    return SixBitMix16(d, s, c.mix6_k);
  }
};
template <bool Bytes>
struct AddWholeOp32 {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const PixelContext<D>&) {
    return Bytes ? SaturatingAddBytes(d, s) : SaturatingAddShort(d, s);
  }
};
template <bool Bytes>
struct SubtractWholeOp32 {
  template <class D, int N, bool AlphaOnly>
  SOFTRENDER_INLINE static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const PixelContext<D>&) {
    return Bytes ? SaturatingSubtractBytes(d, s) : SaturatingSubtract(d, s);
  }
};

// d: the destination pixel; sp: the source pixel's bytes; blend_byte: the
// blend image's byte (read only when Weighted).
template <class D, SourceForm F, class Op, bool Weighted, bool Trans, AlphaUse AU>
SOFTRENDER_INLINE uint32_t BlendSourcePixel(uint32_t d, const uint8_t* sp, uint32_t blend_byte,
                                 const PixelContext<D>& c) {
  constexpr int kN = Weighted ? 1 : 0;
  const uint32_t t = Weighted ? c.weights[blend_byte & 0xffu] : 1u;
  if constexpr (F == SourceForm::kPalette) {
    const uint32_t index = *sp;
    const uint32_t r = Op::template Apply<D, kN, false>(d, c.palette[index], t, c);
    if constexpr (Trans) return index == c.trans_color ? d : r;
    return r;
  } else if constexpr (F == SourceForm::kDirect || AU == AlphaUse::kNone) {
    const uint32_t s = D::SourceColour(sp);
    const uint32_t r = Op::template Apply<D, kN, false>(d, s, t, c);
    if constexpr (Trans && F == SourceForm::kDirect) return s == c.trans_color ? d : r;
    return r;
  } else {
    const uint32_t s = D::SourceColour(sp);
    const uint32_t a = D::SourceAlpha(sp);
    const uint32_t weighted = Op::template Apply<D, kN + 1, !Weighted>(d, s, a * t, c);
    if constexpr (AU == AlphaUse::kWeight) {
      return weighted;
    } else {
      // Both forms are computed and one selected, so loops stay branch-free.
      const uint32_t plain = Op::template Apply<D, kN, false>(d, s, t, c);
      const uint32_t r = a == 255 ? plain : weighted;
      if constexpr (AU == AlphaUse::kGated) return a == 0 ? d : r;
      return r;
    }
  }
}

}  // namespace softrender
