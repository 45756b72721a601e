#include "engine/graphics/image/convert_color_blt.h"

#include <bit>
#include <cstddef>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "pixels are read and written as little-endian words");

namespace {

// ---- pixel access (byte-wise, so odd pitches and 24-bit rows need no alignment)

inline uint32_t LoadPixel(const uint8_t* p, int bytes) {
  switch (bytes) {
    case 1:
      return p[0];
    case 2:
      return uint32_t{p[0]} | (uint32_t{p[1]} << 8);
    case 3:
      return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    default:
      return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
             (uint32_t{p[3]} << 24);
  }
}

inline void StorePixel(uint8_t* p, int bytes, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  if (bytes >= 2) p[1] = static_cast<uint8_t>(v >> 8);
  if (bytes >= 3) p[2] = static_cast<uint8_t>(v >> 16);
  if (bytes >= 4) p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t PaletteEntry(const ColorFormat* f, uint32_t index) {
  return LoadPixel(&f->PaletteTable[(index & 0xFFu) * 4], 4);
}

// The value a colour key or transparent pixel is compared on: the low 8, 16,
// 24 or all 32 bits by the depth.
inline uint32_t DepthMask(int bitDepth) {
  return bitDepth >= 32 ? 0xFFFFFFFFu : (bitDepth <= 0 ? 0 : (1u << bitDepth) - 1u);
}

inline int BytesOf(const ColorFormat* f) {
  const int b = f->BitDepth / 8;
  return b < 1 ? 1 : (b > 4 ? 4 : b);
}

inline uint8_t* RowAt(void* base, int pitch, int y) {
  return static_cast<uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch;
}
inline const uint8_t* RowAt(const void* base, int pitch, int y) {
  return static_cast<const uint8_t*>(base) + static_cast<ptrdiff_t>(y) * pitch;
}

inline uint32_t ShiftLeft(uint32_t v, int s) { return s >= 32 ? 0 : v << s; }
inline uint32_t ShiftRight(uint32_t v, int s) { return s >= 32 ? 0 : v >> s; }

bool HasMasks(const ColorFormat* f, int bits, uint32_t r, uint32_t g, uint32_t b) {
  return f->BitDepth == bits && f->RedMask == r && f->GreenMask == g && f->BlueMask == b;
}
bool Is565(const ColorFormat* f) {
  return HasMasks(f, 16, 0xF800, 0x7E0, 0x1F) && f->AlphaMask == 0;
}
bool Is555(const ColorFormat* f) {
  return HasMasks(f, 16, 0x7C00, 0x3E0, 0x1F) && f->AlphaMask == 0;
}
bool Is1555(const ColorFormat* f) {
  return HasMasks(f, 16, 0x7C00, 0x3E0, 0x1F) && f->AlphaMask == 0x8000;
}
bool Is888(const ColorFormat* f, int bits) { return HasMasks(f, bits, 0xFF0000, 0xFF00, 0xFF); }
bool Is24(const ColorFormat* f) { return Is888(f, 24) && f->AlphaMask == 0; }
bool Is32NoAlpha(const ColorFormat* f) { return Is888(f, 32) && f->AlphaMask == 0; }
bool Is32Argb(const ColorFormat* f) { return Is888(f, 32) && f->AlphaMask == 0xFF000000u; }
bool IsPalette888(const ColorFormat* f) { return Is888(f, 8); }

struct Geometry {
  int width;
  int height;
  int left;
  int top;
  int destX;
  int destY;
};

constexpr int kBayer4Rows[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// ---- path 1: 8-bit copy

int CopyBytes8(void* dst, int dstPitch, const void* src, int srcPitch, const Geometry g) {
  uint32_t largest = 0;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s = RowAt(src, srcPitch, g.top + y) + g.left;
    uint8_t* d = RowAt(dst, dstPitch, g.destY + y) + g.destX;
    for (int x = 0; x < g.width; ++x) {
      if (s[x] > largest) largest = s[x];
    }
    std::memmove(d, s, static_cast<size_t>(g.width));
  }
  return static_cast<int>(largest);
}

// ---- path 2: same format

void CopySameFormat(void* dst, int dstPitch, const void* src, int srcPitch, int bytes,
                    const Geometry g, bool mirror, bool transparentCopy, uint32_t key,
                    int bitDepth) {
  const size_t rowBytes = static_cast<size_t>(g.width) * static_cast<size_t>(bytes);
  const uint32_t keyMask = DepthMask(bitDepth);
  const uint32_t keyValue = key & keyMask;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s = RowAt(src, srcPitch, g.top + y) + static_cast<ptrdiff_t>(g.left) * bytes;
    uint8_t* d = RowAt(dst, dstPitch, g.destY + y) + static_cast<ptrdiff_t>(g.destX) * bytes;
    if (mirror) {
      for (int x = 0; x < g.width; ++x) {
        std::memcpy(d + static_cast<ptrdiff_t>(g.width - 1 - x) * bytes,
                    s + static_cast<ptrdiff_t>(x) * bytes, static_cast<size_t>(bytes));
      }
    } else if (transparentCopy) {
      for (int x = 0; x < g.width; ++x) {
        const uint8_t* sp = s + static_cast<ptrdiff_t>(x) * bytes;
        if ((LoadPixel(sp, bytes) & keyMask) == keyValue) continue;
        std::memcpy(d + static_cast<ptrdiff_t>(x) * bytes, sp, static_cast<size_t>(bytes));
      }
    } else {
      std::memmove(d, s, rowBytes);
    }
  }
}

// ---- typed row loops (paths 4 and 5)

inline uint32_t To565(uint32_t rgb) {
  return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x7E0) | ((rgb >> 3) & 0x1F);
}
inline uint32_t To555(uint32_t rgb) {
  return ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x3E0) | ((rgb >> 3) & 0x1F);
}

