// The pixel operations of the triangle spans at 16 and 32 bits and of the
// flat-colour triangles (gates, weights, tint, every blend mode with its
// rounding and saturation), and the differential test of every span loop
// against the per-pixel reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "engine/softrender/triangle_mem_img.h"
#include "random_source.h"
#include "triangle_reference.h"
#include "triangle_test_support.h"

using namespace softrender_test;

namespace {

// A triangle over pixel (0, 0) whose other pixels map outside a 1 x 1 source.
constexpr TriangleRecord kOnePixel{{{0, 0, 0, 0}, {2, 0, 2, 0}, {0, 2, 0, 2}}};
constexpr uint32_t kNoMatch = 0x12345678;

enum Form { kDirect, kAlpha, kPalette };

struct PixelCase {
  const char* name;
  int kind;
  Form form;
  int mode, value;
  uint32_t bright;  // 0x00RRGGBB
  bool blend;       // blend byte 255 weighing 255
  int trans;
  uint32_t texel;  // colour (with alpha in its place for alpha sources); palette: entry 1
  uint32_t dst, want;
  uint32_t trans_colour = kNoMatch;
};

class TriangleSpansTest : public DrawStateTest {
 protected:
  uint32_t DrawOne(const PixelCase& c) {
    TestImage src = MakeImage(c.kind, c.form == kPalette, c.form == kAlpha, 1, 1);
    if (c.form == kPalette) {
      src.Set(0, 0, 1);
      std::memcpy(src.get()->DrawPalette + (c.kind ? 4 : 2), &c.texel, c.kind ? 4 : 2);
      // Index 2 holds the same colour: only the index decides transparency.
      std::memcpy(src.get()->DrawPalette + 2 * (c.kind ? 4 : 2), &c.texel, c.kind ? 4 : 2);
    } else {
      src.Set(0, 0, c.texel);
    }
    src.get()->TransColor = c.trans_colour;
    TestImage blend = MakeImage(2, 0, 0, 1, 1);
    blend.Set(0, 0, 255);
    BuildBlendGraphTable(128, 64);
    TestImage dst = MakeImage(c.kind, 0, 0, 3, 3);
    Fill(dst, c.dst);
    SetBlend(c.mode, c.value);
    CurrentDrawState.DrawBright = c.bright;
    DrawTriangleMemImg(dst.get(), src.get(), &kOnePixel, c.trans, c.blend ? blend.get() : nullptr,
                       0);
    EXPECT_EQ(dst.Get(1, 0), c.dst) << c.name << ": only pixel (0, 0) is drawn";
    return dst.Get(0, 0);
  }
  uint32_t DrawFlat(int kind, int mode, int value, uint32_t bright, uint32_t colour,
                    uint32_t dst_px, int trans = 0, bool blend = false) {
    TestImage dst = MakeImage(kind, 0, 0, 3, 3);
    Fill(dst, dst_px);
    TestImage b = MakeImage(2, 0, 0, 4, 4);
    SetBlend(mode, value);
    CurrentDrawState.DrawBright = bright;
    DrawTriangleMemImg(dst.get(), nullptr, &kOnePixel, trans, blend ? b.get() : nullptr, colour);
    return dst.Get(0, 0);
  }
};

constexpr uint32_t W16 = P16(31, 63, 31);
constexpr uint32_t W32 = P32(255, 255, 255);
constexpr uint32_t kWhite = 0xffffff;

TEST_F(TriangleSpansTest, SixteenBitOperations) {
  const PixelCase cases[] = {
      {"subtract black from white", 0, kDirect, 3, 255, kWhite, false, 0, 0, W16, P16(31, 62, 31)},
      {"subtract black from green 1", 0, kDirect, 3, 255, kWhite, false, 0, 0, P16(0, 1, 0),
       P16(1, 0, 0)},
      {"subtract blue 5 from black", 0, kDirect, 3, 255, kWhite, false, 0, P16(0, 0, 5), 0,
       P16(1, 0, 0)},
      {"palette subtract at P = 0", 0, kPalette, 3, 0, kWhite, false, 0, W16, P16(0, 1, 0),
       P16(1, 0, 0)},
      {"palette subtract at P = 0 on white", 0, kPalette, 3, 0, kWhite, false, 0, W16, W16,
       P16(31, 62, 31)},
      {"direct subtract at P = 0", 0, kDirect, 3, 0, kWhite, false, 0, W16, P16(0, 1, 0),
       P16(0, 1, 0)},
      {"add carries blue into green", 0, kDirect, 2, 255, kWhite, false, 0, P16(0, 0, 1),
       P16(0, 0, 31), P16(0, 1, 31)},
      {"alpha 128 white over black", 0, kDirect, 1, 128, kWhite, false, 0, W16, 0, P16(15, 31, 15)},
      {"alpha 128 black over white", 0, kDirect, 1, 128, kWhite, false, 0, 0, W16, P16(16, 32, 16)},
      {"multiply, alpha 0 gated", 0, kAlpha, 4, 0, kWhite, false, 1, W16, W16, 0},
      {"multiply, alpha 128 gated", 0, kAlpha, 4, 0, kWhite, false, 1, W16 | (128u << 16), W16,
       P16(15, 31, 15)},
      {"multiply, alpha 255 gated", 0, kAlpha, 4, 0, kWhite, false, 1, W16 | (255u << 16), W16,
       P16(30, 62, 30)},
      {"multiply, alpha 255 weighted", 0, kAlpha, 4, 0, kWhite, false, 0, W16 | (255u << 16), W16,
       P16(29, 61, 29)},
      {"copy, alpha 255 weighted", 0, kAlpha, 0, 0, kWhite, false, 0, W16 | (255u << 16), 0,
       P16(30, 62, 30)},
      {"copy, alpha 255 gated", 0, kAlpha, 0, 0, kWhite, false, 1, W16 | (255u << 16), 0, W16},
      {"copy, alpha 0 gated", 0, kAlpha, 0, 0, kWhite, false, 1, W16, P16(1, 2, 3), P16(1, 2, 3)},
      {"copy, alpha 0 weighted", 0, kAlpha, 0, 0, kWhite, false, 0, W16, P16(1, 2, 3),
       P16(1, 2, 3)},
      {"blend weight 255, white over black", 0, kDirect, 0, 0, kWhite, true, 0, W16, 0,
       P16(30, 62, 30)},
      {"blend weight 255, black over white", 0, kDirect, 0, 0, kWhite, true, 0, 0, W16, 0},
      {"transparent texel skipped", 0, kDirect, 0, 0, kWhite, false, 1, P16(1, 2, 3), 0, 0,
       P16(1, 2, 3)},
      {"transparent colour above 16 bits", 0, kDirect, 0, 0, kWhite, false, 1, P16(1, 2, 3), 0,
       P16(1, 2, 3), 0x10000u | P16(1, 2, 3)},
      {"tinted copy", 0, kDirect, 0, 0, 0xfffffe, false, 0, W16, 0, P16(31, 63, 30)},
      {"tinted alpha-weighted add: weight before tint", 0, kAlpha, 2, 255, 0x80ff40, false, 0,
       P16(31, 63, 31) | (200u << 16), 0, P16(12, 49, 6)},
      {"alpha 1 at P = 255 is copy", 0, kDirect, 1, 255, kWhite, false, 0, P16(3, 4, 5), 0,
       P16(3, 4, 5)},
  };
  for (const PixelCase& c : cases) EXPECT_EQ(DrawOne(c), c.want) << c.name;
}

TEST_F(TriangleSpansTest, ThirtyTwoBitOperations) {
  const PixelCase cases[] = {
      {"multiply, alpha 0 gated blackens", 1, kAlpha, 4, 0, kWhite, false, 1, 0x00ffffff,
       P32(200, 200, 200, 0x33), P32(0, 0, 0, 0x33)},
      {"multiply, alpha 255 gated", 1, kAlpha, 4, 0, kWhite, false, 1, 0xffffffff,
       P32(200, 200, 200, 0x33), P32(199, 199, 199, 0x33)},
      {"multiply, alpha 255 weighted", 1, kAlpha, 4, 0, kWhite, false, 0, 0xffffffff,
       P32(200, 200, 200, 0x33), P32(198, 198, 198, 0x33)},
      {"alpha 0 gated leaves all four bytes (add)", 1, kAlpha, 2, 100, kWhite, false, 1, 0x00ffffff,
       P32(1, 2, 3, 4), P32(1, 2, 3, 4)},
      {"alpha 255 gated copies alpha byte", 1, kAlpha, 0, 0, kWhite, false, 1, 0xff102030,
       P32(1, 2, 3, 4), 0xff102030},
      {"alpha 255 weighted: blue 255 over 0 gives 254", 1, kAlpha, 0, 0, kWhite, false, 0,
       0xff0000ff, P32(0, 0, 0, 9), P32(0, 0, 254, 9)},
      {"palette subtract at P = 0", 1, kPalette, 3, 0, kWhite, false, 0, W32, 0x80402010,
       0x00412110},
      {"palette copy writes the whole entry", 1, kPalette, 0, 0, kWhite, false, 0, 0x7f010203,
       P32(9, 9, 9, 0x11), 0x7f010203},
      {"tinted palette copy keeps the fourth byte", 1, kPalette, 0, 0, 0xfffffe, false, 0,
       0x7f0102ff, P32(9, 9, 9, 0x11), 0x110102fe},
      {"palette transparent index skipped", 1, kPalette, 0, 0, kWhite, false, 1, 0x7f010203,
       P32(9, 9, 9), P32(9, 9, 9), 1},
      {"subtract with borrow into red", 1, kDirect, 3, 255, kWhite, false, 0, 0x10,
       P32(0x40, 0x20, 0x05, 0x66), P32(0x41, 0x20, 0x00, 0)},
      {"texel differing only in fourth byte is drawn", 1, kDirect, 0, 0, kWhite, false, 1,
       0x01345678, 0, 0x01345678},
      {"alpha 128 weighted mix", 1, kDirect, 1, 128, kWhite, false, 0, W32, P32(0, 0, 0, 0x7f),
       P32(127, 127, 127, 0x7f)},
      {"add full form sets the red carry", 1, kDirect, 2, 255, kWhite, false, 0, P32(128, 0, 0),
       P32(128, 0, 0), P32(255, 0, 0, 1)},
  };
  for (const PixelCase& c : cases) EXPECT_EQ(DrawOne(c), c.want) << c.name;
}

TEST_F(TriangleSpansTest, FlatColourOperations) {
  struct Case {
    const char* name;
    int kind, mode, value;
    uint32_t bright, colour, dst, want;
  };
  const Case cases[] = {
      {"16 tinted copy", 0, 0, 0, 0xfffffe, W16, 0, P16(31, 63, 30)},
      {"16 alpha 128", 0, 1, 128, kWhite, W16, 0, P16(15, 31, 15)},
      {"16 subtract black from black", 0, 3, 255, kWhite, 0, 0, P16(1, 0, 0)},
      {"16 subtract black from white", 0, 3, 255, kWhite, 0, W16, P16(31, 62, 31)},
      {"16 multiply ignores P", 0, 4, 0, kWhite, W16, W16, P16(30, 62, 30)},
      {"16 alpha at 0", 0, 1, 0, kWhite, W16, P16(1, 2, 3), P16(1, 2, 3)},
      {"16 add at 0", 0, 2, 0, kWhite, W16, P16(1, 2, 3), P16(1, 2, 3)},
      {"16 subtract at 0", 0, 3, 0, kWhite, W16, P16(1, 2, 3), P16(1, 2, 3)},
      {"16 colour bits above 15 ignored", 0, 0, 0, kWhite, 0xabcd0000u | P16(1, 2, 3), 0,
       P16(1, 2, 3)},
      {"32 copy writes the fourth byte", 1, 0, 0, kWhite, 0x80402010, P32(1, 2, 3, 4), 0x80402010},
      {"32 tinted copy keeps the colour's fourth byte", 1, 0, 0, 0xffff00, 0x80ffffff, 0,
       P32(255, 255, 0, 0x80)},
      {"32 alpha 128", 1, 1, 128, kWhite, W32, P32(0, 0, 0, 0x7f), P32(127, 127, 127, 0x7f)},
      {"32 add", 1, 2, 255, kWhite, P32(0, 0, 0x80), P32(0, 0, 0x80, 0x55), P32(0, 1, 255, 0)},
      {"32 subtract", 1, 3, 255, kWhite, 0, P32(0, 0, 0, 0x44), P32(1, 1, 0, 0)},
      {"32 multiply", 1, 4, 77, kWhite, W32, P32(200, 200, 200, 0x44), P32(199, 199, 199, 0x44)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DrawFlat(c.kind, c.mode, c.value, c.bright, c.colour, c.dst), c.want) << c.name;
    // The transparency flag and a blend image change nothing.
    EXPECT_EQ(DrawFlat(c.kind, c.mode, c.value, c.bright, c.colour, c.dst, 1, true), c.want)
        << c.name;
  }
}

// A blend image that does not cover the source is refused.
TEST_F(TriangleSpansTest, BlendImageSmallerThanTheSourceIsRefused) {
  TestImage src = MakeImage(1, 0, 0, 4, 4);
  Fill(src, W32);
  TestImage blend = MakeImage(2, 0, 0, 4, 3);
  TestImage dst = MakeImage(1, 0, 0, 6, 6);
  Fill(dst, 0);
  const TestImage before = CloneImage(dst);
  const TriangleRecord t{{{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}}};
  DrawTriangleMemImg(dst.get(), src.get(), &t, 0, blend.get(), 0);
  EXPECT_EQ(dst.pixels, before.pixels);
}

// ---- Differential test ----------------------------------------------------

TEST_F(TriangleSpansTest, EverySpanLoopMatchesTheReference) {
  const int values[] = {0, 1, 128, 200, 255};
  const uint32_t brights[] = {0xffffff, 0x7f30a5};
  const TriangleRecord tris[] = {
      {{{1, 0, 0, 0}, {13, 2, 9, 1}, {3, 9, 2, 7}}},     // general, scaled up
      {{{14, 1, 0, 0}, {0, 3, 9, 6}, {9, 8, 3, 7}}},     // general, middle on the left
      {{{-3, -2, 12, 0}, {9, -2, 0, 2}, {4, 7, 6, 9}}},  // flat top, clipped, mirrored
      {{{2, 1, 1, 1}, {15, 9, 30, 19}, {4, 9, 2, 20}}},  // flat bottom, minified
      {{{1, 0, 0, -1}, {14, 2, 9, 1}, {4, 9, 2, 8}}},    // texel rows along the spans
  };
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 3; ++form) {
      std::mt19937 rng(77 + kind * 10 + form);
      const TestImage src = RandomSource(rng, kind, form, 10, 8, RandomSourceOptions{});
      TestImage blend = MakeImage(2, 0, 0, 11, 8);
      FillRandom(blend, rng);
      TestImage dest = MakeImage(kind, 0, 0, 16, 10, 4);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 5; ++mode) {
        for (int value : values) {
          for (int b = 0; b < 2; ++b) {
            for (uint32_t bright : brights) {
              for (int trans = 0; trans < 2; ++trans) {
                BuildBlendGraphTable(static_cast<int>(rng() & 255), static_cast<int>(rng() & 255));
                SetBlend(mode, value);
                CurrentDrawState.DrawBright = bright;
                SetArea(0, 1, 15, 10);
                for (size_t ti = 0; ti < std::size(tris); ++ti) {
                  for (int flat = 0; flat < (form == 0 ? 2 : 1); ++flat) {
                    const MEMIMG* s = flat ? nullptr : src.get();
                    const MEMIMG* bi = b ? blend.get() : nullptr;
                    const uint32_t colour = kind ? 0x9a3c7f21u : 0x7bcdu;
                    TestImage got = CloneImage(dest), want = CloneImage(dest);
                    DrawTriangleMemImg(got.get(), s, &tris[ti], trans, bi, colour);
                    ReferenceDrawTriangle(want.get(), s, tris[ti], trans, bi, colour,
                                          CurrentDrawState, BlendGraphTable);
                    if (got.pixels != want.pixels && failures++ < 10) {
                      ADD_FAILURE() << "kind " << kind << " form " << form << " flat " << flat
                                    << " mode " << mode << " P " << value << " blend " << b
                                    << " bright " << bright << " trans " << trans << " tri " << ti;
                    }
                  }
                }
              }
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Many shapes through the tests' own set-up and walk: flat tops and
// bottoms, middle vertices on either side, slivers, vertices off every edge
// of the draw area and texels mapped beyond the source.
TEST_F(TriangleSpansTest, RandomGeometryMatchesTheReference) {
  std::mt19937 rng(2024);
  auto coord = [&](int lo, int hi) { return lo + static_cast<int>(rng() % uint32_t(hi - lo + 1)); };
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    const TestImage src = RandomSource(rng, kind, 0, 10, 8, RandomSourceOptions{});
    TestImage dest = MakeImage(kind, 0, 0, 40, 30, 2);
    FillRandom(dest, rng);
    for (int i = 0; i < 600; ++i) {
      TriangleRecord t{};
      for (auto& v : t.v) {
        v[0] = coord(-8, 46);
        v[1] = coord(-8, 36);
        v[2] = coord(-4, 14);
        v[3] = coord(-4, 12);
      }
      if (i % 5 == 0) t.v[1][1] = t.v[0][1];  // flat top or bottom
      if (i % 7 == 0) t.v[2][0] = t.v[0][0];  // vertical edge
      if (i % 3 == 0) {
        // Texel rows along the spans (v changes only from row to row).
        const int shift = coord(-3, 3);
        for (auto& v : t.v) v[3] = std::clamp(v[1] + shift, -8192, 8191);
      }
      SetBlend(i % 2 ? 1 : 0, 100);
      SetArea(i % 3, 1, 40 - i % 4, 29);
      for (int flat = 0; flat < 2; ++flat) {
        const MEMIMG* s = flat ? nullptr : src.get();
        TestImage got = CloneImage(dest), want = CloneImage(dest);
        DrawTriangleMemImg(got.get(), s, &t, 0, nullptr, 0x5a5a5a5au);
        ReferenceDrawTriangle(want.get(), s, t, 0, nullptr, 0x5a5a5a5au, CurrentDrawState,
                              BlendGraphTable);
        if (got.pixels != want.pixels && failures++ < 10) {
          ADD_FAILURE() << "kind " << kind << " flat " << flat << " triangle (" << t.v[0][0] << ","
                        << t.v[0][1] << " " << t.v[0][2] << "," << t.v[0][3] << ") (" << t.v[1][0]
                        << "," << t.v[1][1] << " " << t.v[1][2] << "," << t.v[1][3] << ") ("
                        << t.v[2][0] << "," << t.v[2][1] << " " << t.v[2][2] << "," << t.v[2][3]
                        << ")";
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
