// The conversion blit: the documented vectors, dither modes, key to alpha,
// and a property test of every path against a per-pixel reference written
// from the conversion rules.
#include "engine/graphics/image/convert_color_blt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "image_test_support.h"

namespace {

const ColorFormat kF565 = MakeFormat(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat kF555 = MakeFormat(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat kF1555 = MakeFormat(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const ColorFormat kF4444 = MakeFormat(16, 0xF00, 0xF0, 0xF, 0xF000);
const ColorFormat kF888 = MakeFormat(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kFX888 = MakeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kFA888 = MakeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat kFABGR = MakeFormat(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
const ColorFormat kFA2888 = MakeFormat(32, 0xFF0000, 0xFF00, 0xFF, 0x03000000);
const ColorFormat kF565A8 = MakeFormat(32, 0xF800, 0x7E0, 0x1F, 0xFF0000);
const ColorFormat kFMask8 = *GetColorFormat(2, 0, 0);
const ColorFormat kFDepth16 = *GetColorFormat(3, 0, 0);

ColorFormat Palette8() {
  ColorFormat f{};
  SetPalette8ColorFormat(&f);
  for (int i = 0; i < 256; ++i) SetPaletteEntry(&f, i, (i * 0x9E3779B1u) & 0xFFFFFF);
  return f;
}
const ColorFormat kFPal = Palette8();
ColorFormat Gray8() {
  ColorFormat f{};
  SetGray8ColorFormat(&f);
  return f;
}
const ColorFormat kFGray = Gray8();

struct Options {
  bool mirror = false;
  bool keyToAlpha = false;
  uint32_t key = 0;
  int dither = 0;
  bool alphaOnly = false;
  bool redAsAlpha = false;
  bool transparentCopy = false;
};

int Blt(TestImage& dst, const TestImage& src, const TestImage* alpha, int dx, int dy,
        ImageRect rect, const Options& o) {
  return ConvertColorBlt(dst.data(), dst.pitch, dst.format, src.data(), src.pitch, src.format,
                         alpha ? alpha->data() : nullptr, alpha ? alpha->pitch : 0,
                         alpha ? alpha->format : nullptr, dx, dy, &rect, o.mirror, o.keyToAlpha,
                         o.key, o.dither, o.alphaOnly, o.redAsAlpha, o.transparentCopy);
}

// ---- reference, written from the rules one pixel at a time -----------------

bool Same(const ColorFormat& a, int bits, uint32_t r, uint32_t g, uint32_t b) {
  return a.BitDepth == bits && a.RedMask == r && a.GreenMask == g && a.BlueMask == b;
}
bool Ref565(const ColorFormat& f) { return Same(f, 16, 0xF800, 0x7E0, 0x1F) && !f.AlphaMask; }
bool Ref555(const ColorFormat& f) { return Same(f, 16, 0x7C00, 0x3E0, 0x1F) && !f.AlphaMask; }

uint32_t Bits(int n) { return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1; }

int Reference(TestImage& dst, const TestImage& src, const TestImage* alphaImg, int dx, int dy,
              ImageRect rect, Options o) {
  const ColorFormat& df = *dst.format;
  const ColorFormat& sf = *src.format;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return -1;
  const bool dA = df.AlphaWidth > 0, sA = sf.AlphaWidth > 0;
  const bool needed = dA && (alphaImg || sA);
  const bool fromImage = dA && alphaImg && !sA;
  if (needed || !dA || o.redAsAlpha) o.keyToAlpha = false;
  if (needed || o.mirror) o.transparentCopy = false;

  if (df.BitDepth == 8 && !o.alphaOnly && !o.transparentCopy) {
    if (sf.BitDepth != 8) return -1;
    int largest = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t v = src.Get(rect.left + x, rect.top + y);
        largest = std::max<int>(largest, static_cast<int>(v));
        dst.Set(dx + x, dy + y, v);
      }
    return largest;
  }
  const uint32_t keyCut = o.key & Bits(sf.BitDepth);
  if (!o.keyToAlpha && !fromImage && !o.alphaOnly && !o.redAsAlpha && sf.BitDepth == df.BitDepth &&
      sf.RedMask == df.RedMask && sf.GreenMask == df.GreenMask && sf.BlueMask == df.BlueMask &&
      sf.AlphaMask == df.AlphaMask) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t v = src.Get(rect.left + x, rect.top + y);
        if (o.transparentCopy && (v & Bits(sf.BitDepth)) == keyCut) continue;
        dst.Set(dx + (o.mirror ? w - 1 - x : x), dy + y, v);
      }
    return 0;
  }
  // Short cuts whose pixels the rules state differently from the general path.
  const bool plain =
      !o.transparentCopy && !o.dither && !o.alphaOnly && !o.redAsAlpha && !o.mirror && !alphaImg;
  if (plain && !o.keyToAlpha && Ref565(sf) &&
      ((df.BitDepth == 24 && Same(df, 24, 0xFF0000, 0xFF00, 0xFF) && !df.AlphaMask) ||
       (Same(df, 32, 0xFF0000, 0xFF00, 0xFF) && !df.AlphaMask))) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t p = src.Get(rect.left + x, rect.top + y);
        const uint32_t r = (p >> 11) << 3, g = ((p >> 5) & 63) << 2, b = (p & 31) << 3;
        dst.Set(dx + x, dy + y, (r << 16) | (g << 8) | b);
      }
    return 0;
  }
  if (plain && !o.keyToAlpha && Ref565(sf) && Ref555(df)) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t p = src.Get(rect.left + x, rect.top + y);
        dst.Set(dx + x, dy + y, ((p >> 11) << 10) | (((p >> 6) & 31) << 5) | (p & 31));
      }
    return 0;
  }
  if (plain && !o.keyToAlpha && Ref555(sf) && Ref565(df)) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t p = src.Get(rect.left + x, rect.top + y);
        const uint32_t g = (p >> 5) & 31;
        dst.Set(dx + x, dy + y, (((p >> 10) & 31) << 11) | ((g * 2 + (g & 1)) << 5) | (p & 31));
      }
    return 0;
  }
  if (plain && o.keyToAlpha && Same(sf, 8, 0xFF0000, 0xFF00, 0xFF) &&
      Same(df, 16, 0x7C00, 0x3E0, 0x1F) && df.AlphaMask == 0x8000) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t i = src.Get(rect.left + x, rect.top + y);
        const uint32_t e = sf.PaletteTable[i * 4] | (sf.PaletteTable[i * 4 + 1] << 8) |
                           (sf.PaletteTable[i * 4 + 2] << 16);
        const uint32_t v = ((e >> 19) << 10) | (((e >> 11) & 31) << 5) | ((e >> 3) & 31);
        dst.Set(dx + x, dy + y, v | (e == (o.key & 0xFFFFFF) ? 0 : 0x8000));
      }
    return 0;
  }

  // General rule.
  const ColorFormat* af = fromImage ? alphaImg->format : nullptr;
  const bool needConv = sf.RedWidth != df.RedWidth || sf.GreenWidth != df.GreenWidth ||
                        (fromImage && af->RedWidth != df.AlphaWidth);
  auto conv = [&](uint32_t v, int sw, int dw) -> uint32_t {
    if (!needConv && sw == dw) return v;
    if (sw > dw) return sw - dw >= 32 ? 0 : v >> (sw - dw);
    if (sw < dw) {
      if (sw == 0) return 0;
      const uint64_t k = uint64_t{1} << (dw - sw);
      return static_cast<uint32_t>(v * k + v * (k - 1) / Bits(sw));
    }
    return v;
  };
  auto field = [](uint32_t p, uint32_t mask, int shift) { return (p & mask) >> shift; };
  auto entry = [](const ColorFormat& f, uint32_t i) {
    return f.PaletteTable[i * 4] | (f.PaletteTable[i * 4 + 1] << 8) |
           (uint32_t{f.PaletteTable[i * 4 + 2]} << 16) |
           (uint32_t{f.PaletteTable[i * 4 + 3]} << 24);
  };
  static const int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  uint32_t acc[4] = {0, 0, 0, 0};
  auto dither = [&](int c, uint32_t value, uint32_t raw, int sw, int dw, int row, int col) {
    if (o.dither != 1 && o.dither != 2) return value;
    if (!(needConv || sw != dw) || sw <= dw) return value;
    const int k = sw - dw;
    const uint32_t d = raw & Bits(k);
    bool up;
    if (o.dither == 1) {
      up = d > ((uint64_t{1} << k) * bayer[(row % 4) * 4 + col % 4]) / 16;
    } else {
      acc[c] += d;
      up = acc[c] > Bits(k);
      if (up) acc[c] &= Bits(k);
    }
    return up && value < Bits(dw) ? value + 1 : value;
  };
  const uint32_t keyPacked =
      PackColor(&df, (o.key >> 16) & 255, (o.key >> 8) & 255, o.key & 255, 255) &
      (df.RedMask | df.GreenMask | df.BlueMask);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = src.Get(rect.left + x, rect.top + y);
      if (o.transparentCopy && (p & Bits(sf.BitDepth)) == keyCut) continue;
      if (sf.BitDepth == 8) p = entry(sf, p);
      const uint32_t rr = field(p, sf.RedMask, sf.RedShift);
      const uint32_t gg = field(p, sf.GreenMask, sf.GreenShift);
      const uint32_t bb = field(p, sf.BlueMask, sf.BlueShift);
      uint32_t r = conv(rr, sf.RedWidth, df.RedWidth);
      uint32_t g = conv(gg, sf.GreenWidth, df.GreenWidth);
      uint32_t b = conv(bb, sf.BlueWidth, df.BlueWidth);
      uint32_t a = Bits(df.AlphaWidth);
      uint32_t aRaw = 0;
      int aw = -1;
      if (fromImage) {
        uint32_t ap = alphaImg->Get(rect.left + x, rect.top + y);
        if (af->BitDepth == 8) ap = entry(*af, ap);
        aRaw = field(ap, af->RedMask, af->RedShift);
        aw = af->RedWidth;
      } else if (sA) {
        aRaw = field(p, sf.AlphaMask, sf.AlphaShift);
        aw = sf.AlphaWidth;
      }
      if (aw >= 0) a = dA ? conv(aRaw, aw, df.AlphaWidth) : 0;
      if (o.redAsAlpha) {
        a = df.RedWidth > df.AlphaWidth ? r >> (df.RedWidth - df.AlphaWidth)
                                        : conv(r, df.RedWidth, df.AlphaWidth);
        if (df.RedWidth < df.AlphaWidth) {
          const uint64_t k = uint64_t{1} << (df.AlphaWidth - df.RedWidth);
          a = df.RedWidth == 0 ? 0 : static_cast<uint32_t>(r * k + r * (k - 1) / Bits(df.RedWidth));
        }
      }
      if (o.alphaOnly) r = g = b = 0;
      if (!o.alphaOnly) {
        r = dither(0, r, rr, sf.RedWidth, df.RedWidth, y, x);
        g = dither(1, g, gg, sf.GreenWidth, df.GreenWidth, y, x);
        b = dither(2, b, bb, sf.BlueWidth, df.BlueWidth, y, x);
      }
      if (aw >= 0 && dA) a = dither(3, a, aRaw, aw, df.AlphaWidth, y, x);
      uint32_t out = ((r << df.RedShift) & df.RedMask) | ((g << df.GreenShift) & df.GreenMask) |
                     ((b << df.BlueShift) & df.BlueMask) |
                     ((df.AlphaShift < 32 ? a << df.AlphaShift : 0) & df.AlphaMask);
      if (o.keyToAlpha) {
        out = (out & (df.RedMask | df.GreenMask | df.BlueMask)) == keyPacked ? out & ~df.AlphaMask
                                                                             : out | df.AlphaMask;
      }
      if (df.BitDepth == 16 || df.BitDepth == 32) out |= df.SpareMask;
      dst.Set(dx + (o.mirror ? w - 1 - x : x), dy + y, out);
    }
  return 0;
}