template <int Bytes>
inline uint32_t LoadAs(const uint8_t* p) {
  if constexpr (Bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  } else {
    return LoadPixel(p, Bytes);
  }
}

template <int Bytes>
inline void StoreAs(uint8_t* p, uint32_t v) {
  if constexpr (Bytes == 2) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bytes == 4) {
    std::memcpy(p, &v, 4);
  } else {
    StorePixel(p, Bytes, v);
  }
}

// Typed per-row loops that the compiler can vectorise (kept out of line so
// that each pair gets its own loop).
template <int DstBytes, int SrcBytes, typename Fn>
[[gnu::noinline]] void ForEachPixel(void* dst, int dstPitch, const void* src, int srcPitch,
                                    const Geometry g, Fn fn) {
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s = RowAt(src, srcPitch, g.top + y) + static_cast<ptrdiff_t>(g.left) * SrcBytes;
    uint8_t* d = RowAt(dst, dstPitch, g.destY + y) + static_cast<ptrdiff_t>(g.destX) * DstBytes;
    for (int x = 0; x < g.width; ++x) {
      StoreAs<DstBytes>(d + static_cast<ptrdiff_t>(x) * DstBytes,
                        fn(LoadAs<SrcBytes>(s + static_cast<ptrdiff_t>(x) * SrcBytes)));
    }
  }
}

// ---- path 4: key to alpha with equal colour layout

// A row of 32-bit pixels in order, the common case (texture uploads of
// whole images and movie frames): built for AVX2 as well, taken where the
// processor has it. dst may be src itself.
__attribute__((target_clones("avx2", "default"))) void KeyToAlphaRow32(uint8_t* d, const uint8_t* s, int width,
                                                                         uint32_t outsideColour,
                                                                         uint32_t keyCompared, uint32_t alphaMask,
                                                                         uint32_t spare) {
  for (int x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, s + static_cast<ptrdiff_t>(x) * 4, 4);
    const uint32_t out = ((pixel | outsideColour) == keyCompared ? pixel & ~alphaMask : pixel | alphaMask) | spare;
    std::memcpy(d + static_cast<ptrdiff_t>(x) * 4, &out, 4);
  }
}

template <int Bytes>
[[gnu::noinline]] void KeyToAlphaRows(void* dst, int dstPitch, const ColorFormat* df,
                                      const void* src, int srcPitch, const Geometry g, bool mirror,
                                      uint32_t key) {
  const uint32_t packedKey =
      PackColor(df, static_cast<int>((key >> 16) & 0xFF), static_cast<int>((key >> 8) & 0xFF),
                static_cast<int>(key & 0xFF), 255);
  const uint32_t depthMask = DepthMask(df->BitDepth);
  // Compared with every bit outside the colour set, so that only red, green
  // and blue decide.
  const uint32_t outsideColour = ~(df->RedMask | df->GreenMask | df->BlueMask) & depthMask;
  const uint32_t keyCompared = packedKey & depthMask;
  const uint32_t alphaMask = df->AlphaMask;
  const uint32_t spare = df->SpareMask;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s = RowAt(src, srcPitch, g.top + y) + static_cast<ptrdiff_t>(g.left) * Bytes;
    uint8_t* d = RowAt(dst, dstPitch, g.destY + y) + static_cast<ptrdiff_t>(g.destX) * Bytes;
    auto convert = [&](uint32_t pixel) {
      const uint32_t out =
          (pixel | outsideColour) == keyCompared ? pixel & ~alphaMask : pixel | alphaMask;
      return out | spare;
    };
    if (mirror) {
      for (int x = 0; x < g.width; ++x) {
        StoreAs<Bytes>(d + static_cast<ptrdiff_t>(g.width - 1 - x) * Bytes,
                       convert(LoadAs<Bytes>(s + static_cast<ptrdiff_t>(x) * Bytes)));
      }
    } else if constexpr (Bytes == 4) {
      KeyToAlphaRow32(d, s, g.width, outsideColour, keyCompared, alphaMask, spare);
    } else {
      for (int x = 0; x < g.width; ++x) {
        StoreAs<Bytes>(d + static_cast<ptrdiff_t>(x) * Bytes,
                       convert(LoadAs<Bytes>(s + static_cast<ptrdiff_t>(x) * Bytes)));
      }
    }
  }
}

