// The triangle rasteriser's geometry: sorting ties, degeneracy, gradient
// truncation, coverage maps of small triangles (the bottom row left out, both
// end pixels in, the texel test at the right end, the double-walked middle
// row of a top vertex above row 0, the right edge that starts one unit right
// of the middle vertex), texel maps, clipping and refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/softrender/triangle_mem_img.h"
#include "engine/softrender/triangle_setup.h"
#include "triangle_test_support.h"

using namespace softrender_test;

namespace {

TriangleRecord Tri(std::initializer_list<std::initializer_list<int32_t>> vs) {
  TriangleRecord t{};
  int i = 0;
  for (auto v : vs) {
    int k = 0;
    for (int32_t c : v) t.v[i][k++] = c;
    ++i;
  }
  return t;
}

class TriangleRasterTest : public DrawStateTest {
 protected:
  // Flat coverage on a w x h 32-bit image.
  std::vector<std::string> FlatCoverage(const TriangleRecord& t, int w, int h) {
    TestImage dst = MakeImage(1, 0, 0, w, h);
    Fill(dst, 0);
    SetBlend(2, 255);
    DrawTriangleMemImg(dst.get(), nullptr, &t, 0, nullptr, P32(0, 0, 1));
    return CountMap(dst);
  }
  // Textured coverage with a source of sw x sh texels of blue 1.
  std::vector<std::string> TexturedCoverage(const TriangleRecord& t, int w, int h, int sw, int sh) {
    TestImage src = MakeImage(1, 0, 0, sw, sh);
    Fill(src, P32(0, 0, 1));
    TestImage dst = MakeImage(1, 0, 0, w, h);
    Fill(dst, 0);
    SetBlend(2, 255);
    DrawTriangleMemImg(dst.get(), src.get(), &t, 0, nullptr, 0);
    return CountMap(dst);
  }
};

TEST(TriangleSetupTest, ExchangeSortTies) {
  struct Case {
    int32_t keys[3];
    int want[3];
  };
  const Case cases[] = {
      {{5, 5, 3}, {2, 1, 0}}, {{1, 2, 3}, {0, 1, 2}}, {{3, 2, 1}, {2, 1, 0}},
      {{2, 2, 2}, {0, 1, 2}}, {{3, 1, 1}, {1, 2, 0}}, {{1, 3, 1}, {0, 2, 1}},
  };
  for (const Case& c : cases) {
    int bx[3], by[3];
    softrender::SortTriangleVertices(c.keys, c.keys, bx, by);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(bx[i], c.want[i]) << c.keys[0] << c.keys[1] << c.keys[2];
      EXPECT_EQ(by[i], c.want[i]);
    }
  }
}

TEST(TriangleSetupTest, DegenerateAndOutOfRangeTrianglesAreRejected) {
  softrender::TriangleSetup s;
  EXPECT_FALSE(
      softrender::SetUpTriangle(Tri({{0, 0, 0, 0}, {2, 2, 1, 1}, {5, 5, 3, 3}}), true, &s));
  EXPECT_FALSE(
      softrender::SetUpTriangle(Tri({{0, 3, 0, 0}, {9, 3, 1, 1}, {4, 3, 3, 3}}), false, &s));
  EXPECT_FALSE(
      softrender::SetUpTriangle(Tri({{0, 0, 0, 0}, {8192, 0, 1, 1}, {0, 5, 3, 3}}), false, &s));
  EXPECT_FALSE(
      softrender::SetUpTriangle(Tri({{0, 0, 0, 0}, {4, 0, 9000, 1}, {0, 5, 3, 3}}), true, &s));
  // u and v do not matter to a flat triangle.
  EXPECT_TRUE(
      softrender::SetUpTriangle(Tri({{0, 0, 0, 0}, {4, 0, 9000, 1}, {0, 5, 3, 3}}), false, &s));
  // The extreme corners of the range are accepted and give exact edges.
  ASSERT_TRUE(softrender::SetUpTriangle(
      Tri({{-8192, -8192, 0, 0}, {8191, -8192, 1, 0}, {-8192, 8191, 0, 1}}), true, &s));
  EXPECT_EQ(s.right.edge[0].x, int64_t(8191) * 0x40000 + 0x20000);
  EXPECT_EQ(s.right.edge[0].slope, -int64_t(0x40000));
  EXPECT_EQ(s.right.edge[0].rows, 16383);
  // A gradient that does not fit in 32 bits: a one-pixel triangle spanning the
  // whole texel range.
  EXPECT_FALSE(
      softrender::SetUpTriangle(Tri({{0, 0, -8192, 0}, {1, 0, 8191, 0}, {0, 1, 0, 0}}), true, &s));
}