// ---- documented vectors ------------------------------------------------------

TEST(ConvertColorBlt, WhiteFrom565Into32BitTakesTheShortCutWithZeroLowBits) {
  TestImage src(&kF565, 1, 1), dst(&kFX888, 1, 1);
  src.Set(0, 0, 0xFFFF);
  EXPECT_EQ(Blt(dst, src, nullptr, 0, 0, {0, 0, 1, 1}, {}), 0);
  EXPECT_EQ(dst.Get(0, 0), 0x00F8FCF8u);
  // The general rule (forced here by the mirror flag) widens to the maximum.
  Options mirrored;
  mirrored.mirror = true;
  EXPECT_EQ(Blt(dst, src, nullptr, 0, 0, {0, 0, 1, 1}, mirrored), 0);
  EXPECT_EQ(dst.Get(0, 0), 0xFFFFFFFFu);
  src.Set(0, 0, 16u << 11);
  Blt(dst, src, nullptr, 0, 0, {0, 0, 1, 1}, mirrored);
  EXPECT_EQ((dst.Get(0, 0) >> 16) & 0xFF, 131u);
}

TEST(ConvertColorBlt, PureRed24BitTo555SetsBit15) {
  TestImage src(&kF888, 1, 1), dst(&kF555, 1, 1);
  src.Set(0, 0, 0xFF0000);
  Blt(dst, src, nullptr, 0, 0, {0, 0, 1, 1}, {});
  EXPECT_EQ(dst.Get(0, 0), 0xFC00u);
}

