// The line: the clipping vectors, the step pattern of both major axes, the
// box outline built from four line records, the line list, blending each
// pixel once, the refusals, and random lines against the pixel formula.
#include "engine/softrender/line_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "draw_test_support.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "test_image.h"

using softrender_test::MakeImage;
using softrender_test::TestImage;

namespace {

using Points = std::vector<std::pair<int, int>>;

class LineDrawTest : public softrender_test::DrawStateTest {};

TestImage Blank(int kind, int w, int h) {
  TestImage t = MakeImage(kind, 0, 0, w, h, 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) t.Set(x, y, 0);
  return t;
}

// Every changed pixel, in row order.
Points SetPixels(const TestImage& t) {
  Points out;
  for (int y = 0; y < t.get()->Height; ++y)
    for (int x = 0; x < t.get()->Width; ++x)
      if (t.Get(x, y) != 0) out.emplace_back(x, y);
  return out;
}

Points Sorted(Points p) {
  std::sort(p.begin(), p.end(), [](auto a, auto b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  });
  return p;
}

std::string Show(const Points& p) {
  std::string s;
  for (auto [x, y] : p) {
    s += '(';
    s += std::to_string(x);
    s += ',';
    s += std::to_string(y);
    s += ')';
  }
  return s;
}

struct LineCase {
  const char* name;
  int x1, y1, x2, y2;
  Points expected;  // any order
};

// With the draw area (0, 0, 640, 480).
TEST_F(LineDrawTest, ClippingVectors) {
  Points to_639, whole_row;
  for (int x = 630; x < 640; ++x) to_639.emplace_back(x, 5);
  for (int x = 0; x < 640; ++x) whole_row.emplace_back(x, 5);
  const LineCase cases[] = {
      {"horizontal", 0, 0, 5, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {"shallow", 0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}},
      {"shallow backwards", 5, 2, 0, 0, {{5, 2}, {4, 2}, {3, 2}, {2, 1}, {1, 1}}},
      {"steep", 0, 0, 2, 5, {{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}}},
      {"a point", 7, 7, 7, 7, {}},
      {"from the left", -10, 5, 5, 5, {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}}},
      {"past the right", 630, 5, 700, 5, to_639},
      {"up past the top", 5, 5, 5, -10, {{5, 5}, {5, 4}, {5, 3}, {5, 2}, {5, 1}, {5, 0}}},
      {"box meets the area, line does not", -10, 5, 5, -10, {{0, 0}}},
      {"right of the area", 700, 10, 800, 20, {}},
      {"below the area", 10, 480, 20, 500, {}},
      {"far outside", INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MIN + 3, {}},
      {"widest span", INT32_MIN, 5, INT32_MAX, 5, whole_row},
  };
  for (int kind = 0; kind <= 1; ++kind) {
    for (const LineCase& c : cases) {
      TestImage t = Blank(kind, 640, 480);
      DrawMemImgLine(t.get(), c.x1, c.y1, c.x2, c.y2, 0x1234);
      EXPECT_EQ(Show(SetPixels(t)), Show(Sorted(c.expected))) << c.name << " kind " << kind;
    }
  }
}

// The four records of a box outline: corners x1..x2 - 1 by y1..y2 - 1.
std::vector<LineRecord> BoxOutline(int x1, int y1, int x2, int y2, int32_t colour) {
  return {{x1, y1, x2 - 1, y1, colour, 255},
          {x2 - 1, y1, x2 - 1, y2 - 1, colour, 255},
          {x2 - 1, y2 - 1, x1, y2 - 1, colour, 255},
          {x1, y2 - 1, x1, y1, colour, 255}};
}

TEST_F(LineDrawTest, BoxOutlineSetsEachBorderPixelOnce) {
  // Under add, a pixel set twice would show 2.
  CurrentDrawState.BlendMode = 2;
  CurrentDrawState.BlendValue = 255;
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage t = Blank(kind, 20, 20);
    const auto records = BoxOutline(10, 10, 14, 13, 1);
    DrawMemImgLines(t.get(), records.data(), 4);
    Points want;
    for (int y = 10; y <= 12; ++y)
      for (int x = 10; x <= 13; ++x)
        if (y == 10 || y == 12 || x == 10 || x == 13) want.emplace_back(x, y);
    EXPECT_EQ(Show(SetPixels(t)), Show(Sorted(want))) << "kind " << kind;
    EXPECT_EQ(want.size(), 10u);
    for (auto [x, y] : want) EXPECT_EQ(t.Get(x, y), 1u) << x << "," << y;
  }
}

TEST_F(LineDrawTest, OnePixelWideBoxSetsItsInnerPixelsTwice) {
  CurrentDrawState.BlendMode = 2;
  CurrentDrawState.BlendValue = 255;
  TestImage t = Blank(1, 10, 10);
  const auto records = BoxOutline(3, 2, 4, 6, 1);
  DrawMemImgLines(t.get(), records.data(), 4);
  // Column 3, rows 2-5: the end rows once, the inner rows twice.
  EXPECT_EQ(t.Get(3, 2), 1u);
  EXPECT_EQ(t.Get(3, 3), 2u);
  EXPECT_EQ(t.Get(3, 4), 2u);
  EXPECT_EQ(t.Get(3, 5), 1u);
  EXPECT_EQ(SetPixels(t).size(), 4u);
}