// Gradients are numerator * 262144.0 / area, truncated toward zero.
TEST(TriangleSetupTest, GradientTruncation) {
  struct Case {
    TriangleRecord tri;
    int32_t ux, uy, vx, vy;
  };
  const Case cases[] = {
      {Tri({{0, 0, 0, 0}, {3, 0, 1, 0}, {0, 3, 0, 1}}), 87381, 0, 0, 87381},
      {Tri({{0, 0, 1, 1}, {3, 0, 0, 1}, {0, 3, 1, 0}}), -87381, 0, 0, -87381},
      {Tri({{0, 0, 0, 0}, {7, 1, 5, 0}, {2, 9, 0, 4}}), 193384, -42974, -17189, 120328},
      {Tri({{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}}), 262144, 0, 0, 262144},
  };
  for (const Case& c : cases) {
    softrender::TriangleSetup s;
    ASSERT_TRUE(softrender::SetUpTriangle(c.tri, true, &s));
    EXPECT_EQ(s.grad.ux, c.ux);
    EXPECT_EQ(s.grad.uy, c.uy);
    EXPECT_EQ(s.grad.vx, c.vx);
    EXPECT_EQ(s.grad.vy, c.vy);
  }
}

TEST_F(TriangleRasterTest, FlatCoverageOfTheSmallTriangle) {
  const std::vector<std::string> want = {
      "11111.", "1111..", "111...", "11....", "......",
  };
  EXPECT_EQ(FlatCoverage(Tri({{0, 0}, {4, 0}, {0, 4}}), 6, 5), want);
  // Vertex order does not change the pixels.
  EXPECT_EQ(FlatCoverage(Tri({{0, 4}, {0, 0}, {4, 0}}), 6, 5), want);
  EXPECT_EQ(FlatCoverage(Tri({{4, 0}, {0, 4}, {0, 0}}), 6, 5), want);
}

TEST_F(TriangleRasterTest, TexelTestDropsTheRightEndColumn) {
  const std::vector<std::string> want = {
      "1111..", "1111..", "111...", "11....", "......",
  };
  EXPECT_EQ(TexturedCoverage(Tri({{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}}), 6, 5, 4, 4), want);
  // With a larger source the fifth column's texel exists and is drawn.
  EXPECT_EQ(TexturedCoverage(Tri({{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}}), 6, 5, 5, 5),
            FlatCoverage(Tri({{0, 0}, {4, 0}, {0, 4}}), 6, 5));
}

TEST_F(TriangleRasterTest, TexelMapOfTheSmallTriangle) {
  TestImage src = MakeImage(1, 0, 0, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.Set(x, y, 0x100u * y + x + 0x1000);
  TestImage dst = MakeImage(1, 0, 0, 6, 5);
  Fill(dst, 0);
  const TriangleRecord t = Tri({{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}});
  DrawTriangleMemImg(dst.get(), src.get(), &t, 0, nullptr, 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool covered = y < 4 && x < 4 && x + y <= 4;
      EXPECT_EQ(dst.Get(x, y), covered ? 0x100u * y + x + 0x1000 : 0u) << x << "," << y;
    }
  }
}

// Two triangles on either side of one edge leave no gap, and on every row
// of the edge exactly one pixel, the one holding the edge, lies in both.
TEST_F(TriangleRasterTest, TrianglesSharingAnEdgeOverlapInOnePixelPerRow) {
  TestImage dst = MakeImage(1, 0, 0, 10, 9);
  Fill(dst, 0);
  SetBlend(2, 255);
  const TriangleRecord a = Tri({{0, 0}, {8, 0}, {0, 8}});
  const TriangleRecord b = Tri({{8, 0}, {0, 8}, {8, 8}});
  DrawTriangleMemImg(dst.get(), nullptr, &a, 0, nullptr, P32(0, 0, 1));
  DrawTriangleMemImg(dst.get(), nullptr, &b, 0, nullptr, P32(0, 0, 1));
  const std::vector<std::string> map = CountMap(dst);
  for (int y = 0; y < 8; ++y) {
    std::string want(10, '.');
    for (int x = 0; x <= 8; ++x) want[x] = x == 8 - y ? '2' : '1';
    EXPECT_EQ(map[y], want) << "row " << y;
  }
  EXPECT_EQ(map[8], std::string(10, '.'));
}