TEST(ConvertColorBlt, OneBitAlphaSurvivesInto32Bit) {
  TestImage src(&kF1555, 2, 1), dst(&kFA888, 2, 1);
  src.Set(0, 0, 0x7FFF);
  src.Set(1, 0, 0x8000 | 0x001F);
  Blt(dst, src, nullptr, 0, 0, {0, 0, 2, 1}, {});
  EXPECT_EQ(dst.Get(0, 0) >> 24, 0x00u);
  EXPECT_EQ(dst.Get(1, 0) >> 24, 0xFFu);
  EXPECT_EQ(dst.Get(1, 0) & 0xFFFFFF, 0x0000FFu);
}

TEST(ConvertColorBlt, KeyToAlphaComparesAtTheDestinationsPrecision) {
  TestImage src(&kF888, 256, 3), dst(&kF4444, 256, 3);
  for (int x = 0; x < 256; ++x) {
    src.Set(x, 0, (uint32_t(x) << 16) | 0x00FF);   // red sweep, green 0, blue 255
    src.Set(x, 1, 0xFF00FF | (uint32_t(x) << 8));  // green sweep
    src.Set(x, 2, 0xF00000 | uint32_t(x));         // blue sweep, red 240
  }
  Options o;
  o.keyToAlpha = true;
  o.key = 0xFE00FE;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 256, 3}, o);
  for (int x = 0; x < 256; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ((dst.Get(x, 0) & 0xF000) == 0, x >= 240);
    EXPECT_EQ((dst.Get(x, 1) & 0xF000) == 0, x <= 15);
    EXPECT_EQ((dst.Get(x, 2) & 0xF000) == 0, x >= 240);
  }
}