void KeyToAlphaSameLayout(void* dst, int dstPitch, const ColorFormat* df, const void* src,
                          int srcPitch, const Geometry g, bool mirror, uint32_t key) {
  switch (BytesOf(df)) {
    case 2:
      KeyToAlphaRows<2>(dst, dstPitch, df, src, srcPitch, g, mirror, key);
      break;
    case 3:
      KeyToAlphaRows<3>(dst, dstPitch, df, src, srcPitch, g, mirror, key);
      break;
    default:
      KeyToAlphaRows<4>(dst, dstPitch, df, src, srcPitch, g, mirror, key);
      break;
  }
}

// ---- path 5: short cuts for common pairs

// Returns true when a short cut did the work.
bool TryShortCut(void* dst, int dstPitch, const ColorFormat* df, const void* src, int srcPitch,
                 const ColorFormat* sf, const Geometry g, bool keyToAlpha, uint32_t key) {
  const uint32_t key24 = key & 0xFFFFFF;
  if (!keyToAlpha) {
    if (IsPalette888(sf)) {
      if (Is565(df)) {
        ForEachPixel<2, 1>(dst, dstPitch, src, srcPitch, g,
                           [&](uint32_t i) { return To565(PaletteEntry(sf, i)); });
        return true;
      }
      if (Is555(df)) {
        ForEachPixel<2, 1>(dst, dstPitch, src, srcPitch, g,
                           [&](uint32_t i) { return To555(PaletteEntry(sf, i)) | 0x8000u; });
        return true;
      }
      if (Is32NoAlpha(df)) {
        ForEachPixel<4, 1>(dst, dstPitch, src, srcPitch, g, [&](uint32_t i) {
          return (PaletteEntry(sf, i) & 0xFFFFFF) | 0xFF000000u;
        });
        return true;
      }
      return false;
    }
    if (Is24(sf)) {
      if (Is565(df)) {
        ForEachPixel<2, 3>(dst, dstPitch, src, srcPitch, g, [](uint32_t p) { return To565(p); });
        return true;
      }
      if (Is555(df)) {
        ForEachPixel<2, 3>(dst, dstPitch, src, srcPitch, g,
                           [](uint32_t p) { return To555(p) | 0x8000u; });
        return true;
      }
      if (Is888(df, 32)) {
        ForEachPixel<4, 3>(dst, dstPitch, src, srcPitch, g,
                           [](uint32_t p) { return p | 0xFF000000u; });
        return true;
      }
      return false;
    }
    if (Is32NoAlpha(sf) && Is565(df)) {
      ForEachPixel<2, 4>(dst, dstPitch, src, srcPitch, g, [](uint32_t p) { return To565(p); });
      return true;
    }
    if (Is565(sf)) {
      // Widening by moving the bits up (low bits zero, top byte zero): these
      // pairs differ from the general rule on purpose.
      auto widen = [](uint32_t p) {
        return ((p & 0xF800) << 8) | ((p & 0x7E0) << 5) | ((p & 0x1F) << 3);
      };
      if (Is24(df)) {
        ForEachPixel<3, 2>(dst, dstPitch, src, srcPitch, g, widen);
        return true;
      }
      if (Is32NoAlpha(df)) {
        ForEachPixel<4, 2>(dst, dstPitch, src, srcPitch, g, widen);
        return true;
      }
      if (Is555(df)) {
        ForEachPixel<2, 2>(dst, dstPitch, src, srcPitch, g,
                           [](uint32_t p) { return ((p >> 1) & 0x7FE0) | (p & 0x1F); });
        return true;
      }
      return false;
    }
    if (Is555(sf) && Is565(df)) {
      ForEachPixel<2, 2>(dst, dstPitch, src, srcPitch, g, [](uint32_t p) {
        const uint32_t green = (p >> 5) & 0x1F;
        return ((p & 0x7C00) << 1) | (((green << 1) | (green & 1)) << 5) | (p & 0x1F);
      });
      return true;
    }
    return false;
  }

  // Key to alpha on.
  if (IsPalette888(sf)) {
    if (Is1555(df)) {
      ForEachPixel<2, 1>(dst, dstPitch, src, srcPitch, g, [&](uint32_t i) {
        const uint32_t entry = PaletteEntry(sf, i) & 0xFFFFFF;
        return To555(entry) | (entry == key24 ? 0u : 0x8000u);
      });
      return true;
    }
    if (Is32Argb(df)) {
      ForEachPixel<4, 1>(dst, dstPitch, src, srcPitch, g, [&](uint32_t i) {
        const uint32_t entry = PaletteEntry(sf, i) & 0xFFFFFF;
        return entry | (entry == key24 ? 0u : 0xFF000000u);
      });
      return true;
    }
    return false;
  }
  if (Is24(sf)) {
    if (Is1555(df)) {
      const uint32_t key555 = To555(key24);
      ForEachPixel<2, 3>(dst, dstPitch, src, srcPitch, g, [&](uint32_t p) {
        const uint32_t v = To555(p);
        return v | (v == key555 ? 0u : 0x8000u);
      });
      return true;
    }
    if (Is32Argb(df)) {
      ForEachPixel<4, 3>(dst, dstPitch, src, srcPitch, g,
                         [&](uint32_t p) { return p | (p == key24 ? 0u : 0xFF000000u); });
      return true;
    }
    return false;
  }
  if (Is565(sf) && Is1555(df)) {
    const uint32_t key555 = To555(key24);
    ForEachPixel<2, 2>(dst, dstPitch, src, srcPitch, g, [&](uint32_t p) {
      const uint32_t v = ((p >> 1) & 0x7FE0) | (p & 0x1F);
      return v | (v == key555 ? 0u : 0x8000u);
    });
    return true;
  }
  return false;
}

