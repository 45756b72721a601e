// The four-point draw: the two triangles and their shared edge, texel maps,
// the bow-tie of clockwise points, degenerate quads, the rejection
// rectangle's limits.
#include "engine/softrender/quad_mem_img.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "triangle_test_support.h"

using namespace softrender_test;

namespace {

class QuadMemImgTest : public DrawStateTest {};

QuadRecord Quad(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3) {
  return QuadRecord{{{x0, y0}, {x1, y1}, {x2, y2}, {x3, y3}}};
}

// Texel (x, y) of a w x h source holds 0x1000 + 0x100 * y + x.
TestImage TexelSource(int w, int h) {
  TestImage src = MakeImage(1, 0, 0, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src.Set(x, y, 0x1000u + 0x100u * y + x);
  return src;
}

TEST_F(QuadMemImgTest, SharedEdgeIsDrawnByBothTriangles) {
  TestImage src = MakeImage(1, 0, 0, 4, 4);
  Fill(src, P32(0, 0, 1));
  TestImage dst = MakeImage(1, 0, 0, 6, 6);
  Fill(dst, 0);
  SetBlend(2, 255);
  const QuadRecord q = Quad(0, 0, 4, 0, 0, 4, 4, 4);
  DrawQuadMemImg(dst.get(), src.get(), &q, 0, nullptr);
  const std::vector<std::string> want = {"1111..", "1112..", "1121..",
                                         "1211..", "......", "......"};
  EXPECT_EQ(CountMap(dst), want);
}

TEST_F(QuadMemImgTest, TexelMapHasNoGaps) {
  TestImage src = TexelSource(4, 4);
  TestImage dst = MakeImage(1, 0, 0, 6, 6);
  Fill(dst, 0);
  const QuadRecord q = Quad(0, 0, 4, 0, 0, 4, 4, 4);
  DrawQuadMemImg(dst.get(), src.get(), &q, 0, nullptr);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(dst.Get(x, y), x < 4 && y < 4 ? 0x1000u + 0x100u * y + x : 0u) << x << "," << y;
  // Scaled by two: every texel covers a 2 x 2 block.
  TestImage big = MakeImage(1, 0, 0, 10, 10);
  Fill(big, 0);
  const QuadRecord q2 = Quad(1, 1, 9, 1, 1, 9, 9, 9);
  DrawQuadMemImg(big.get(), src.get(), &q2, 0, nullptr);
  for (int y = 1; y < 9; ++y)
    for (int x = 1; x < 9; ++x)
      EXPECT_EQ(big.Get(x, y), 0x1000u + 0x100u * ((y - 1) / 2) + (x - 1) / 2) << x << "," << y;
}

// For points at coordinates of 0 or more the two triangles leave no gap in
// any row, and exactly one pixel per row of the shared edge is in both spans.
TEST_F(QuadMemImgTest, NoGapsAndOneSharedPixelPerRow) {
  const QuadRecord quads[] = {
      Quad(2, 1, 13, 3, 1, 10, 12, 12),
      Quad(5, 0, 14, 5, 0, 6, 9, 13),
      Quad(1, 1, 14, 1, 1, 13, 14, 13),
      Quad(3, 2, 11, 0, 2, 12, 13, 9),
  };
  for (const QuadRecord& q : quads) {
    TestImage src = MakeImage(1, 0, 0, 64, 64);
    Fill(src, P32(0, 0, 1));
    TestImage dst = MakeImage(1, 0, 0, 16, 16);
    Fill(dst, 0);
    SetBlend(2, 255);
    DrawQuadMemImg(dst.get(), src.get(), &q, 0, nullptr);
    const std::vector<std::string> map = CountMap(dst);
    for (const std::string& row : map) {
      const size_t first = row.find_first_not_of('.');
      if (first == std::string::npos) continue;
      const size_t last = row.find_last_not_of('.');
      EXPECT_EQ(row.substr(first, last - first + 1).find('.'), std::string::npos) << "gap: " << row;
      EXPECT_LE(std::count(row.begin(), row.end(), '2'), 1) << row;
    }
  }
}

// Points given clockwise (top-left, top-right, bottom-right, bottom-left)
// make a bow-tie: the first triangle puts the source's top-left half on the
// first three points, the second its bottom-right half on the last three.
TEST_F(QuadMemImgTest, ClockwisePointsGiveABowTie) {
  TestImage src = TexelSource(4, 4);
  TestImage dst = MakeImage(1, 0, 0, 6, 6);
  Fill(dst, 0);
  const QuadRecord q = Quad(0, 0, 4, 0, 4, 4, 0, 4);
  DrawQuadMemImg(dst.get(), src.get(), &q, 0, nullptr);
  // First triangle (0,0) (4,0) (4,4): u = x - y, v = y, the diagonal included.
  EXPECT_EQ(dst.Get(3, 1), 0x1000u + 0x100u * 1 + 2);
  EXPECT_EQ(dst.Get(1, 1), 0x1000u + 0x100u * 1 + 0);
  // Second triangle (4,0) (4,4) (0,4): u = 8 - x - y, v = y; drawn last, it
  // covers the first where the two overlap.
  EXPECT_EQ(dst.Get(2, 3), 0x1000u + 0x100u * 3 + 3);
  EXPECT_EQ(dst.Get(3, 2), 0x1000u + 0x100u * 2 + 3);
  // The left quarter, below the first diagonal and above the second, stays empty.
  EXPECT_EQ(dst.Get(0, 2), 0u);
  EXPECT_EQ(dst.Get(1, 2), 0u);
}

TEST_F(QuadMemImgTest, DegenerateQuads) {
  TestImage src = TexelSource(4, 4);
  // All four points on one line: nothing.
  TestImage dst = MakeImage(1, 0, 0, 8, 8);
  Fill(dst, 0);
  const TestImage before = CloneImage(dst);
  const QuadRecord line = Quad(0, 0, 2, 2, 4, 4, 6, 6);
  DrawQuadMemImg(dst.get(), src.get(), &line, 0, nullptr);
  EXPECT_EQ(dst.pixels, before.pixels);
  // Two corners on one point: only the first triangle is drawn.
  const QuadRecord tri = Quad(0, 0, 4, 0, 0, 4, 0, 4);
  DrawQuadMemImg(dst.get(), src.get(), &tri, 0, nullptr);
  TestImage want = CloneImage(before);
  TriangleRecord first, second;
  MakeQuadTriangles(tri, 4, 4, &first, &second);
  DrawTriangleMemImg(want.get(), src.get(), &first, 0, nullptr, 0);
  EXPECT_EQ(dst.pixels, want.pixels);
  // A null source or quad is refused.
  DrawQuadMemImg(dst.get(), nullptr, &tri, 0, nullptr);
  DrawQuadMemImg(dst.get(), src.get(), nullptr, 0, nullptr);
  EXPECT_EQ(dst.pixels, want.pixels);
}

TEST_F(QuadMemImgTest, RejectionRectangleLimits) {
  const IntRect area{10, 20, 30, 40};
  struct Case {
    const char* name;
    int dx, dy;  // a 3 x 3 square's top-left corner
    bool touches;
  };
  // The square spans x .. x + 3; the widened box is x - 2 .. x + 7.
  const Case cases[] = {
      {"largest x = left - 4", 10 - 4 - 3, 25, false},
      {"largest x = left - 3", 10 - 3 - 3, 25, true},
      {"smallest x = right + 2", 30 + 2, 25, false},
      {"smallest x = right + 1", 30 + 1, 25, true},
      {"largest y = top - 4", 15, 20 - 4 - 3, false},
      {"largest y = top - 3", 15, 20 - 3 - 3, true},
      {"smallest y = bottom + 2", 15, 40 + 2, false},
      {"smallest y = bottom + 1", 15, 40 + 1, true},
  };
  for (const Case& c : cases) {
    const QuadRecord q = Quad(c.dx, c.dy, c.dx + 3, c.dy, c.dx, c.dy + 3, c.dx + 3, c.dy + 3);
    EXPECT_EQ(QuadMayTouchArea(q, area), c.touches) << c.name;
  }
  // Extreme coordinates neither overflow nor touch.
  EXPECT_FALSE(
      QuadMayTouchArea(Quad(INT32_MAX, 0, INT32_MAX, 0, INT32_MAX, 5, INT32_MAX, 5), area));
  EXPECT_FALSE(
      QuadMayTouchArea(Quad(INT32_MIN, 0, INT32_MIN, 0, INT32_MIN, 5, INT32_MIN, 5), area));
}

}  // namespace
