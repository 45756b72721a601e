// Colour formats: the shared cache, the fixed formats and packing/unpacking.
#include "engine/graphics/image/color_format.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct CacheCase {
  int kind, alpha, palette;
  int bits;
  uint32_t r, g, b, a, spare;
  int rw, gw, bw, aw;
  int rs, gs, bs, as;
};

TEST(ColorFormatCache, TenFormatsMatchTheirKinds) {
  const CacheCase cases[] = {
      {0, 0, 0, 16, 0xF800, 0x7E0, 0x1F, 0, 0, 5, 6, 5, 0, 11, 5, 0, 0},
      {0, 0, 1, 8, 0xF800, 0x7E0, 0x1F, 0, 0, 5, 6, 5, 0, 11, 5, 0, 0},
      {0, 1, 0, 32, 0xF800, 0x7E0, 0x1F, 0xFF0000, 0xFF000000, 5, 6, 5, 8, 11, 5, 0, 16},
      {0, 1, 1, 8, 0xF800, 0x7E0, 0x1F, 0xFF0000, 0, 5, 6, 5, 8, 11, 5, 0, 16},
      {1, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000, 8, 8, 8, 0, 16, 8, 0, 0},
      {1, 0, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0, 0, 8, 8, 8, 0, 16, 8, 0, 0},
      {1, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 8, 8, 8, 8, 16, 8, 0, 24},
      {1, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 8, 8, 8, 8, 16, 8, 0, 24},
      {2, 1, 1, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0, 8, 8, 8, 8, 0, 0, 0, 0},
      {3, 0, 1, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 16, 16, 16, 16, 0, 0, 0, 0},
  };
  for (const CacheCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "kind " << c.kind << " alpha " << c.alpha << " palette " << c.palette);
    const ColorFormat* f = GetColorFormat(c.kind, c.alpha, c.palette);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, GetColorFormat(c.kind, c.alpha, c.palette));  // shared, built once
    EXPECT_EQ(f->BitDepth, c.bits);
    EXPECT_EQ(f->PixelByte, c.bits / 8);
    EXPECT_EQ(f->RedMask, c.r);
    EXPECT_EQ(f->GreenMask, c.g);
    EXPECT_EQ(f->BlueMask, c.b);
    EXPECT_EQ(f->AlphaMask, c.a);
    EXPECT_EQ(f->SpareMask, c.spare);
    EXPECT_EQ(f->RedWidth, c.rw);
    EXPECT_EQ(f->GreenWidth, c.gw);
    EXPECT_EQ(f->BlueWidth, c.bw);
    EXPECT_EQ(f->AlphaWidth, c.aw);
    EXPECT_EQ(f->RedShift, c.rs);
    EXPECT_EQ(f->GreenShift, c.gs);
    EXPECT_EQ(f->BlueShift, c.bs);
    EXPECT_EQ(f->AlphaShift, c.as);
  }
  // Kinds 2 and 3 ignore the flags; anything else has no format.
  EXPECT_EQ(GetColorFormat(2, 0, 0), GetColorFormat(2, 1, 1));
  EXPECT_EQ(GetColorFormat(4, 0, 0), nullptr);
  EXPECT_EQ(GetColorFormat(-1, 0, 0), nullptr);
  EXPECT_EQ(GetDDPixelFormat(4, 0, 0), nullptr);
}

TEST(ColorFormatCache, PixelFormatsCarryRgbFlagAndMasks) {
  const DDPixelFormat* argb = GetDDPixelFormat(1, 1, 0);
  ASSERT_NE(argb, nullptr);
  EXPECT_EQ(argb->Size, 32u);
  EXPECT_EQ(argb->Flags, kDDPixelFormatRgb);  // also with an alpha mask
  EXPECT_EQ(argb->RgbBitCount, 32u);
  EXPECT_EQ(argb->AlphaMask, 0xFF000000u);
  const DDPixelFormat* mask = GetDDPixelFormat(2, 0, 0);
  EXPECT_EQ(mask->Size, 0u);
  EXPECT_EQ(mask->Flags, 0u);
  EXPECT_EQ(mask->RgbBitCount, 8u);
  EXPECT_EQ(mask->RedMask, 0xFFu);
  EXPECT_EQ(GetDDPixelFormat(3, 0, 0)->AlphaMask, 0xFFFFu);
}

