// The rotated and scaled blit: the fixed-point set-up with every rounding
// pinned by vectors (pi/2, 45 degrees, 0.6 rad, a negative scale, the double
// quotient of the column step, the single rounding of a product), placement
// and sampling at angle 0, pi/2 and scale 2, negative and zero scale, the
// turn flag through the four-point draw, the pixel operations, sources taller
// than 4096 rows and wider than 8192 columns, and the differential test of
// every loop against the per-pixel reference.
#include "engine/softrender/rotate_blit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>

#include "engine/softrender/quad_mem_img.h"
#include "random_source.h"
#include "triangle_reference.h"
#include "triangle_test_support.h"

using namespace softrender_test;
using softrender::RotateBlitGeometry;

namespace {

class RotateBlitTest : public DrawStateTest {};

TestImage TexelSource(int w, int h) {
  TestImage src = MakeImage(1, 0, 0, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src.Set(x, y, 0x10000u + 0x100u * y + x);
  return src;
}
uint32_t Texel(int x, int y) { return 0x10000u + 0x100u * y + x; }

struct GeometryCase {
  const char* name;
  uint32_t w, h;
  int32_t cx, cy;
  float angle, scale;
  int32_t s_neg, c_neg, s_pos, c_pos;
  float a, b, c, d;
  int32_t corner_x[4], corner_y[4];
  float inv;
  int32_t du, dv;
  struct Sample {
    int32_t x, y;
    uint32_t u, v;
  } samples[4];
  int sample_count;
};

TEST(RotateGeometryTest, FixedRoundingVectors) {
  // Values of an independent model of the same roundings.
  // clang-format off
  const GeometryCase cases[] = {
      {"pi/2", 4, 2, 100, 100, static_cast<float>(std::numbers::pi / 2), 1.0f,
       -262144, 0, 262144, 0,
       0.0f, 524288.0f, 0.0f, 262144.0f,
       {26476544, 25952256, 25952256, 26476544}, {25690112, 25690112, 26738688, 26738688},
       1.0f, 0, -262144,
       {{101, 98, 0, 0}, {100, 98, 0, 262144}, {101, 101, 786432, 0},
        {97, 96, 4294443008u, 1048576}}, 4},
      {"45 degrees", 256, 256, 320, 240, static_cast<float>(std::numbers::pi / 4), 1.0f,
       -185363, 185363, 185363, 185363,
       23726464.0f, 23726464.0f, 23726464.0f, 23726464.0f,
       {83886080, 36433152, 83886080, 131339008}, {15461632, 62914560, 110367488, 62914560},
       1.0f, 185363, -185363,
       {{320, 240, 33554432, 33554432}, {140, 240, 189092, 66919772},
        {500, 60, 33554432, 4261791048u}, {230, 150, 189092, 33554432}}, 4},
      {"0.6 rad at 1.5", 7, 5, 50, 40, 0.6f, 1.5f,
       -148017, 216356, 148017, 216356,
       1135869.0f, 777089.25f, 811335.0f, 555063.75f,
       {12526395, 11416268, 13688005, 14798132}, {8897336, 10520005, 12074184, 10451515},
       0.6666666865348816f, 144237, -98678,
       {{50, 40, 786432, 524288}, {44, 35, 4294394914u, 395170}, {57, 46, 2388161, 698966},
        {45, 42, 262602, 1306152}}, 4},
      {"negative scale", 6, 4, 30, 30, 0.3f, -0.75f,
       -77468, 250435, 77468, 250435,
       -563478.75f, -174303.0f, -375652.5f, -116202.0f,
       {8311596, 8544000, 7417044, 7184640}, {8414275, 7662971, 7314365, 8065669},
       -1.3333333730697632f, -333913, 103290,
       {{30, 30, 786432, 524288}, {27, 28, 1994753, 882242}}, 2},
  };
  // clang-format on
  for (const GeometryCase& c : cases) {
    RotateBlitGeometry g;
    softrender::ComputeRotateGeometry(c.w, c.h, c.cx, c.cy, c.angle, c.scale, &g);
    EXPECT_EQ(g.s_neg, c.s_neg) << c.name;
    EXPECT_EQ(g.c_neg, c.c_neg) << c.name;
    EXPECT_EQ(g.s_pos, c.s_pos) << c.name;
    EXPECT_EQ(g.c_pos, c.c_pos) << c.name;
    EXPECT_EQ(g.a, c.a) << c.name;
    EXPECT_EQ(g.b, c.b) << c.name;
    EXPECT_EQ(g.c, c.c) << c.name;
    EXPECT_EQ(g.d, c.d) << c.name;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(g.corner_x[i], c.corner_x[i]) << c.name << " corner " << i;
      EXPECT_EQ(g.corner_y[i], c.corner_y[i]) << c.name << " corner " << i;
    }
    EXPECT_EQ(g.inv, c.inv) << c.name;
    EXPECT_EQ(g.du, c.du) << c.name;
    EXPECT_EQ(g.dv, c.dv) << c.name;
    for (int i = 0; i < c.sample_count; ++i) {
      const auto& s = c.samples[i];
      EXPECT_EQ(softrender::RotateSampleU(g, s.x, s.y), s.u)
          << c.name << " at " << s.x << "," << s.y;
      EXPECT_EQ(softrender::RotateSampleV(g, s.x, s.y), s.v)
          << c.name << " at " << s.x << "," << s.y;
    }
  }
}

// The column step multiplies by 1 / scale taken in double, not by the float
// inverse: here the two differ by one unit.
TEST(RotateGeometryTest, ColumnStepUsesTheDoubleQuotient) {
  RotateBlitGeometry g;
  softrender::ComputeRotateGeometry(4, 4, 0, 0, 0.6f, 0x1.10da0ep-1f, &g);
  EXPECT_EQ(g.c_pos, 216356);
  EXPECT_EQ(g.du, 405987);
  EXPECT_EQ(static_cast<int32_t>(static_cast<float>(g.c_pos) * g.inv), 405986);
}

// A product is rounded to float once: 3 * q lies just above a float midpoint,
// which rounding through double would lose.
TEST(RotateGeometryTest, ProductIsRoundedOnce) {
  const double q = 0x1.555556aaaaaabp+22;
  EXPECT_EQ(softrender::ProductToFloat(3, q), 16777218.0f);
  EXPECT_EQ(static_cast<float>(3.0 * q), 16777216.0f);
  EXPECT_EQ(softrender::ProductToFloat(-3, q), -16777218.0f);
  EXPECT_EQ(softrender::ProductToFloat(0, q), 0.0f);
  EXPECT_EQ(softrender::ProductToFloat(123456789, 0.5), 61728396.0f);
  EXPECT_EQ(softrender::ProductToFloat(INT32_MIN, -1.0), 2147483648.0f);
}

TEST_F(RotateBlitTest, AngleZeroIsAnExactCopy) {
  TestImage src = TexelSource(10, 6);
  TestImage dst = MakeImage(1, 0, 0, 120, 60);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src.get(), 100, 50, 0.0f, 1.0f, 0, 0, nullptr);
  for (int y = 40; y < 60; ++y)
    for (int x = 88; x < 115; ++x) {
      const bool in = x >= 95 && x <= 104 && y >= 47 && y <= 52;
      EXPECT_EQ(dst.Get(x, y), in ? Texel(x - 95, y - 47) : 0u) << x << "," << y;
    }
}