TEST_F(LineDrawTest, LineListCountsAndBlendValue) {
  TestImage t = Blank(1, 10, 10);
  const auto records = BoxOutline(1, 1, 5, 5, 7);
  DrawMemImgLines(t.get(), records.data(), 0);
  DrawMemImgLines(t.get(), records.data(), -3);
  DrawMemImgLines(t.get(), nullptr, 4);
  EXPECT_TRUE(SetPixels(t).empty());
  DrawMemImgLines(t.get(), records.data(), 1);
  EXPECT_EQ(SetPixels(t).size(), 3u);
  // The record's blend value is not read: the draw state's is.
  CurrentDrawState.BlendMode = 1;
  CurrentDrawState.BlendValue = 0;
  TestImage u = Blank(1, 10, 10);
  DrawMemImgLines(u.get(), records.data(), 4);
  EXPECT_TRUE(SetPixels(u).empty());
}

TEST_F(LineDrawTest, ColourFollowsTheFillRules) {
  struct Case {
    const char* name;
    int kind, mode, value;
    uint32_t bright, colour, before, after;
  };
  const Case cases[] = {
      {"copy", 1, 0, 0, 0xffffff, 0x44010203u, 0x99090909u, 0x44010203u},
      {"tinted by the shift", 1, 0, 0, 0x80ff00, 0x00c86432u, 0, 0x00646300u},
      {"alpha 128", 1, 1, 128, 0xffffff, 0x00ffffffu, 0x99000000u, 0x997f7f7fu},
      {"subtract", 1, 3, 10, 0xffffff, 0, 0x99040400u, 0x00050500u},
      {"16: multiply", 0, 4, 0, 0xffffff, 0xffffu, 0xffffu, (30u << 11) | (62u << 5) | 30u},
      {"mode 5", 1, 5, 255, 0xffffff, 0x00ffffffu, 0x12345678u, 0x12345678u},
  };
  for (const Case& c : cases) {
    TestImage t = MakeImage(c.kind, 0, 0, 4, 1);
    for (int x = 0; x < 4; ++x) t.Set(x, 0, c.before);
    CurrentDrawState.BlendMode = c.mode;
    CurrentDrawState.BlendValue = c.value;
    CurrentDrawState.DrawBright = c.bright;
    DrawMemImgLine(t.get(), 0, 0, 3, 0, c.colour);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.Get(x, 0), c.after) << c.name;
    EXPECT_EQ(t.Get(3, 0), c.before) << c.name << ": the end point is not drawn";
  }
}

// Palette and alpha images, whose pixels are not the line's size, are
// refused; so is a null image.
TEST_F(LineDrawTest, RefusedImages) {
  for (auto [palette, alpha] : {std::pair{1, 0}, std::pair{0, 1}}) {
    TestImage t = MakeImage(1, palette, alpha, 8, 2);
    std::fill(t.pixels.begin(), t.pixels.end(), uint8_t{0});
    const std::vector<uint8_t> before = t.pixels;
    DrawMemImgLine(t.get(), 0, 0, 8, 1, 0xffffffff);
    EXPECT_EQ(t.pixels, before);
  }
  DrawMemImgLine(nullptr, 0, 0, 5, 5, 1);
}

// Random lines in and around a small draw area: every pixel lies inside the
// area (and inside the image when the area reaches beyond it), and a line
// wholly inside sets exactly the pixels of the step formula.
TEST_F(LineDrawTest, RandomLinesStayInsideAndFollowTheFormula) {
  std::mt19937 rng(9);
  const IntRect areas[] = {{5, 4, 37, 29}, {-6, -6, 60, 60}};
  for (const IntRect& area : areas) {
    CurrentDrawState.DrawArea = area;
    const int L = std::max(area.left, 0), T = std::max(area.top, 0);
    const int R = std::min(area.right, 48), B = std::min(area.bottom, 32);
    for (int i = 0; i < 3000; ++i) {
      const int x1 = int(rng() % 80) - 16, y1 = int(rng() % 64) - 16;
      const int x2 = int(rng() % 80) - 16, y2 = int(rng() % 64) - 16;
      TestImage t = Blank(i % 2, 48, 32);
      DrawMemImgLine(t.get(), x1, y1, x2, y2, 1);
      const Points got = SetPixels(t);
      for (auto [x, y] : got) {
        ASSERT_TRUE(x >= L && x < R && y >= T && y < B)
            << "line " << x1 << "," << y1 << " to " << x2 << "," << y2 << " set " << x << ","
            << y;
      }
      const bool inside = std::min(x1, x2) >= L && std::max(x1, x2) < R &&
                          std::min(y1, y2) >= T && std::max(y1, y2) < B;
      if (!inside) continue;
      const int ax = std::abs(x2 - x1), ay = std::abs(y2 - y1);
      const int sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
      Points want;
      const int n = std::max(ax, ay);
      for (int k = 0; k < n; ++k) {
        if (ax >= ay) {
          want.emplace_back(x1 + sx * k, y1 + sy * (k * ay / ax));
        } else {
          want.emplace_back(x1 + sx * (k * ax / ay), y1 + sy * k);
        }
      }
      ASSERT_EQ(Show(got), Show(Sorted(want)))
          << "line " << x1 << "," << y1 << " to " << x2 << "," << y2;
    }
  }
}

}  // namespace