TEST(ColorFormat, ChannelWidthCountsOnlyTheLowestRunOfAMask) {
  ColorFormat f{};
  CreateColorFormat(&f, 16, 0xF00F, 0x0F0, 0, 0);
  EXPECT_EQ(f.RedShift, 0);
  EXPECT_EQ(f.RedWidth, 4);
  EXPECT_EQ(f.BlueWidth, 0);
  EXPECT_EQ(f.BlueShift, 0);
  EXPECT_EQ(f.SpareMask, 0x0F00u);
  EXPECT_EQ(f.SpareShift, 8);
  EXPECT_EQ(f.SpareWidth, 4);
}

TEST(ColorFormat, FromPixelFormatTakesTheLowByteOfTheBitCount) {
  DDPixelFormat pf{};
  MakeDDPixelFormat(&pf, 16, 0x7C00, 0x3E0, 0x1F, 0);
  pf.RgbBitCount |= 0x100;
  ColorFormat f{};
  EXPECT_EQ(ColorFormatFromDDPixelFormat(&pf, &f), 0);
  EXPECT_EQ(f.BitDepth, 16);
  EXPECT_EQ(f.PixelByte, 2);
  EXPECT_EQ(f.SpareMask, 0x8000u);
  EXPECT_EQ(f.GreenShift, 5);
  EXPECT_EQ(f.GreenWidth, 5);
}

TEST(ColorFormat, FixedFormatsKeepSpareShiftAndWidth) {
  ColorFormat f;
  std::memset(&f, 0xAB, sizeof(f));
  SetPalette8ColorFormat(&f);
  EXPECT_EQ(f.BitDepth, 8);
  EXPECT_EQ(f.PixelByte, 1);
  EXPECT_EQ(f.RedMask, 0xFF0000u);
  EXPECT_EQ(f.AlphaMask, 0u);
  EXPECT_EQ(f.AlphaWidth, 0);
  EXPECT_EQ(f.SpareMask, 0xFF000000u);
  EXPECT_EQ(f.SpareShift, 0xAB);
  EXPECT_EQ(f.SpareWidth, 0xAB);

  SetGray8ColorFormat(&f);
  EXPECT_EQ(f.PaletteTable[0x40 * 4 + 0], 0x40);
  EXPECT_EQ(f.PaletteTable[0x40 * 4 + 2], 0x40);
  EXPECT_EQ(f.PaletteTable[0x40 * 4 + 3], 0);

  SetRgb24ColorFormat(&f);
  EXPECT_EQ(f.BitDepth, 24);
  EXPECT_EQ(f.PixelByte, 3);
  EXPECT_EQ(f.SpareMask, 0u);

  SetArgb32ColorFormat(&f);
  EXPECT_EQ(f.AlphaMask, 0xFF000000u);
  EXPECT_EQ(f.AlphaShift, 24);
  EXPECT_EQ(f.AlphaWidth, 8);
  EXPECT_EQ(f.SpareMask, 0u);
}