TEST_F(RotateBlitTest, PlacementAndScale) {
  // 5 x 5 at (100, 100): texel (2, 2) on the centre.
  TestImage src5 = TexelSource(5, 5);
  TestImage dst = MakeImage(1, 0, 0, 110, 110);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src5.get(), 100, 100, 0.0f, 1.0f, 0, 0, nullptr);
  EXPECT_EQ(dst.Get(100, 100), Texel(2, 2));
  EXPECT_EQ(dst.Get(98, 98), Texel(0, 0));
  EXPECT_EQ(dst.Get(102, 102), Texel(4, 4));
  EXPECT_EQ(dst.Get(97, 100), 0u);
  EXPECT_EQ(dst.Get(103, 100), 0u);
  // 4 x 4 at scale 2: columns and rows 96..103, each texel a 2 x 2 block.
  TestImage src4 = TexelSource(4, 4);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src4.get(), 100, 100, 0.0f, 2.0f, 0, 0, nullptr);
  for (int y = 94; y < 106; ++y)
    for (int x = 94; x < 106; ++x) {
      const bool in = x >= 96 && x <= 103 && y >= 96 && y <= 103;
      EXPECT_EQ(dst.Get(x, y), in ? Texel((x - 96) / 2, (y - 96) / 2) : 0u) << x << "," << y;
    }
}