// ---- dithered 32-bit 888 to 16-bit: the general rule for its most common
// pair, without its per-channel plans (same pixels as GeneralLoop)

template <int Mode>
[[gnu::noinline]] void DitherTo16Rows(void* dst, int dstPitch, const void* src, int srcPitch,
                                      const Geometry g, int greenWidth, uint32_t spare) {
  // Dropped bits: 3 for 5-bit channels, 2 for a 6-bit green.
  const int greenDrop = 8 - greenWidth;
  const uint32_t greenMax = (1u << greenWidth) - 1u;
  uint32_t redAccum = 0, greenAccum = 0, blueAccum = 0;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s = RowAt(src, srcPitch, g.top + y) + static_cast<ptrdiff_t>(g.left) * 4;
    uint8_t* d = RowAt(dst, dstPitch, g.destY + y) + static_cast<ptrdiff_t>(g.destX) * 2;
    const int* bayerRow = &kBayer4Rows[(y & 3) * 4];
    for (int x = 0; x < g.width; ++x) {
      const uint32_t p = LoadAs<4>(s + static_cast<ptrdiff_t>(x) * 4);
      const uint32_t r8 = (p >> 16) & 0xFF, g8 = (p >> 8) & 0xFF, b8 = p & 0xFF;
      uint32_t r = r8 >> 3, gr = g8 >> greenDrop, b = b8 >> 3;
      uint32_t rUp, gUp, bUp;
      if constexpr (Mode == kDitherOrdered) {
        const uint32_t m = static_cast<uint32_t>(bayerRow[x & 3]);
        rUp = static_cast<uint32_t>((r8 & 7u) > ((8u * m) >> 4));
        gUp =
            static_cast<uint32_t>((g8 & ((1u << greenDrop) - 1u)) > (((1u << greenDrop) * m) >> 4));
        bUp = static_cast<uint32_t>((b8 & 7u) > ((8u * m) >> 4));
      } else {
        const uint32_t greenMask = (1u << greenDrop) - 1u;
        redAccum += r8 & 7u;
        rUp = static_cast<uint32_t>(redAccum > 7u);
        redAccum &= 7u;
        greenAccum += g8 & greenMask;
        gUp = static_cast<uint32_t>(greenAccum > greenMask);
        greenAccum &= greenMask;
        blueAccum += b8 & 7u;
        bUp = static_cast<uint32_t>(blueAccum > 7u);
        blueAccum &= 7u;
      }
      r += rUp & static_cast<uint32_t>(r < 31u);
      gr += gUp & static_cast<uint32_t>(gr < greenMax);
      b += bUp & static_cast<uint32_t>(b < 31u);
      StoreAs<2>(d + static_cast<ptrdiff_t>(x) * 2,
                 (r << (5 + greenWidth)) | (gr << 5) | b | spare);
    }
  }
}

// ---- path 6: general conversion