TEST(ConvertColorBlt, MirrorWritesTheRowRightToLeft) {
  for (const ColorFormat* f : {&kF565, &kFX888, &kF888}) {
    TestImage src(f, 3, 1), same(f, 3, 1), other(&kFA888, 3, 1);
    src.Set(0, 0, 0x010203);
    src.Set(1, 0, 0x040506);
    src.Set(2, 0, 0x070809);
    Options o;
    o.mirror = true;
    Blt(same, src, nullptr, 0, 0, {0, 0, 3, 1}, o);
    EXPECT_EQ(same.Get(0, 0), src.Get(2, 0));
    EXPECT_EQ(same.Get(1, 0), src.Get(1, 0));
    EXPECT_EQ(same.Get(2, 0), src.Get(0, 0));
    TestImage plain(&kFA888, 3, 1);
    Blt(plain, src, nullptr, 0, 0, {0, 0, 3, 1}, {});
    Blt(other, src, nullptr, 0, 0, {0, 0, 3, 1}, o);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(other.Get(x, 0), plain.Get(2 - x, 0));
  }
}

TEST(ConvertColorBlt, OrderedDitherOfFlatGreyFollowsTheBayerMatrix) {
  static const int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  TestImage src(&kF888, 8, 8), dst(&kF565, 8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) src.Set(x, y, 0x0C0C0C);
  Options o;
  o.dither = kDitherOrdered;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 8, 8}, o);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t p = dst.Get(x, y);
      const uint32_t expected = bayer[(y % 4) * 4 + x % 4] < 8 ? 2 : 1;
      EXPECT_EQ(p >> 11, expected) << x << "," << y;
      EXPECT_EQ(p & 0x1F, expected);
      EXPECT_EQ((p >> 5) & 0x3F, 3u);
    }
}

