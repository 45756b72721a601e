// The texture-format table: which offered format lands in which entry, and
// the fall-backs with their order.
#include <gtest/gtest.h>

#include <vector>

#include "engine/graphics/d3d_device.h"
#include "engine/graphics/texture_format_table.h"

namespace {

DDPixelFormat Rgb(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0,
                  uint32_t extraFlags = 0) {
  DDPixelFormat f{};
  MakeDDPixelFormat(&f, static_cast<int>(bits), r, g, b, a);
  f.Flags |= extraFlags;
  return f;
}

const DDPixelFormat k565 = Rgb(16, 0xF800, 0x7E0, 0x1F);
const DDPixelFormat k555 = Rgb(16, 0x7C00, 0x3E0, 0x1F);
const DDPixelFormat kX888 = Rgb(32, 0xFF0000, 0xFF00, 0xFF);
const DDPixelFormat k4444 = Rgb(16, 0xF00, 0xF0, 0xF, 0xF000);
const DDPixelFormat k1555 = Rgb(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const DDPixelFormat k8888 = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

ColorFormat ScreenOf(const DDPixelFormat& f) {
  ColorFormat c{};
  ColorFormatFromDDPixelFormat(&f, &c);
  return c;
}

TextureFormatTable Fill(const std::vector<DDPixelFormat>& offered, const DDPixelFormat& screen) {
  TextureFormatTable t;
  const ColorFormat s = ScreenOf(screen);
  for (const DDPixelFormat& f : offered) OfferTextureFormat(t, f, s);
  CompleteTextureFormatTable(t);
  return t;
}

uint32_t AlphaOf(const TextureFormatTable& t, int i) {
  return t.Entries[static_cast<size_t>(i)].Format.AlphaMask;
}
uint32_t RedOf(const TextureFormatTable& t, int i) {
  return t.Entries[static_cast<size_t>(i)].Format.RedMask;
}
int DepthOf(const TextureFormatTable& t, int i) {
  return t.Entries[static_cast<size_t>(i)].Format.BitDepth;
}

TEST(TextureFormatTable, EveryKindFoundByTheEnumeration) {
  const TextureFormatTable t = Fill({k565, kX888, k4444, k1555, k8888}, k565);
  EXPECT_EQ(t.Plain16Found, 1);
  EXPECT_EQ(RedOf(t, 0), 0xF800u);
  EXPECT_EQ(DepthOf(t, 1), 32);
  EXPECT_EQ(AlphaOf(t, 2), 0xF000u);
  EXPECT_EQ(AlphaOf(t, 3), 0xFF000000u);
  EXPECT_EQ(AlphaOf(t, 4), 0x8000u);
  EXPECT_EQ(AlphaOf(t, 5), 0xFF000000u);
  EXPECT_EQ(RedOf(t, 6), 0xF800u);
  EXPECT_EQ(DepthOf(t, 7), 32);
  EXPECT_EQ(AlphaOf(t, 8), 0xFF000000u);
  EXPECT_EQ(t.Entries[0].PixelFormat.RgbBitCount, 16u);
}

TEST(TextureFormatTable, FallBacksRunInOrder) {
  // Only 5-6-5 and 4-4-4-4: 1 copies 0, 3 copies 2, 4 copies 2, 5 copies 3
  // after 3's own fall-back, 6-8 copy 0, 1 and 3.
  const TextureFormatTable t = Fill({k565, k4444}, k565);
  EXPECT_EQ(DepthOf(t, 1), 16);
  EXPECT_EQ(RedOf(t, 1), 0xF800u);
  for (int i : {3, 4, 5, 8}) EXPECT_EQ(AlphaOf(t, i), 0xF000u) << "entry " << i;
  EXPECT_EQ(RedOf(t, 7), 0xF800u);

  // No 4-4-4-4: entry 4 copies entry 2 as it stands (empty), entry 5 the
  // 8-8-8-8 format found for 3.
  const TextureFormatTable u = Fill({k565, k8888}, k565);
  EXPECT_EQ(DepthOf(u, 2), 0);
  EXPECT_EQ(DepthOf(u, 4), 0);
  EXPECT_EQ(AlphaOf(u, 5), 0xFF000000u);
}

TEST(TextureFormatTable, LaterFormatsOfAKindReplaceEarlierOnes) {
  const DDPixelFormat other4444 = Rgb(16, 0xF, 0xF0, 0xF00, 0xF000);
  const TextureFormatTable t = Fill({k565, k4444, other4444}, k565);
  EXPECT_EQ(RedOf(t, 2), 0xFu);
}

TEST(TextureFormatTable, APlainFormatEqualToTheScreensWins) {
  struct Case {
    std::vector<DDPixelFormat> offered;
    DDPixelFormat screen;
    uint32_t red16;
  };
  const Case cases[] = {
      {{k565, k555}, k565, 0xF800u},  // the screen's first; the later one may not replace it
      {{k555, k565}, k565, 0xF800u},  // the screen's later: it replaces the first
      {{k565, k555}, kX888, 0xF800u}, // neither is the screen's: the first stays
      {{k555, k565}, k555, 0x7C00u},
  };
  for (const Case& c : cases) {
    const TextureFormatTable t = Fill(c.offered, c.screen);
    EXPECT_EQ(RedOf(t, 0), c.red16);
  }
}

TEST(TextureFormatTable, SkippedFormatsAndNoPlain16) {
  TextureFormatTable t;
  const ColorFormat s = ScreenOf(k565);
  OfferTextureFormat(t, Rgb(16, 0xF800, 0x7E0, 0x1F, 0, kDDPixelFormatLuminance), s);
  OfferTextureFormat(t, Rgb(16, 0xF800, 0x7E0, 0x1F, 0, kDDPixelFormatBumpDuDv), s);
  OfferTextureFormat(t, Rgb(16, 0xF800, 0x7E0, 0x1F, 0, kDDPixelFormatFourCC), s);
  OfferTextureFormat(t, Rgb(16, 0, 0, 0, 0xFFFF, kDDPixelFormatAlphaOnly), s);
  OfferTextureFormat(t, Rgb(24, 0xFF0000, 0xFF00, 0xFF), s);
  OfferTextureFormat(t, Rgb(16, 0xF00, 0xF0, 0xF, 0x3000), s);  // other alpha masks ignored
  OfferTextureFormat(t, kX888, s);  // 32 bits never sets the found flag
  EXPECT_EQ(t.Plain16Found, 0);
  for (int i = 0; i < kTextureFormatCount; ++i) {
    if (i != 1) {
      EXPECT_EQ(DepthOf(t, i), 0) << "entry " << i;
    }
  }
}

TEST(TextureFormatTable, SelectionByCreationFlags) {
  struct Case {
    uint8_t alpha, drawable, test, depth;
    int index;
  };
  const Case cases[] = {
      {0, 0, 1, 16, 4}, {0, 0, 1, 32, 5}, {0, 1, 0, 16, 6}, {0, 1, 0, 32, 7}, {1, 1, 0, 16, 8},
      {0, 1, 1, 32, 8}, {1, 0, 0, 32, 3}, {1, 0, 1, 16, 2}, {0, 0, 0, 16, 0}, {0, 0, 0, 32, 1},
  };
  for (const Case& c : cases) {
    GraphCreationFlags f{};
    f.AlphaChFlag = c.alpha;
    f.DrawValid = c.drawable;
    f.AlphaTestFlag = c.test;
    f.ColorBitDepth = c.depth;
    EXPECT_EQ(SelectTextureFormat(f), c.index);
  }
  ResetDirect3DState();
  GetDirect3DState().TextureFormats = Fill({k565, kX888, k4444, k1555, k8888}, k565);
  EXPECT_EQ(GetTextureColorFormatFor(0, 1, 0, 0)->AlphaMask, 0x8000u);
  EXPECT_EQ(GetTextureColorFormatFor(1, 0, 1, 0)->AlphaMask, 0xFF000000u);
  EXPECT_EQ(GetTexturePixelFormat(9), nullptr);
  EXPECT_EQ(GetTextureColorFormat(-1), nullptr);
  ResetDirect3DState();
}

}  // namespace