TEST(ColorFormat, RecomputeSpareMaskAndEquality) {
  ColorFormat f{};
  CreateColorFormat(&f, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  f.SpareMask = 0;
  EXPECT_EQ(RecomputeSpareMask(&f)->SpareMask, 0xFF000000u);
  CreateColorFormat(&f, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  f.SpareMask = 0x1234;
  EXPECT_EQ(RecomputeSpareMask(&f)->SpareMask, 0u);

  ColorFormat a{}, b{};
  CreateColorFormat(&a, 16, 0xF800, 0x7E0, 0x1F, 0);
  CreateColorFormat(&b, 16, 0xF800, 0x7E0, 0x1F, 0);
  b.PaletteTable[7] = 1;  // the palette plays no part
  EXPECT_EQ(EqualColorFormat(&a, &b), 1);
  CreateColorFormat(&b, 16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(EqualColorFormat(&a, &b), 0);
}

TEST(PackColor, ReducesToTopBitsAndSetsSpareBits) {
  const ColorFormat* x888 = GetColorFormat(1, 0, 0);
  EXPECT_EQ(PackColor(x888, 1, 2, 3, 0), 0xFF010203u);
  EXPECT_EQ(PackColor(x888, 0x1FF, 2, 3, 0), 0xFFFF0203u);  // taken as a byte
  const ColorFormat* argb = GetColorFormat(1, 1, 0);
  EXPECT_EQ(PackColor(argb, 1, 2, 3, 0x80), 0x80010203u);
  const ColorFormat* r565 = GetColorFormat(0, 0, 0);
  EXPECT_EQ(PackColor(r565, 255, 255, 255, 0), 0xFFFFu);
  EXPECT_EQ(PackColor(r565, 0x08, 0x04, 0x08, 0), 0x0821u);
  EXPECT_EQ(PackColor(r565, 0x07, 0x03, 0x07, 0), 0u);
  ColorFormat f555{};
  CreateColorFormat(&f555, 16, 0x7C00, 0x3E0, 0x1F, 0);
  EXPECT_EQ(PackColor(&f555, 0, 0, 0, 0), 0x8000u);
}

TEST(UnpackColor, ScalesEachChannelToTheFullByte) {
  ColorFormat f555{};
  CreateColorFormat(&f555, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  int r = -1, g = -1, b = -1, a = -1;
  UnpackColor(&f555, (31u << 10) | (16u << 5) | 1u | 0x8000u, &r, &g, &b, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 131);
  EXPECT_EQ(b, 8);
  EXPECT_EQ(a, 255);
  UnpackColor(GetColorFormat(0, 0, 0), 0xFFFF, &r, nullptr, nullptr, &a);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(a, 0);  // no alpha channel
}

TEST(UnpackColor, AbsentColourChannelGivesZeroInsteadOfDividingByZero) {
  ColorFormat redOnly{};
  CreateColorFormat(&redOnly, 16, 0xF800, 0, 0, 0);
  int r = -1, g = -1, b = -1;
  UnpackColor(&redOnly, 0xFFFF, &r, &g, &b, nullptr);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(PackColor(&redOnly, 255, 255, 255, 255), 0xFFFFu);  // rest are spare bits
}

TEST(ConvertPixel, ShiftsEachChannelBetweenWidths) {
  const ColorFormat* r565 = GetColorFormat(0, 0, 0);
  const ColorFormat* x888 = GetColorFormat(1, 0, 0);
  const ColorFormat* argb = GetColorFormat(1, 1, 0);
  EXPECT_EQ(ConvertPixel(x888, r565, 0xFFFF), 0xFFF8FCF8u);
  EXPECT_EQ(ConvertPixel(r565, x888, 0x00FF8040), (0x1Fu << 11) | (0x20u << 5) | 0x08u);
  EXPECT_EQ(ConvertPixel(argb, r565, 0), 0xFF000000u);  // no source alpha: opaque
  EXPECT_EQ(ConvertPixel(argb, argb, 0x12345678), 0x12345678u);
  ColorFormat a1555{};
  CreateColorFormat(&a1555, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
  EXPECT_EQ(ConvertPixel(&a1555, argb, 0x80FF0000), 0xFC00u);
  EXPECT_EQ(ConvertPixel(&a1555, argb, 0x7FFF0000), 0x7C00u);
  const ColorFormat* depth = GetColorFormat(3, 0, 0);
  EXPECT_EQ(ConvertPixel(depth, depth, 0xBEEF), 0xBEEFu);
}

}  // namespace