TEST(ConvertColorBlt, ErrorCarryDitherSpreadsTheDroppedBitsOverTheCall) {
  // Red 0x0C loses 3 bits (4 each pixel): every second pixel carries one up.
  TestImage src(&kF888, 8, 2), dst(&kF565, 8, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) src.Set(x, y, 0x0C0000);
  Options o;
  o.dither = kDitherErrorCarry;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 8, 2}, o);
  std::string reds;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) reds += static_cast<char>('0' + (dst.Get(x, y) >> 11));
  EXPECT_EQ(reds, "1212121212121212");
  // A channel at its maximum stays there.
  for (int x = 0; x < 8; ++x) src.Set(x, 0, 0xFF0000);
  Blt(dst, src, nullptr, 0, 0, {0, 0, 8, 1}, o);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.Get(x, 0) >> 11, 31u);
}

TEST(ConvertColorBlt, RefusedAndEmptyCallsWriteNothing) {
  TestImage src(&kF565, 4, 4), dst8(&kFGray, 4, 4), dst(&kF565, 4, 4);
  src.Set(0, 0, 0x1234);
  EXPECT_EQ(Blt(dst, src, nullptr, 0, 0, {2, 2, 2, 4}, {}), -1);
  EXPECT_EQ(Blt(dst, src, nullptr, 0, 0, {3, 0, 1, 4}, {}), -1);
  EXPECT_EQ(Blt(dst8, src, nullptr, 0, 0, {0, 0, 4, 4}, {}), -1);
  EXPECT_EQ(dst.Get(0, 0), 0u);
  for (uint8_t b : dst8.bytes) EXPECT_EQ(b, 0);
  EXPECT_EQ(ConvertColorBlt(dst.data(), dst.pitch, &kF565, src.data(), src.pitch, &kF565, nullptr,
                            0, nullptr, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, 0),
            -1);
}

TEST(ConvertColorBlt, EightBitCopyReturnsTheLargestIndex) {
  TestImage src(&kFPal, 4, 2), dst(&kFPal, 6, 3);
  for (int i = 0; i < 8; ++i) src.Set(i % 4, i / 4, static_cast<uint32_t>(i * 20));
  EXPECT_EQ(Blt(dst, src, nullptr, 1, 1, {1, 0, 3, 2}, {}), 120);
  EXPECT_EQ(dst.Get(1, 1), 20u);
  EXPECT_EQ(dst.Get(2, 2), 120u);
  EXPECT_EQ(dst.Get(0, 1), 0u);
}

TEST(ConvertColorBlt, TransparentCopySkipsKeyPixelsOnTheSourceDepth) {
  TestImage src(&kFX888, 3, 1), dst(&kFX888, 3, 1);
  src.Set(0, 0, 0xFF123456);
  src.Set(1, 0, 0x00123456);
  src.Set(2, 0, 0x00ABCDEF);
  for (int x = 0; x < 3; ++x) dst.Set(x, 0, 0x77777777);
  Options o;
  o.transparentCopy = true;
  o.key = 0x00123456;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 3, 1}, o);
  EXPECT_EQ(dst.Get(0, 0), 0xFF123456u);  // all 32 bits compared
  EXPECT_EQ(dst.Get(1, 0), 0x77777777u);
  EXPECT_EQ(dst.Get(2, 0), 0x00ABCDEFu);
  // Into another format the general path skips the same pixels.
  TestImage d16(&kF565, 3, 1);
  d16.Set(1, 0, 0x5555);
  Blt(d16, src, nullptr, 0, 0, {0, 0, 3, 1}, o);
  EXPECT_EQ(d16.Get(1, 0), 0x5555u);
  EXPECT_NE(d16.Get(2, 0), 0u);
}