// A top vertex above row 0 with the middle vertex on the left: the walk
// starts one row low, and the middle vertex's row is walked twice.
TEST_F(TriangleRasterTest, MiddleRowWalkedTwiceBelowANegativeTop) {
  const std::vector<std::string> want = {
      ".11.....", ".111....", "2222....", ".111....", "..111...", "...11...", "........",
  };
  EXPECT_EQ(FlatCoverage(Tri({{2, -3}, {0, 2}, {4, 6}}), 8, 7), want);
}

// With one left edge and a top vertex above row 0 the whole triangle moves
// down one row, to the bottom vertex's own row.
TEST_F(TriangleRasterTest, NegativeTopShiftsOneEdgedTriangleDown) {
  const std::vector<std::string> want = {
      "11111", "1111.", "111..", "11...", ".....",
  };
  // Flat top at y = -1: rows -1..2 of the triangle land on rows 0..3.
  EXPECT_EQ(FlatCoverage(Tri({{0, -1}, {4, -1}, {0, 3}}), 5, 5), want);
  // A vertex at x = -1 lands in column 0.
  EXPECT_EQ(FlatCoverage(Tri({{-1, 0}, {3, 0}, {-1, 4}}), 5, 5),
            (std::vector<std::string>{"1111.", "111..", "11...", "1....", "....."}));
}

// The right side's second edge starts one 14.18 unit right of the middle
// vertex: on the last row its exact position is a pixel boundary, and the
// unit (with the slope truncated from it) keeps the row one pixel shorter.
TEST_F(TriangleRasterTest, SecondRightEdgeStartsOneUnitRight) {
  const std::vector<std::string> want = {
      "1......", ".11....", "..111..", "...111.", "....11.", ".....1.", ".......",
  };
  EXPECT_EQ(FlatCoverage(Tri({{0, 0}, {4, 2}, {6, 6}}), 7, 7), want);
  softrender::TriangleSetup s;
  ASSERT_TRUE(softrender::SetUpTriangle(Tri({{0, 0}, {4, 2}, {6, 6}}), false, &s));
  ASSERT_EQ(s.right.count, 2);
  EXPECT_EQ(s.right.edge[1].x, 4 * 0x40000 + 0x20000 + 1);
  EXPECT_EQ(s.right.edge[1].slope, 131071);
}

TEST_F(TriangleRasterTest, ClippingCutsPerRowAndPerPixel) {
  // The draw area cuts a triangle whose vertices lie far outside.
  const TriangleRecord big = Tri({{-5000, -5000}, {8000, -3000}, {-2000, 7000}});
  TestImage dst = MakeImage(1, 0, 0, 12, 10, 8);
  Fill(dst, 0);
  const TestImage before = CloneImage(dst);
  SetArea(2, 3, 9, 7);
  SetBlend(0, 0);
  DrawTriangleMemImg(dst.get(), nullptr, &big, 0, nullptr, 0x11223344);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(dst.Get(x, y), (x >= 2 && x < 9 && y >= 3 && y < 7) ? 0x11223344u : 0u)
          << x << "," << y;
  // Padding bytes after each row stay untouched.
  for (int y = 0; y < 10; ++y)
    for (int i = 48; i < 56; ++i) EXPECT_EQ(dst.pixels[y * 56 + i], before.pixels[y * 56 + i]);
  // A draw area reaching past the destination is cut to the destination.
  TestImage small = MakeImage(0, 0, 0, 4, 3, 2);
  Fill(small, 0);
  const TestImage small_before = CloneImage(small);
  SetArea(-10, -10, 100, 100);
  DrawTriangleMemImg(small.get(), nullptr, &big, 0, nullptr, 0xffff);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small.Get(x, y), 0xffffu);
    EXPECT_EQ(small.pixels[y * 10 + 8], small_before.pixels[y * 10 + 8]);
    EXPECT_EQ(small.pixels[y * 10 + 9], small_before.pixels[y * 10 + 9]);
  }
}

