// The rectangle fill and the flat-colour set-up it shares with the line.
#include "engine/softrender/rect_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "engine/softrender/blend_ops16.h"
#include "engine/softrender/blend_ops32.h"
#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/blend_vec32.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {

bool ResolveFlatColour(const MEMIMG& dest, const DrawState& state, uint32_t colour,
                       FlatColour* out) {
  if (dest.UsePalette == 1 || dest.UseAlpha == 1) return false;
  if (dest.Kind != 0 && dest.Kind != 1) return false;
  if (dest.Pixels == nullptr) return false;
  const unsigned mode = static_cast<unsigned>(state.BlendMode);
  const uint32_t p = static_cast<uint32_t>(std::clamp(state.BlendValue, 0, 255));
  if (mode > 4) return false;
  if (p == 0 && mode >= 1 && mode <= 3) return false;
  out->kind = dest.Kind;
  out->mode = mode == 1 && p == 255 ? 0u : mode;
  out->p = p;
  if (dest.Kind == 0) colour &= 0xffffu;
  if (!IsDrawBrightWhite(state)) {
    const uint32_t br = DrawBrightRed(state), bg = DrawBrightGreen(state), bb = DrawBrightBlue(state);
    if (dest.Kind == 1) {
      colour = (colour & 0xff000000u) | ((((colour >> 16) & 0xffu) * br >> 8) << 16) |
               ((((colour >> 8) & 0xffu) * bg >> 8) << 8) | ((colour & 0xffu) * bb >> 8);
    } else {
      colour = Pack16(Red16(colour) * br >> 8, Green16(colour) * bg >> 8, Blue16(colour) * bb >> 8);
    }
  }
  out->colour = colour;
  return true;
}

bool DrawAreaInImage(const MEMIMG& dest, const DrawState& state, IntRect* out) {
  out->left = std::max(state.DrawArea.left, 0);
  out->top = std::max(state.DrawArea.top, 0);
  out->right = std::min(state.DrawArea.right, dest.Width);
  out->bottom = std::min(state.DrawArea.bottom, dest.Height);
  return out->left < out->right && out->top < out->bottom;
}

namespace {

static_assert(sizeof(wchar_t) == 4, "the plain fill stores 32-bit words with wmemset");

// count 32-bit words of value from p: the C library's byte fill when the
// four bytes are equal, its wide fill where p is aligned for it, else one
// store at a time.
void FillWords(uint8_t* p, uint32_t value, int32_t count) {
  if (value == (value & 0xffu) * 0x01010101u) {
    // One byte repeated (black and white among them): a byte fill.
    std::memset(p, static_cast<int>(value & 0xffu), static_cast<size_t>(count) * 4);
    return;
  }
  if ((reinterpret_cast<uintptr_t>(p) & 3u) == 0) {
    std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(value),
                 static_cast<size_t>(count));
    return;
  }
  for (int32_t i = 0; i < count; ++i) Store32(p + 4 * i, value);
}

typedef uint16_t U16x8 __attribute__((vector_size(16)));
typedef uint32_t U32x8 __attribute__((vector_size(32)));

// Mode 1 at 32 bits: per channel floor((d * (256 - P) + c * P) / 256), which
// equals the weighted mix by P; both terms fit 16 bits for P >= 1.
SOFTRENDER_INLINE U8x16 FillMix32x4(U8x16 d8, const U16x16& inverse, const U16x16& cp,
                                    U8x16 colour_bytes) {
  const U16x16 d = __builtin_convertvector(d8, U16x16);
  const U16x16 r = (d * inverse + cp) >> 8;
  return Select(colour_bytes, __builtin_convertvector(r, U8x16), d8);
}

// Rows of 32-bit pixels: four at a time through the vector operators, the
// rest one by one; the plain fill is a repeated whole-pixel store.
template <int Mode>
void FillRows32(uint8_t* dst, ptrdiff_t pitch, int32_t w, int32_t h, uint32_t colour, uint32_t p) {
  BlendParams32 bp;
  bp.p = p;
  if constexpr (Mode == 0) {
    for (int32_t y = 0; y < h; ++y, dst += pitch) FillWords(dst, colour, w);
    return;
  }
  const VecParams32 v = MakeVecParams32(bp);
  const U8x16 s = BitCast<U8x16>(U32x4{colour, colour, colour, colour});
  U16x16 inverse, cp;
  for (int i = 0; i < 16; ++i) {
    inverse[i] = static_cast<uint16_t>(256 - p);
    cp[i] = static_cast<uint16_t>(((colour >> (8 * (i & 3))) & 0xffu) * p);
  }
  for (int32_t y = 0; y < h; ++y, dst += pitch) {
    int32_t x = 0;
    for (; x + 4 <= w; x += 4) {
      const U8x16 d = LoadU8x16(dst + 4 * x);
      U8x16 r;
      if constexpr (Mode == 1) {
        r = FillMix32x4(d, inverse, cp, v.colour);
      } else {
        r = BlendPlain32x4<Mode, true>(d, s, v);
      }
      StoreU8x16(dst + 4 * x, r);
    }
    for (; x < w; ++x) {
      uint8_t* dp = dst + 4 * x;
      Store32(dp, BlendOp32<Mode, true, 0>(Load32(dp), colour, 0, bp));
    }
  }
}

typedef int16_t I16x8 __attribute__((vector_size(16)));