TEST(ConvertColorBlt, AlphaImageRedChannelBecomesTheAlpha) {
  TestImage src(&kF888, 3, 1), alpha(&kFGray, 3, 1), dst(&kFA888, 3, 1);
  for (int x = 0; x < 3; ++x) src.Set(x, 0, 0x102030);
  alpha.Set(0, 0, 0);
  alpha.Set(1, 0, 0x80);
  alpha.Set(2, 0, 0xFF);
  Blt(dst, src, &alpha, 0, 0, {0, 0, 3, 1}, {});
  EXPECT_EQ(dst.Get(0, 0), 0x00102030u);
  EXPECT_EQ(dst.Get(1, 0), 0x80102030u);
  EXPECT_EQ(dst.Get(2, 0), 0xFF102030u);
}

TEST(ConvertColorBlt, AlphaOnlyWithRedAsAlphaFillsMaskImages) {
  TestImage src(&kFGray, 2, 1), mask(&kFMask8, 2, 1), depth(&kFDepth16, 2, 1);
  src.Set(0, 0, 0x40);
  src.Set(1, 0, 0xFF);
  Options o;
  o.alphaOnly = true;
  o.redAsAlpha = true;
  o.dither = kDitherOrdered;
  EXPECT_EQ(Blt(mask, src, nullptr, 0, 0, {0, 0, 2, 1}, o), 0);
  EXPECT_EQ(mask.Get(0, 0), 0x40u);
  EXPECT_EQ(mask.Get(1, 0), 0xFFu);
  Blt(depth, src, nullptr, 0, 0, {0, 0, 2, 1}, o);
  EXPECT_EQ(depth.Get(0, 0), 0x4040u);
  EXPECT_EQ(depth.Get(1, 0), 0xFFFFu);
}

TEST(ConvertColorBlt, KeyToAlphaOnAnEqualLayoutIgnoresBitsOutsideTheColour) {
  // A 5-5-5 source whose unused top bit is clear still matches the key.
  TestImage src(&kF555, 3, 1), dst(&kF1555, 3, 1);
  src.Set(0, 0, 0x7C1F);  // key colour, bit 15 clear
  src.Set(1, 0, 0xFC1F);  // key colour, bit 15 set
  src.Set(2, 0, 0x03E0);
  Options o;
  o.keyToAlpha = true;
  o.key = 0xFF00FF;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 3, 1}, o);
  EXPECT_EQ(dst.Get(0, 0), 0x7C1Fu);
  EXPECT_EQ(dst.Get(1, 0), 0x7C1Fu);
  EXPECT_EQ(dst.Get(2, 0), 0x83E0u);
}

TEST(ConvertColorBlt, AChannelWhoseWidthsDifferIsAlwaysConverted) {
  // Red and green keep their widths, alpha goes from 8 to 2 bits: the alpha
  // is narrowed rather than passed on into the bits above it.
  TestImage src(&kFA888, 2, 1), dst(&kFA2888, 2, 1);
  src.Set(0, 0, 0x80123456);
  src.Set(1, 0, 0x3F123456);
  Blt(dst, src, nullptr, 0, 0, {0, 0, 2, 1}, {});
  EXPECT_EQ(dst.Get(0, 0), 0xFE123456u);  // alpha 2 of 3, spare bits set
  EXPECT_EQ(dst.Get(1, 0), 0xFC123456u);
}

// ---- short cuts ----------------------------------------------------------

struct PairCase {
  const char* name;
  const ColorFormat* src;
  const ColorFormat* dst;
  bool keyToAlpha;
};

const PairCase kShortCutPairs[] = {
    {"pal->565", &kFPal, &kF565, false},      {"pal->555", &kFPal, &kF555, false},
    {"pal->x888", &kFPal, &kFX888, false},    {"888->565", &kF888, &kF565, false},
    {"888->555", &kF888, &kF555, false},      {"888->x888", &kF888, &kFX888, false},
    {"888->a888", &kF888, &kFA888, false},    {"x888->565", &kFX888, &kF565, false},
    {"pal->a888 key", &kFPal, &kFA888, true}, {"888->1555 key", &kF888, &kF1555, true},
    {"888->a888 key", &kF888, &kFA888, true}, {"565->1555 key", &kF565, &kF1555, true},
};