TEST_F(TriangleRasterTest, RefusalsDrawNothing) {
  const TriangleRecord t = Tri({{0, 0, 0, 0}, {4, 0, 4, 0}, {0, 4, 0, 4}});
  struct Case {
    const char* name;
    int dst_kind, dst_palette, dst_alpha, src_kind;  // src_kind -1: flat
    int mode, value;
  };
  const Case cases[] = {
      {"kinds differ", 1, 0, 0, 0, 0, 0},
      {"palette destination", 1, 1, 0, 1, 0, 0},
      {"alpha destination", 1, 0, 1, 1, 0, 0},
      {"flat on palette destination", 1, 1, 0, -1, 0, 0},
      {"single-channel kind", 2, 0, 0, 2, 0, 0},
      {"flat on single-channel kind", 2, 0, 0, -1, 0, 0},
      {"mode 5", 1, 0, 0, 1, 5, 100},
      {"mode -1", 1, 0, 0, -1, -1, 100},
      {"alpha at 0", 0, 0, 0, 0, 1, 0},
      {"add at 0", 1, 0, 0, -1, 2, 0},
      {"subtract at 0, direct", 1, 0, 0, 1, 3, 0},
      {"subtract at 0, flat", 0, 0, 0, -1, 3, 0},
  };
  for (const Case& c : cases) {
    TestImage src = MakeImage(c.src_kind < 0 ? 1 : c.src_kind, 0, 0, 4, 4);
    Fill(src, 0x5a5a);
    TestImage dst = MakeImage(c.dst_kind, c.dst_palette, c.dst_alpha, 6, 5);
    Fill(dst, 0x1234);
    const TestImage before = CloneImage(dst);
    SetBlend(c.mode, c.value);
    DrawTriangleMemImg(dst.get(), c.src_kind < 0 ? nullptr : src.get(), &t, 0, nullptr, 0xffff);
    EXPECT_EQ(dst.pixels, before.pixels) << c.name;
  }
}

TEST_F(TriangleRasterTest, TexelsOutsideTheSourceAreLeftAlone) {
  TestImage src = MakeImage(1, 0, 0, 4, 4);
  Fill(src, P32(9, 9, 9));
  TestImage dst = MakeImage(1, 0, 0, 8, 8);
  Fill(dst, 7);
  const TestImage before = CloneImage(dst);
  // Mapped wholly left of and above the source.
  const TriangleRecord outside = Tri({{0, 0, -8, -8}, {6, 0, -2, -8}, {0, 6, -8, -2}});
  DrawTriangleMemImg(dst.get(), src.get(), &outside, 0, nullptr, 0);
  EXPECT_EQ(dst.pixels, before.pixels);
  // Mapped half outside: only the pixels whose texel lies inside are drawn.
  const TriangleRecord half = Tri({{0, 0, -2, 0}, {6, 0, 4, 0}, {0, 6, -2, 6}});
  DrawTriangleMemImg(dst.get(), src.get(), &half, 0, nullptr, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool drawn = x >= 2 && y < 4 && x + y <= 6 && x < 6;
      EXPECT_EQ(dst.Get(x, y), drawn ? P32(9, 9, 9) : 7u) << x << "," << y;
    }
}

TEST_F(TriangleRasterTest, DrawBoundsIncludeEveryDrawnPixel) {
  const TriangleRecord cases[] = {
      Tri({{0, 0}, {4, 0}, {0, 4}}),
      Tri({{-3, -2}, {2, -5}, {1, 3}}),
      Tri({{-1, -1}, {-4, -1}, {-2, -6}}),
      Tri({{2, -3}, {0, 2}, {4, 6}}),
  };
  for (const TriangleRecord& t : cases) {
    TestImage dst = MakeImage(1, 0, 0, 20, 20);
    Fill(dst, 0);
    SetBlend(0, 0);
    // Drawn where it is: the pixels at 0 and up are checked (a vertex at a
    // negative coordinate reaches one pixel toward zero).
    DrawTriangleMemImg(dst.get(), nullptr, &t, 0, nullptr, 1);
    const IntRect b = TriangleDrawBounds(t);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x)
        if (dst.Get(x, y) != 0) {
          EXPECT_TRUE(x >= b.left && x < b.right && y >= b.top && y < b.bottom) << x << "," << y;
        }
  }
  // The small triangle's right end pixel (4, 0) is inside the bounds.
  const IntRect b = TriangleDrawBounds(Tri({{0, 0}, {4, 0}, {0, 4}}));
  EXPECT_EQ(b.right, 5);
  EXPECT_EQ(b.bottom, 5);
  // A vertex at -1 lands in column 0.
  EXPECT_EQ(TriangleDrawBounds(Tri({{-1, -1}, {-4, -1}, {-2, -6}})).right, 1);
}

}  // namespace