// d + trunc(p * (c - d) / 255) for one 5- or 6-bit field of eight pixels, in
// 16-bit lanes: p * |c - d| <= 255 * 63 and floor(x / 255) of it fit.
SOFTRENDER_INLINE U16x8 SignedMixField(U16x8 d, int shift, uint16_t mask, int16_t c, int16_t p) {
  const I16x8 df = reinterpret_cast<I16x8>((d >> shift) & mask);
  const I16x8 diff = c - df;
  const I16x8 neg = diff >> 15;
  const I16x8 x = p * ((diff ^ neg) - neg);
  const I16x8 q = (x + 1 + (x >> 8)) >> 8;
  return reinterpret_cast<U16x8>(df + ((q ^ neg) - neg)) << shift;
}

// One of modes 1-4 on eight 16-bit pixels with the colour c (and the amount
// v of modes 2 and 3) fixed. The packed add and subtract need the guard bit
// above red, so they run in 32-bit lanes (no multiply there).
template <int Mode>
SOFTRENDER_INLINE U16x8 Fill16x8(U16x8 d16, uint32_t c, uint32_t v, uint32_t p) {
  if constexpr (Mode == 1) {
    const int16_t pp = static_cast<int16_t>(p);
    return SignedMixField(d16, 11, 31, int16_t(Red16(c)), pp) |
           SignedMixField(d16, 5, 63, int16_t(Green16(c)), pp) |
           SignedMixField(d16, 0, 31, int16_t(Blue16(c)), pp);
  } else if constexpr (Mode == 4) {
    const U16x8 r = (((d16 >> 11) & 31) * uint16_t(Red16(c))) >> 5;
    const U16x8 g = (((d16 >> 5) & 63) * uint16_t(Green16(c))) >> 6;
    const U16x8 b = ((d16 & 31) * uint16_t(Blue16(c))) >> 5;
    return (r << 11) | (g << 5) | b;
  } else {
    const U32x8 d = __builtin_convertvector(d16, U32x8);
    U32x8 r;
    if constexpr (Mode == 2) {
      const U32x8 sum = (d & 0xf7def7dfu) + (v & 0xf7def7dfu);
      const U32x8 carry = sum & 0x8210820u;
      r = sum | (carry - (carry >> 5)) | ((d | v) & 0x820u);
    } else {
      const U32x8 dd = (d | 0x8210820u) - (v & 0xf7def7dfu);
      const U32x8 g = dd & 0x8210820u;
      r = dd & (g - (g >> 5));
    }
    return __builtin_convertvector(r & 0xffffu, U16x8);
  }
}

// Rows of 16-bit pixels; the plain fill stores the colour in both halves of
// a 32-bit word, two pixels at a time.
template <int Mode>
void FillRows16(uint8_t* dst, ptrdiff_t pitch, int32_t w, int32_t h, uint32_t colour, uint32_t p) {
  BlendParams16 bp;
  bp.p = p;
  const uint32_t pair = colour | (colour << 16);
  const uint32_t amount = Pack16(Div255(p * Red16(colour)), Div255(p * Green16(colour)),
                                 Div255(p * Blue16(colour)));
  for (int32_t y = 0; y < h; ++y, dst += pitch) {
    if constexpr (Mode == 0) {
      int32_t x = 0;
      if ((reinterpret_cast<uintptr_t>(dst) & 3u) != 0 && w > 0) Store16(dst, colour), x = 1;
      FillWords(dst + 2 * x, pair, (w - x) / 2);
      if (((w - x) & 1) != 0) Store16(dst + 2 * (w - 1), colour);
    } else {
      int32_t x = 0;
      for (; x + 8 <= w; x += 8) {
        U16x8 d16;
        std::memcpy(&d16, dst + 2 * x, 16);
        const U16x8 r16 = Fill16x8<Mode>(d16, colour, amount, p);
        std::memcpy(dst + 2 * x, &r16, 16);
      }
      for (; x < w; ++x) {
        uint8_t* dp = dst + 2 * x;
        Store16(dp, BlendOp16<Mode, true, 0>(Load16(dp), colour, 0, bp));
      }
    }
  }
}

}  // namespace

}  // namespace softrender

void FillMemImgRect(MEMIMG* dest, const ImageRect* rect, uint32_t colour) {
  if (dest == nullptr) return;
  const DrawState& state = CurrentDrawState;
  softrender::FlatColour fc;
  if (!softrender::ResolveFlatColour(*dest, state, colour, &fc)) return;
  IntRect r{0, 0, dest->Width, dest->Height};
  if (rect != nullptr) {
    r.left = std::min(rect->left, rect->right);
    r.right = std::max(rect->left, rect->right);
    r.top = std::min(rect->top, rect->bottom);
    r.bottom = std::max(rect->top, rect->bottom);
  }
  IntRect area;
  if (!softrender::DrawAreaInImage(*dest, state, &area)) return;
  ClipRect(&r, &area);
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  const int bytes = fc.kind == 1 ? 4 : 2;
  uint8_t* dst = dest->Pixels + static_cast<ptrdiff_t>(r.top) * dest->Pitch +
                 static_cast<ptrdiff_t>(r.left) * bytes;
  softrender::WithMode(fc.mode, [&](auto mode) {
    if (fc.kind == 1) {
      softrender::FillRows32<mode()>(dst, dest->Pitch, w, h, fc.colour, fc.p);
    } else {
      softrender::FillRows16<mode()>(dst, dest->Pitch, w, h, fc.colour, fc.p);
    }
  });
}