// How one channel's value goes from its source width to its destination
// width. Narrowing truncates; widening maps the largest source value to the
// largest destination value; an absent source channel gives 0. Channels of up
// to 8 source bits convert through a table built once per call.
struct ChannelPlan {
  uint32_t srcMask = 0;
  int srcShift = 0;
  int srcWidth = 0;
  int dstWidth = 0;
  int drop = 0;  // bits lost (> 0) when narrowing
  int gain = 0;  // bits gained (> 0) when widening
  uint32_t srcMax = 0;
  uint32_t dstMax = 0;
  uint32_t dropMask = 0;
  const uint32_t* table = nullptr;  // 256 converted values, or null
  uint32_t threshold[16];           // ordered dither: dropped bits above this carry one up

  // tableStorage: 256 entries that become this channel's table when the
  // source width is at most 8 bits and a table pays off.
  void Set(uint32_t sMask, int sShift, int sWidth, int dWidth, bool needConversion,
           uint32_t* tableStorage) {
    srcMask = sMask;
    srcShift = sShift;
    srcWidth = sWidth;
    dstWidth = dWidth;
    const bool convert = needConversion || sWidth != dWidth;
    drop = convert && sWidth > dWidth ? sWidth - dWidth : 0;
    gain = convert && dWidth > sWidth ? dWidth - sWidth : 0;
    srcMax = sWidth >= 32 ? 0xFFFFFFFFu : (1u << sWidth) - 1u;
    dstMax = dWidth >= 32 ? 0xFFFFFFFFu : (1u << dWidth) - 1u;
    dropMask = drop >= 32 ? 0xFFFFFFFFu : (1u << drop) - 1u;
    for (int m = 0; m < 16; ++m) {
      threshold[m] =
          drop >= 32 ? 0xFFFFFFFFu : static_cast<uint32_t>(((uint64_t{1} << drop) * m) / 16);
    }
    table = nullptr;
    if (tableStorage != nullptr && sWidth <= 8) {
      for (uint32_t v = 0; v < 256; ++v) tableStorage[v] = Compute(v);
      table = tableStorage;
    }
  }

  uint32_t Compute(uint32_t v) const {
    if (drop > 0) return ShiftRight(v, drop);
    if (gain > 0) {
      if (srcWidth == 0) return 0;
      const uint64_t step = uint64_t{1} << gain;
      return static_cast<uint32_t>(uint64_t{v} * step + uint64_t{v} * (step - 1) / srcMax);
    }
    return v;
  }

  uint32_t Raw(uint32_t pixel) const { return ShiftRight(pixel & srcMask, srcShift); }
  uint32_t Convert(uint32_t v) const { return table != nullptr ? table[v & 0xFF] : Compute(v); }
};

// Written without branches on the pixel values: on varied pictures the
// carry decisions are unpredictable.
template <int Mode>
struct Ditherer {
  uint32_t accum[4] = {0, 0, 0, 0};

  // Adds the dither step of one channel that lost plan.drop bits.
  uint32_t Apply(int channel, const ChannelPlan& plan, uint32_t raw, uint32_t value, int bayer) {
    if (plan.drop <= 0 || plan.drop >= 32) return value;
    const uint32_t dropped = raw & plan.dropMask;
    uint32_t up;
    if constexpr (Mode == kDitherOrdered) {
      up = static_cast<uint32_t>(dropped > plan.threshold[bayer]);
    } else {
      const uint32_t sum = accum[channel] + dropped;
      up = static_cast<uint32_t>(sum > plan.dropMask);
      accum[channel] = sum & plan.dropMask;  // unchanged when no carry
    }
    return value + (up & static_cast<uint32_t>(value < plan.dstMax));
  }
};

enum class AlphaSource { kImage, kSource, kFull };

struct GeneralJob {
  uint8_t* dst;
  int dstPitch;
  const ColorFormat* df;
  const uint8_t* src;
  int srcPitch;
  const ColorFormat* sf;
  const uint8_t* alphaPixels;
  int alphaPitch;
  const ColorFormat* af;
  Geometry g;
  bool mirror;
  bool keyToAlpha;
  bool alphaOnly;
  bool redAsAlpha;
  bool transparentCopy;
  AlphaSource alphaSource;
  bool dstHasAlpha;
  uint32_t transparentKey;
  uint32_t depthMask;
  uint32_t packedKeyRgb;
  uint32_t spare;
  ChannelPlan red, green, blue, alpha, redToAlpha;
  int ditherMode;
  uint32_t tables[5][256];
};