TEST_F(RotateBlitTest, QuarterTurnIsClockwise) {
  TestImage src = TexelSource(4, 2);
  TestImage dst = MakeImage(1, 0, 0, 110, 110);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src.get(), 100, 100, static_cast<float>(std::numbers::pi / 2), 1.0f, 0,
                  0, nullptr);
  for (int y = 94; y < 106; ++y)
    for (int x = 94; x < 106; ++x) {
      const bool in = (x == 100 || x == 101) && y >= 98 && y <= 101;
      EXPECT_EQ(dst.Get(x, y), in ? Texel(y - 98, 101 - x) : 0u) << x << "," << y;
    }
}

TEST_F(RotateBlitTest, NegativeScaleAddsAHalfTurnAndZeroScaleDrawsNothing) {
  TestImage src = TexelSource(4, 2);
  TestImage dst = MakeImage(1, 0, 0, 110, 110);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src.get(), 100, 100, 0.0f, -1.0f, 0, 0, nullptr);
  for (int y = 94; y < 106; ++y)
    for (int x = 94; x < 106; ++x) {
      const bool in = x >= 99 && x <= 102 && y >= 100 && y <= 101;
      EXPECT_EQ(dst.Get(x, y), in ? Texel(102 - x, 101 - y) : 0u) << x << "," << y;
    }
  Fill(dst, 0);
  const TestImage before = CloneImage(dst);
  for (float scale : {0.0f, -0.0f}) {
    BltRotateMemImg(dst.get(), src.get(), 100, 100, 0.7f, scale, 0, 0, nullptr);
    BltRotateMemImg(dst.get(), src.get(), 100, 100, 0.7f, scale, 0, 1, nullptr);
  }
  EXPECT_EQ(dst.pixels, before.pixels);
}

TEST_F(RotateBlitTest, TurnFlagDrawsTheMirroredQuad) {
  TestImage src = TexelSource(10, 6);
  TestImage got = MakeImage(1, 0, 0, 120, 60), want = MakeImage(1, 0, 0, 120, 60);
  Fill(got, 0);
  Fill(want, 0);
  BltRotateMemImg(got.get(), src.get(), 100, 50, 0.0f, 1.0f, 0, 1, nullptr);
  const QuadRecord q{{{105, 47}, {95, 47}, {105, 53}, {95, 53}}};
  DrawQuadMemImg(want.get(), src.get(), &q, 0, nullptr);
  EXPECT_EQ(got.pixels, want.pixels);
  // A left-right mirror image: the source's left column lands on the right
  // (one column further right than the unmirrored image reaches, as the
  // rasteriser maps texel edges to pixel centres).
  EXPECT_EQ(got.Get(105, 47), Texel(0, 0));
  EXPECT_EQ(got.Get(97, 48), Texel(8, 1));
  EXPECT_EQ(got.Get(95, 48), 0u);
  // Refusals come first, also with the turn flag.
  TestImage pal_dst = MakeImage(1, 1, 0, 120, 60);
  const TestImage pal_before = CloneImage(pal_dst);
  BltRotateMemImg(pal_dst.get(), src.get(), 100, 50, 0.0f, 1.0f, 0, 1, nullptr);
  EXPECT_EQ(pal_dst.pixels, pal_before.pixels);
}