void FillRandom(TestImage& img, std::mt19937& rng) {
  for (auto& b : img.bytes) b = static_cast<uint8_t>(rng());
}

TEST(ConvertColorBltShortCuts, GiveTheGeneralPathsPixels) {
  std::mt19937 rng(1234);
  for (const PairCase& c : kShortCutPairs) {
    SCOPED_TRACE(c.name);
    for (int round = 0; round < 4; ++round) {
      const int w = 1 + static_cast<int>(rng() % 19), h = 1 + static_cast<int>(rng() % 5);
      TestImage src(c.src, w, h, static_cast<int>(rng() % 5));
      FillRandom(src, rng);
      Options o;
      o.keyToAlpha = c.keyToAlpha;
      // Pick the key from the image half the time so that both outcomes occur.
      o.key = (round & 1) ? (rng() & 0xFFFFFF) : 0;
      if (!(round & 1) && c.src->BitDepth != 8) {
        const uint32_t p = src.Get(0, 0);
        int r, g, b;
        UnpackColor(c.src, p, &r, &g, &b, nullptr);
        o.key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
      } else if (!(round & 1)) {
        const uint8_t* e = &c.src->PaletteTable[src.Get(0, 0) * 4];
        o.key = (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
      }
      TestImage fast(c.dst, w, h), general(c.dst, w, h);
      Blt(fast, src, nullptr, 0, 0, {0, 0, w, h}, o);
      Options mirrored = o;
      mirrored.mirror = true;  // the mirror flag rules the short cuts out
      Blt(general, src, nullptr, 0, 0, {0, 0, w, h}, mirrored);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(fast.Get(x, y), general.Get(w - 1 - x, y)) << x << "," << y;
    }
  }
}

TEST(ConvertColorBltShortCuts, DitheredThirtyTwoToSixteenMatchesTheGeneralPath) {
  std::mt19937 rng(77);
  for (const ColorFormat* sf : {&kFX888, &kFA888}) {
    for (const ColorFormat* df : {&kF565, &kF555}) {
      for (int mode : {kDitherOrdered, kDitherErrorCarry}) {
        SCOPED_TRACE(testing::Message() << sf->AlphaMask << " " << df->RedMask << " " << mode);
        const int w = 9 + static_cast<int>(rng() % 9), h = 1 + static_cast<int>(rng() % 6);
        TestImage src(sf, w, h, 3);
        FillRandom(src, rng);
        Options o;
        o.dither = mode;
        TestImage fast(df, w, h), general(df, w, h);
        Blt(fast, src, nullptr, 0, 0, {0, 0, w, h}, o);
        o.mirror = true;
        Blt(general, src, nullptr, 0, 0, {0, 0, w, h}, o);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            ASSERT_EQ(fast.Get(x, y), general.Get(w - 1 - x, y)) << x << "," << y;
      }
    }
  }
}

TEST(ConvertColorBltShortCuts, SixteenBitPairsFollowTheirOwnRules) {
  TestImage src565(&kF565, 4, 1), to555(&kF555, 4, 1), src555(&kF555, 4, 1), to565(&kF565, 4, 1);
  const uint32_t p565[4] = {0xFFFF, 0x07E0, 0x0020, 0xF81F};
  const uint32_t e555[4] = {0x7FFF, 0x03E0, 0x0000, 0x7C1F};
  const uint32_t p555[4] = {0xFFFF, 0x0020, 0x0040, 0x7C1F};
  const uint32_t e565[4] = {0xFFFF, 0x0060, 0x0080, 0xF81F};
  for (int x = 0; x < 4; ++x) {
    src565.Set(x, 0, p565[x]);
    src555.Set(x, 0, p555[x]);
  }
  Blt(to555, src565, nullptr, 0, 0, {0, 0, 4, 1}, {});
  Blt(to565, src555, nullptr, 0, 0, {0, 0, 4, 1}, {});
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(to555.Get(x, 0), e555[x]) << x;
    EXPECT_EQ(to565.Get(x, 0), e565[x]) << x;
  }
}