// The loop works on local copies: its byte stores could otherwise alias
// every field of the job and force reloads on each pixel.
template <int SrcBytes, int DstBytes, int DitherMode>
void GeneralLoop(const GeneralJob& job) {
  const ColorFormat* const df = job.df;
  const ColorFormat* const sf = job.sf;
  const ChannelPlan red = job.red, green = job.green, blue = job.blue, alphaPlan = job.alpha,
                    redToAlpha = job.redToAlpha;
  const Geometry g = job.g;
  const bool mirror = job.mirror, keyToAlpha = job.keyToAlpha, alphaOnly = job.alphaOnly,
             redAsAlpha = job.redAsAlpha, transparentCopy = job.transparentCopy,
             dstHasAlpha = job.dstHasAlpha;
  const AlphaSource alphaSource = job.alphaSource;
  const uint32_t transparentKey = job.transparentKey, depthMask = job.depthMask,
                 packedKeyRgb = job.packedKeyRgb, spare = job.spare;
  const uint32_t redMask = df->RedMask, greenMask = df->GreenMask, blueMask = df->BlueMask,
                 alphaMask = df->AlphaMask;
  const int redShift = df->RedShift, greenShift = df->GreenShift, blueShift = df->BlueShift,
            alphaShift = df->AlphaShift;
  Ditherer<DitherMode> ditherer;

  const bool srcPalette = SrcBytes == 1;
  const int alphaBytes = alphaSource == AlphaSource::kImage ? BytesOf(job.af) : 0;
  const bool alphaPalette = alphaBytes == 1;
  const uint32_t rgbMask = redMask | greenMask | blueMask;
  constexpr bool dither = DitherMode != kDitherNone;
  for (int y = 0; y < g.height; ++y) {
    const uint8_t* s =
        RowAt(job.src, job.srcPitch, g.top + y) + static_cast<ptrdiff_t>(g.left) * SrcBytes;
    const uint8_t* a = alphaBytes ? RowAt(job.alphaPixels, job.alphaPitch, g.top + y) +
                                        static_cast<ptrdiff_t>(g.left) * alphaBytes
                                  : nullptr;
    uint8_t* d = RowAt(job.dst, job.dstPitch, g.destY + y);
    const int* bayerRow = &kBayer4Rows[(y & 3) * 4];
    for (int x = 0; x < g.width; ++x) {
      uint32_t pixel = LoadPixel(s + static_cast<ptrdiff_t>(x) * SrcBytes, SrcBytes);
      if (transparentCopy && (pixel & depthMask) == transparentKey) continue;
      if (srcPalette) pixel = PaletteEntry(sf, pixel);

      const uint32_t rRaw = red.Raw(pixel);
      const uint32_t gRaw = green.Raw(pixel);
      const uint32_t bRaw = blue.Raw(pixel);
      uint32_t r = red.Convert(rRaw);
      uint32_t gr = green.Convert(gRaw);
      uint32_t b = blue.Convert(bRaw);

      uint32_t alphaRaw = 0;
      uint32_t al = 0;
      if (alphaSource == AlphaSource::kImage) {
        uint32_t ap = LoadPixel(a + static_cast<ptrdiff_t>(x) * alphaBytes, alphaBytes);
        if (alphaPalette) ap = PaletteEntry(job.af, ap);
        alphaRaw = alphaPlan.Raw(ap);
        al = alphaPlan.Convert(alphaRaw);
      } else if (alphaSource == AlphaSource::kSource) {
        alphaRaw = alphaPlan.Raw(pixel);
        al = dstHasAlpha ? alphaPlan.Convert(alphaRaw) : 0;
      }
      if (redAsAlpha) al = redToAlpha.Convert(r);
      if (alphaOnly) r = gr = b = 0;

      if constexpr (dither) {
        const int m = bayerRow[x & 3];
        if (!alphaOnly) {  // alpha-only writes its colour channels as 0, undithered
          r = ditherer.Apply(0, red, rRaw, r, m);
          gr = ditherer.Apply(1, green, gRaw, gr, m);
          b = ditherer.Apply(2, blue, bRaw, b, m);
        }
        if (alphaSource != AlphaSource::kFull && dstHasAlpha)
          al = ditherer.Apply(3, alphaPlan, alphaRaw, al, m);
      }

      uint32_t out = (ShiftLeft(r, redShift) & redMask) | (ShiftLeft(gr, greenShift) & greenMask) |
                     (ShiftLeft(b, blueShift) & blueMask);
      if (alphaSource == AlphaSource::kFull && !redAsAlpha) {
        out |= alphaMask;
      } else {
        out |= ShiftLeft(al, alphaShift) & alphaMask;
      }
      if (keyToAlpha) {
        out = (out & rgbMask) == packedKeyRgb ? out & ~alphaMask : out | alphaMask;
      }
      out |= spare;
      const int dx = g.destX + (mirror ? g.width - 1 - x : x);
      StorePixel(d + static_cast<ptrdiff_t>(dx) * DstBytes, DstBytes, out);
    }
  }
}

template <int SrcBytes, int DstBytes>
void GeneralLoopByDither(const GeneralJob& j) {
  switch (j.ditherMode) {
    case kDitherOrdered:
      GeneralLoop<SrcBytes, DstBytes, kDitherOrdered>(j);
      break;
    case kDitherErrorCarry:
      GeneralLoop<SrcBytes, DstBytes, kDitherErrorCarry>(j);
      break;
    default:
      GeneralLoop<SrcBytes, DstBytes, kDitherNone>(j);
      break;
  }
}