TEST_F(RotateBlitTest, PixelOperations) {
  struct Case {
    const char* name;
    int kind, palette, alpha, mode, value, trans;
    uint32_t texel, dst, want;
    uint32_t trans_colour = 0x12345678;
  };
  const Case cases[] = {
      {"palette subtract at P = 0, 32", 1, 1, 0, 3, 0, 0, 0, 0x80402010, 0x00412110},
      {"palette subtract at P = 0, 16", 0, 1, 0, 3, 0, 0, 0, 0x0020, 0x0800},
      {"direct subtract at P = 0", 1, 0, 0, 3, 0, 0, P32(9, 9, 9), 0x80402010, 0x80402010},
      {"alpha at 0", 1, 0, 0, 1, 0, 0, P32(9, 9, 9), 5, 5},
      {"add at 0", 0, 0, 0, 2, 0, 0, P16(9, 9, 9), 5, 5},
      {"alpha at 255 copies", 1, 0, 0, 1, 255, 0, 0x7f010203, 5, 0x7f010203},
      {"multiply alpha 0, flag on", 1, 0, 1, 4, 0, 1, 0x00ffffff, P32(9, 9, 9, 0x44),
       P32(0, 0, 0, 0x44)},
      {"multiply alpha 0, flag off", 0, 0, 1, 4, 0, 0, 0xffff, P16(9, 9, 9), 0},
      {"copy alpha 255, flag on: all four bytes", 1, 0, 1, 0, 0, 1, 0xff102030, P32(1, 2, 3, 4),
       0xff102030},
      {"copy alpha 0, flag on: left", 1, 0, 1, 0, 0, 1, 0x00102030, P32(1, 2, 3, 4),
       P32(1, 2, 3, 4)},
      {"copy alpha 255, flag off: weighted", 1, 0, 1, 0, 0, 0, 0xff0000ff, P32(0, 0, 0, 7),
       P32(0, 0, 254, 7)},
      {"palette transparent index", 1, 1, 0, 0, 0, 1, 0, P32(1, 1, 1), P32(1, 1, 1), 1},
      {"fourth byte differs from transparent colour", 1, 0, 0, 0, 0, 1, 0x01345678, 0, 0x01345678},
      {"mode 5", 1, 0, 0, 5, 100, 0, P32(9, 9, 9), 5, 5},
  };
  for (const Case& c : cases) {
    TestImage src = MakeImage(c.kind, c.palette, c.alpha, 1, 1);
    if (c.palette) {
      src.Set(0, 0, 1);
      const uint32_t entry = c.kind ? 0xffffffffu : 0xffffu;
      std::memcpy(src.get()->DrawPalette + (c.kind ? 4 : 2), &entry, c.kind ? 4 : 2);
      std::memcpy(src.get()->DrawPalette + 2 * (c.kind ? 4 : 2), &entry, c.kind ? 4 : 2);
    } else {
      src.Set(0, 0, c.texel);
    }
    src.get()->TransColor = c.trans_colour;
    TestImage dst = MakeImage(c.kind, 0, 0, 8, 8);
    Fill(dst, c.dst);
    SetBlend(c.mode, c.value);
    BltRotateMemImg(dst.get(), src.get(), 4, 4, 0.0f, 1.0f, c.trans, 0, nullptr);
    EXPECT_EQ(dst.Get(4, 4), c.want) << c.name;
    EXPECT_EQ(dst.Get(5, 4), c.dst) << c.name;
    EXPECT_EQ(dst.Get(4, 5), c.dst) << c.name;
  }
}