TEST(ConvertColorBltShortCuts, PaletteTo1555ComparesTheWholeEntryWithTheKey) {
  ColorFormat pal = kFPal;
  SetPaletteEntry(&pal, 1, 0xFE00FE);
  SetPaletteEntry(&pal, 2, 0xFF00FF);
  TestImage src(&pal, 2, 1), dst(&kF1555, 2, 1);
  src.Set(0, 0, 1);
  src.Set(1, 0, 2);
  Options o;
  o.keyToAlpha = true;
  o.key = 0xFE00FE;
  Blt(dst, src, nullptr, 0, 0, {0, 0, 2, 1}, o);
  EXPECT_EQ(dst.Get(0, 0), 0x7C1Fu);
  EXPECT_EQ(dst.Get(1, 0), 0xFC1Fu);
}

// ---- every path against the reference -------------------------------------

const ColorFormat* const kAllFormats[] = {&kF565,  &kF555,  &kF1555,  &kF4444,   &kF888,
                                          &kFX888, &kFA888, &kFABGR,  &kFA2888,  &kF565A8,
                                          &kFPal,  &kFGray, &kFMask8, &kFDepth16};
const ColorFormat* const kAlphaFormats[] = {&kFGray, &kF888, &kFX888, &kF565};

TEST(ConvertColorBltProperty, EveryPathMatchesTheReference) {
  std::mt19937 rng(20240611);
  int compared = 0;
  for (const ColorFormat* sf : kAllFormats) {
    for (const ColorFormat* df : kAllFormats) {
      for (int round = 0; round < 12; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 13), sh = 1 + static_cast<int>(rng() % 4);
        TestImage src(sf, sw, sh, static_cast<int>(rng() % 3));
        FillRandom(src, rng);
        ImageRect rect;
        rect.left = static_cast<int32_t>(rng() % sw);
        rect.top = static_cast<int32_t>(rng() % sh);
        rect.right = rect.left + 1 + static_cast<int32_t>(rng() % (sw - rect.left));
        rect.bottom = rect.top + 1 + static_cast<int32_t>(rng() % (sh - rect.top));
        const int w = rect.right - rect.left, h = rect.bottom - rect.top;
        const int dx = static_cast<int>(rng() % 3), dy = static_cast<int>(rng() % 2);
        TestImage dst(df, w + dx + 1, h + dy, 1);
        FillRandom(dst, rng);
        TestImage ref = dst;
        TestImage alpha;
        const bool withAlpha = rng() % 3 == 0;
        if (withAlpha) {
          alpha = TestImage(kAlphaFormats[rng() % 4], sw, sh);
          FillRandom(alpha, rng);
        }
        Options o;
        const uint32_t flags = rng();
        o.mirror = flags & 1;
        o.keyToAlpha = flags & 2;
        o.dither = static_cast<int>((flags >> 2) % 3);
        o.alphaOnly = (flags & 0x30) == 0x30;
        o.redAsAlpha = (flags & 0xC0) == 0xC0;
        o.transparentCopy = flags & 0x100;
        // Keys taken from the picture make key matches happen.
        o.key = (flags & 0x200) ? rng() : src.Get(rect.left, rect.top);
        if (o.keyToAlpha && sf->BitDepth != 8 && (flags & 0x200) == 0) {
          int r, g, b;
          UnpackColor(sf, o.key, &r, &g, &b, nullptr);
          o.key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
        }
        const TestImage* a = withAlpha ? &alpha : nullptr;
        const int got = Blt(dst, src, a, dx, dy, rect, o);
        const int want = Reference(ref, src, a, dx, dy, rect, o);
        ASSERT_EQ(got, want) << "formats " << sf->BitDepth << "->" << df->BitDepth;
        ASSERT_EQ(dst.bytes, ref.bytes)
            << "src bits " << sf->BitDepth << " masks " << std::hex << sf->RedMask << "/"
            << sf->AlphaMask << " dst bits " << std::dec << df->BitDepth << " masks " << std::hex
            << df->RedMask << "/" << df->AlphaMask << std::dec << " flags " << flags
            << " alpha image " << withAlpha;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