template <int SrcBytes>
void GeneralLoopBySource(const GeneralJob& j) {
  switch (BytesOf(j.df)) {
    case 1:
      GeneralLoopByDither<SrcBytes, 1>(j);
      break;
    case 2:
      GeneralLoopByDither<SrcBytes, 2>(j);
      break;
    case 3:
      GeneralLoopByDither<SrcBytes, 3>(j);
      break;
    default:
      GeneralLoopByDither<SrcBytes, 4>(j);
      break;
  }
}

int GeneralConvert(void* dst, int dstPitch, const ColorFormat* df, const void* src, int srcPitch,
                   const ColorFormat* sf, const void* alphaPixels, int alphaPitch,
                   const ColorFormat* af, const Geometry g, bool mirror, bool keyToAlpha,
                   uint32_t key, int ditherMode, bool alphaOnly, bool redAsAlpha,
                   bool transparentCopy, bool alphaFromImage) {
  GeneralJob j;
  // Conversion tables pay off only over enough pixels.
  const bool tables = int64_t{g.width} * g.height >= 1024;
  auto storage = [&](int i) { return tables ? j.tables[i] : nullptr; };
  j.dst = static_cast<uint8_t*>(dst);
  j.dstPitch = dstPitch;
  j.df = df;
  j.src = static_cast<const uint8_t*>(src);
  j.srcPitch = srcPitch;
  j.sf = sf;
  j.alphaPixels = static_cast<const uint8_t*>(alphaPixels);
  j.alphaPitch = alphaPitch;
  j.af = af;
  j.g = g;
  j.mirror = mirror;
  j.keyToAlpha = keyToAlpha;
  j.alphaOnly = alphaOnly;
  j.redAsAlpha = redAsAlpha;
  j.transparentCopy = transparentCopy;
  j.dstHasAlpha = df->AlphaWidth != 0;
  j.depthMask = DepthMask(sf->BitDepth);
  j.transparentKey = key & j.depthMask;
  j.spare = df->BitDepth == 16 || df->BitDepth == 32 ? df->SpareMask : 0;

  // Channels need conversion when red or green widths differ (or the alpha
  // image's red width differs from the destination alpha); a channel whose
  // own widths differ is converted in any case, so that no value spills into
  // its neighbours.
  const bool needConversion = sf->RedWidth != df->RedWidth || sf->GreenWidth != df->GreenWidth ||
                              (alphaFromImage && af->RedWidth != df->AlphaWidth);
  j.red.Set(sf->RedMask, sf->RedShift, sf->RedWidth, df->RedWidth, needConversion, storage(0));
  j.green.Set(sf->GreenMask, sf->GreenShift, sf->GreenWidth, df->GreenWidth, needConversion,
              storage(1));
  j.blue.Set(sf->BlueMask, sf->BlueShift, sf->BlueWidth, df->BlueWidth, needConversion, storage(2));
  j.alphaSource = AlphaSource::kFull;
  if (alphaFromImage) {
    j.alphaSource = AlphaSource::kImage;
    j.alpha.Set(af->RedMask, af->RedShift, af->RedWidth, df->AlphaWidth, needConversion,
                storage(3));
  } else if (sf->AlphaWidth != 0) {
    j.alphaSource = AlphaSource::kSource;
    j.alpha.Set(sf->AlphaMask, sf->AlphaShift, sf->AlphaWidth, df->AlphaWidth, needConversion,
                storage(3));
  }
  // Under red-as-alpha the converted red goes from the destination's red
  // width to its alpha width.
  j.redToAlpha.Set(df->RedWidth >= 32 ? 0xFFFFFFFFu : (1u << df->RedWidth) - 1u, 0, df->RedWidth,
                   df->AlphaWidth, false, storage(4));
  j.packedKeyRgb =
      PackColor(df, static_cast<int>((key >> 16) & 0xFF), static_cast<int>((key >> 8) & 0xFF),
                static_cast<int>(key & 0xFF), 255) &
      (df->RedMask | df->GreenMask | df->BlueMask);
  j.ditherMode =
      (ditherMode == kDitherOrdered || ditherMode == kDitherErrorCarry) ? ditherMode : kDitherNone;

  switch (BytesOf(sf)) {
    case 1:
      GeneralLoopBySource<1>(j);
      break;
    case 2:
      GeneralLoopBySource<2>(j);
      break;
    case 3:
      GeneralLoopBySource<3>(j);
      break;
    default:
      GeneralLoopBySource<4>(j);
      break;
  }
  return 0;
}

}  // namespace