TEST_F(RotateBlitTest, RefusalsDrawNothing) {
  TestImage src = TexelSource(4, 4);
  TestImage src16 = MakeImage(0, 0, 0, 4, 4);
  TestImage src2 = MakeImage(2, 0, 0, 4, 4);
  TestImage dst = MakeImage(1, 0, 0, 16, 16);
  TestImage dst2 = MakeImage(2, 0, 0, 16, 16);
  TestImage alpha_dst = MakeImage(1, 0, 1, 16, 16);
  TestImage small_blend = MakeImage(2, 0, 0, 4, 3);
  const TestImage b1 = CloneImage(dst), b2 = CloneImage(dst2), b3 = CloneImage(alpha_dst);
  BltRotateMemImg(dst.get(), src16.get(), 8, 8, 0.5f, 1.0f, 0, 0, nullptr);
  BltRotateMemImg(dst2.get(), src2.get(), 8, 8, 0.5f, 1.0f, 0, 0, nullptr);
  BltRotateMemImg(alpha_dst.get(), src.get(), 8, 8, 0.5f, 1.0f, 0, 0, nullptr);
  BltRotateMemImg(dst.get(), src.get(), 8, 8, 0.5f, 1.0f, 0, 0, small_blend.get());
  BltRotateMemImg(dst.get(), src.get(), 8, 8, 0.5f, 1.0f, 0, 0, small_blend.get());
  // Outside the draw area.
  SetArea(0, 0, 4, 4);
  BltRotateMemImg(dst.get(), src.get(), 12, 12, 0.0f, 1.0f, 0, 0, nullptr);
  EXPECT_EQ(dst.pixels, b1.pixels);
  EXPECT_EQ(dst2.pixels, b2.pixels);
  EXPECT_EQ(alpha_dst.pixels, b3.pixels);
}

// The blend image is sampled at the source texel, so it turns with the image.
TEST_F(RotateBlitTest, BlendImageTurnsWithTheSource) {
  TestImage src = MakeImage(1, 0, 0, 4, 2);
  Fill(src, P32(255, 255, 255));
  TestImage blend = MakeImage(2, 0, 0, 4, 2);
  Fill(blend, 0);
  blend.Set(0, 0, 255);  // only texel (0, 0) is weighted in
  BuildBlendGraphTable(128, 64);
  TestImage dst = MakeImage(1, 0, 0, 110, 110);
  Fill(dst, 0);
  BltRotateMemImg(dst.get(), src.get(), 100, 100, static_cast<float>(std::numbers::pi / 2), 1.0f, 0,
                  0, blend.get());
  for (int y = 98; y <= 101; ++y)
    for (int x = 100; x <= 101; ++x)
      EXPECT_EQ(dst.Get(x, y), x == 101 && y == 98 ? P32(254, 254, 254) : 0u) << x << "," << y;
}

// A source taller than 4096 rows is served whole, its last rows included.
TEST_F(RotateBlitTest, SourceTallerThan4096Rows) {
  const int h = 5000;
  TestImage src = MakeImage(1, 0, 0, 3, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3; ++x) src.Set(x, y, uint32_t(y) * 4 + x + 1);
  TestImage dst = MakeImage(1, 0, 0, 5010, 10);
  Fill(dst, 0);
  SetArea(0, 0, 5010, 10);
  // A quarter turn lays the image on its side.
  BltRotateMemImg(dst.get(), src.get(), 2505, 5, static_cast<float>(std::numbers::pi / 2), 1.0f, 0,
                  0, nullptr);
  TestImage want = MakeImage(1, 0, 0, 5010, 10);
  Fill(want, 0);
  ReferenceRotateBlit(want.get(), src.get(), 2505, 5, static_cast<float>(std::numbers::pi / 2),
                      1.0f, 0, nullptr, CurrentDrawState, BlendGraphTable);
  EXPECT_EQ(dst.pixels, want.pixels);
  // Texel (x, y) lands on column 5005 - y and row 4 + x.
  EXPECT_EQ(dst.Get(501, 4), 4u * 4504 + 1);
  EXPECT_EQ(dst.Get(6, 6), 4u * 4999 + 3);
  EXPECT_EQ(dst.Get(5005, 5), 4u * 0 + 2);
  // Rows past 4096 are reached when the image is drawn upright, too.
  TestImage tall = MakeImage(1, 0, 0, 8, h + 4);
  Fill(tall, 0);
  SetArea(0, 0, 8, h + 4);
  BltRotateMemImg(tall.get(), src.get(), 4, 2500, 0.0f, 1.0f, 0, 0, nullptr);
  EXPECT_EQ(tall.Get(3, 4999), 4u * 4999 + 1);
  EXPECT_EQ(tall.Get(5, 4999), 4u * 4999 + 3);
}