int ConvertColorBlt(void* destPixels, int destPitch, const ColorFormat* destFormat,
                    const void* srcPixels, int srcPitch, const ColorFormat* srcFormat,
                    const void* alphaPixels, int alphaPitch, const ColorFormat* alphaFormat,
                    int destX, int destY, const ImageRect* srcRect, int mirror, int keyToAlpha,
                    uint32_t colorKey, int ditherMode, int alphaOnly, int redAsAlpha,
                    int transparentCopy) {
  if (srcRect == nullptr || destFormat == nullptr || srcFormat == nullptr) return -1;
  const int64_t width = int64_t{srcRect->right} - srcRect->left;
  const int64_t height = int64_t{srcRect->bottom} - srcRect->top;
  if (width <= 0 || height <= 0) return -1;
  const Geometry g{
      static_cast<int>(width), static_cast<int>(height), srcRect->left, srcRect->top, destX, destY};

  const bool hasAlphaImage = alphaPixels != nullptr && alphaFormat != nullptr;
  const bool dstHasAlpha = destFormat->AlphaWidth != 0;
  const bool srcHasAlpha = srcFormat->AlphaWidth != 0;
  const bool alphaNeeded = dstHasAlpha && (hasAlphaImage || srcHasAlpha);
  const bool alphaFromImage = dstHasAlpha && hasAlphaImage && !srcHasAlpha;
  bool keyAlpha = keyToAlpha != 0;
  if (alphaNeeded || !dstHasAlpha || redAsAlpha) keyAlpha = false;
  bool transparent = transparentCopy != 0;
  if (alphaNeeded || mirror) transparent = false;
  const bool onlyAlpha = alphaOnly != 0;
  const bool redAlpha = redAsAlpha != 0;

  // Byte copy into an 8-bit destination.
  if (destFormat->BitDepth == 8 && !onlyAlpha && !transparent) {
    if (srcFormat->BitDepth != 8) return -1;
    return CopyBytes8(destPixels, destPitch, srcPixels, srcPitch, g);
  }

  // Same format.
  if (!keyAlpha && !alphaFromImage && !onlyAlpha && !redAlpha &&
      srcFormat->BitDepth == destFormat->BitDepth && srcFormat->RedMask == destFormat->RedMask &&
      srcFormat->GreenMask == destFormat->GreenMask &&
      srcFormat->BlueMask == destFormat->BlueMask &&
      srcFormat->AlphaMask == destFormat->AlphaMask) {
    CopySameFormat(destPixels, destPitch, srcPixels, srcPitch, BytesOf(srcFormat), g, mirror != 0,
                   transparent, colorKey, srcFormat->BitDepth);
    return 0;
  }

  const bool dither = ditherMode == kDitherOrdered || ditherMode == kDitherErrorCarry;
  if (!transparent) {
    // Key to alpha where source and destination share the colour layout.
    if (dstHasAlpha && keyAlpha && !onlyAlpha && !redAlpha &&
        srcFormat->BitDepth == destFormat->BitDepth && srcFormat->RedMask == destFormat->RedMask &&
        srcFormat->GreenMask == destFormat->GreenMask &&
        srcFormat->BlueMask == destFormat->BlueMask && srcFormat->BitDepth >= 16) {
      KeyToAlphaSameLayout(destPixels, destPitch, destFormat, srcPixels, srcPitch, g, mirror != 0,
                           colorKey);
      return 0;
    }
    // Short cuts for common pairs.
    if (!dither && !onlyAlpha && !redAlpha && !mirror && !hasAlphaImage &&
        TryShortCut(destPixels, destPitch, destFormat, srcPixels, srcPitch, srcFormat, g, keyAlpha,
                    colorKey)) {
      return 0;
    }
  }

  // The general rule's common dithered pair, in a loop of its own.
  if (dither && !transparent && !onlyAlpha && !redAlpha && !mirror && !hasAlphaImage &&
      Is888(srcFormat, 32) && (Is565(destFormat) || Is555(destFormat))) {
    const int greenWidth = destFormat->GreenWidth;
    if (ditherMode == kDitherOrdered) {
      DitherTo16Rows<kDitherOrdered>(destPixels, destPitch, srcPixels, srcPitch, g, greenWidth,
                                     destFormat->SpareMask);
    } else {
      DitherTo16Rows<kDitherErrorCarry>(destPixels, destPitch, srcPixels, srcPitch, g, greenWidth,
                                        destFormat->SpareMask);
    }
    return 0;
  }

  // 3 and 6. General conversion.
  return GeneralConvert(destPixels, destPitch, destFormat, srcPixels, srcPitch, srcFormat,
                        alphaPixels, alphaPitch, alphaFormat, g, mirror != 0, keyAlpha, colorKey,
                        ditherMode, onlyAlpha, redAlpha, transparent, alphaFromImage);
}