// Sources wider than 8192 texels take texel coordinates of 2^31 and more:
// every column is taken unsigned. Sources of 16384 or more are refused.
TEST_F(RotateBlitTest, VeryWideSources) {
  const int w = 9000;
  TestImage src = MakeImage(1, 0, 0, w, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < w; ++x) src.Set(x, y, uint32_t(x) * 2 + y + 1);
  // Centred on column 0, so that the corners stay within the 14.18 range:
  // pixel x shows texel x + 4500, columns 8192 and up from x = 3692.
  const int dw = 4600;
  TestImage dst = MakeImage(1, 0, 0, dw, 4);
  Fill(dst, 0);
  SetArea(0, 0, dw, 4);
  BltRotateMemImg(dst.get(), src.get(), 0, 2, 0.0f, 1.0f, 0, 0, nullptr);
  int wrong = 0;
  for (int x = 0; x < dw; ++x) {
    const uint32_t want = x < 4500 ? uint32_t(x + 4500) * 2 + 1 : 0u;
    if (dst.Get(x, 1) != want && wrong++ < 5) ADD_FAILURE() << "column " << x;
  }
  EXPECT_EQ(dst.Get(4499, 2), uint32_t(8999) * 2 + 2);
  TestImage want = MakeImage(1, 0, 0, dw, 4);
  Fill(want, 0);
  ReferenceRotateBlit(want.get(), src.get(), 0, 2, 0.0f, 1.0f, 0, nullptr, CurrentDrawState,
                      BlendGraphTable);
  EXPECT_EQ(dst.pixels, want.pixels);
  TestImage huge = MakeImage(1, 0, 0, 16384, 1);
  Fill(huge, 7);
  Fill(dst, 0);
  const TestImage before = CloneImage(dst);
  BltRotateMemImg(dst.get(), huge.get(), 0, 2, 0.0f, 1.0f, 0, 0, nullptr);
  EXPECT_EQ(dst.pixels, before.pixels);
}

// Arguments beyond the 14.18 range, infinities and NaN draw garbage at
// worst, never outside the destination and never from outside the source.
TEST_F(RotateBlitTest, HostileArgumentsStayInside) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    int32_t cx, cy;
    float angle, scale;
  };
  const Case cases[] = {
      {8, 8, 0.4f, 1e9f},          {8, 8, 0.4f, 1e-9f},        {8, 8, inf, 1.0f},
      {8, 8, 0.4f, inf},           {8, 8, nan, 1.0f},          {8, 8, 0.4f, nan},
      {INT32_MAX, 8, 0.4f, 1.0f},  {8, INT32_MIN, 0.4f, 1.0f}, {9000, -9000, 1.0f, 3000.0f},
      {-8192, 8191, 3.0f, 700.0f},
  };
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 0, 0, 5, 4);
    Fill(src, 3);
    for (const Case& c : cases) {
      for (int turn = 0; turn < 2; ++turn) {
        TestImage dst = MakeImage(kind, 0, 0, 16, 16, 6);
        Fill(dst, 0);
        const TestImage before = CloneImage(dst);
        SetArea(-100, -100, 100, 100);
        BltRotateMemImg(dst.get(), src.get(), c.cx, c.cy, c.angle, c.scale, 1, turn, nullptr);
        const int row_bytes = 16 * (kind ? 4 : 2);
        for (int y = 0; y < 16; ++y)
          for (int i = row_bytes; i < row_bytes + 6; ++i)
            ASSERT_EQ(dst.pixels[y * (row_bytes + 6) + i], before.pixels[y * (row_bytes + 6) + i]);
      }
    }
  }
}

TEST_F(RotateBlitTest, EveryLoopMatchesTheReference) {
  struct Placement {
    int cx, cy;
    float angle, scale;
  };
  const Placement placements[] = {
      {8, 6, 0.3f, 1.3f},
      {5, 9, -1.2f, 0.7f},
      {9, 5, 2.5f, -0.9f},
      {1, 1, 0.0f, 1.0f},
  };
  const int values[] = {0, 1, 128, 200, 255};
  const uint32_t brights[] = {0xffffff, 0x7f30a5};
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 3; ++form) {
      std::mt19937 rng(300 + kind * 10 + form);
      const TestImage src = RandomSource(rng, kind, form, 9, 7, RandomSourceOptions{});
      TestImage blend = MakeImage(2, 0, 0, 9, 7);
      FillRandom(blend, rng);
      TestImage dest = MakeImage(kind, 0, 0, 18, 14, 6);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 5; ++mode) {
        for (int value : values) {
          for (int b = 0; b < 2; ++b) {
            for (uint32_t bright : brights) {
              for (int trans = 0; trans < 2; ++trans) {
                BuildBlendGraphTable(static_cast<int>(rng() & 255), static_cast<int>(rng() & 255));
                SetBlend(mode, value);
                CurrentDrawState.DrawBright = bright;
                SetArea(1, 0, 17, 13);
                for (const Placement& pl : placements) {
                  const MEMIMG* bi = b ? blend.get() : nullptr;
                  TestImage got = CloneImage(dest), want = CloneImage(dest);
                  BltRotateMemImg(got.get(), src.get(), pl.cx, pl.cy, pl.angle, pl.scale, trans, 0,
                                  bi);
                  ReferenceRotateBlit(want.get(), src.get(), pl.cx, pl.cy, pl.angle, pl.scale,
                                      trans, bi, CurrentDrawState, BlendGraphTable);
                  if (got.pixels != want.pixels && failures++ < 10) {
                    ADD_FAILURE() << "kind " << kind << " form " << form << " mode " << mode
                                  << " P " << value << " blend " << b << " bright " << bright
                                  << " trans " << trans << " angle " << pl.angle;
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

// Many placements through the tests' own geometry: any angle, scales from
// minified to magnified and negative, centres off every edge, odd and even
// source sizes.
TEST_F(RotateBlitTest, RandomGeometryMatchesTheReference) {
  std::mt19937 rng(4048);
  auto uniform = [&](float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(rng() % 100000u) / 100000.0f;
  };
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (const int size : {0, 1}) {
      const int w = size ? 8 : 7, h = size ? 6 : 5;
      const TestImage src = RandomSource(rng, kind, 0, w, h, RandomSourceOptions{});
      TestImage dest = MakeImage(kind, 0, 0, 40, 30, 2);
      FillRandom(dest, rng);
      for (int i = 0; i < 300; ++i) {
        const int cx = static_cast<int>(rng() % 56) - 8, cy = static_cast<int>(rng() % 46) - 8;
        const float angle = uniform(-7.0f, 7.0f);
        float scale = uniform(0.2f, 3.5f);
        if (i % 4 == 0) scale = -scale;
        if (i % 9 == 0) scale = 1.0f;
        SetBlend(i % 2 ? 1 : 0, 100);
        SetArea(i % 3, 1, 40 - i % 4, 29);
        TestImage got = CloneImage(dest), want = CloneImage(dest);
        BltRotateMemImg(got.get(), src.get(), cx, cy, angle, scale, 0, 0, nullptr);
        ReferenceRotateBlit(want.get(), src.get(), cx, cy, angle, scale, 0, nullptr,
                            CurrentDrawState, BlendGraphTable);
        if (got.pixels != want.pixels && failures++ < 10) {
          ADD_FAILURE() << "kind " << kind << " " << w << "x" << h << " centre " << cx << "," << cy
                        << " angle " << angle << " scale " << scale;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
