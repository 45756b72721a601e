// The rectangle fill: corner order and clipping, the draw-bright shift, the
// fourth byte of 32-bit pixels, the vectors of each blend mode at both
// depths, the refusals, and every mode and value against a per-pixel model
// written from the fill's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "blit_reference.h"
#include "draw_test_support.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/rect_fill.h"
#include "test_image.h"

using softrender_test::CloneImage;
using softrender_test::DrawStateTest;
using softrender_test::Fill;
using softrender_test::FillRandom;
using softrender_test::MakeImage;
using softrender_test::P16;
using softrender_test::P32;
using softrender_test::TestImage;

namespace {

class FillRectTest : public DrawStateTest {};

TestImage Filled(int kind, int w, int h, uint32_t v, int pitch_extra = 0) {
  TestImage t = MakeImage(kind, 0, 0, w, h, pitch_extra);
  Fill(t, v);
  return t;
}

// The set of pixels a fill changed, as a rectangle (empty when none).
IntRect ChangedArea(const TestImage& t, uint32_t background) {
  IntRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int y = 0; y < t.get()->Height; ++y)
    for (int x = 0; x < t.get()->Width; ++x)
      if (t.Get(x, y) != background) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  if (r.left == INT32_MAX) return IntRect{0, 0, 0, 0};
  return r;
}

TEST_F(FillRectTest, CornersAndClipping) {
  struct Case {
    const char* name;
    bool whole;
    IntRect rect, area, expected;
  };
  const Case cases[] = {
      {"ordered", false, {10, 5, 30, 20}, {0, 0, 40, 30}, {10, 5, 30, 20}},
      {"reversed corners", false, {30, 20, 10, 5}, {0, 0, 40, 30}, {10, 5, 30, 20}},
      {"x reversed only", false, {30, 5, 10, 20}, {0, 0, 40, 30}, {10, 5, 30, 20}},
      {"null is the whole image, clipped", true, {}, {3, 4, 17, 9}, {3, 4, 17, 9}},
      {"cut by the draw area", false, {-5, -5, 50, 50}, {2, 2, 39, 28}, {2, 2, 39, 28}},
      {"outside", false, {41, 0, 60, 10}, {0, 0, 40, 30}, {0, 0, 0, 0}},
      {"empty", false, {7, 7, 7, 20}, {0, 0, 40, 30}, {0, 0, 0, 0}},
      {"draw area beyond the image", false, {-9, -9, 99, 99}, {-4, -4, 80, 80}, {0, 0, 40, 30}},
      {"odd width at 16 bits", false, {1, 1, 4, 2}, {0, 0, 40, 30}, {1, 1, 4, 2}},
  };
  for (int kind = 0; kind <= 1; ++kind) {
    for (const Case& c : cases) {
      TestImage t = Filled(kind, 40, 30, 0, 6);
      SetArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
      FillMemImgRect(t.get(), c.whole ? nullptr : &c.rect, 0x1234);
      const IntRect got = ChangedArea(t, 0);
      EXPECT_TRUE(got.left == c.expected.left && got.top == c.expected.top &&
                  got.right == c.expected.right && got.bottom == c.expected.bottom)
          << c.name << " kind " << kind << ": " << got.left << "," << got.top << ","
          << got.right << "," << got.bottom;
      const int w = got.right - got.left, h = got.bottom - got.top;
      int count = 0;
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) count += t.Get(x, y) == 0x1234;
      EXPECT_EQ(count, w * h) << c.name;
    }
  }
}

struct Vector {
  const char* name;
  int kind, mode, value;
  uint32_t bright, colour, before, after;
};

TEST_F(FillRectTest, BlendVectors) {
  const Vector cases[] = {
      {"copy writes all four bytes", 1, 0, 0, 0xffffff, P32(1, 2, 3, 0x44), P32(9, 9, 9, 0x99),
       P32(1, 2, 3, 0x44)},
      {"copy tinted keeps the colour's fourth byte", 1, 0, 0, 0xfffffe, P32(255, 255, 255, 0x44),
       P32(9, 9, 9, 0x99), P32(254, 254, 253, 0x44)},
      {"draw-bright shift divides by 256", 1, 0, 0, 0x80ff00, P32(200, 100, 50), 0,
       P32(100, 99, 0)},
      {"alpha 255 is a copy", 1, 1, 255, 0xffffff, P32(1, 2, 3, 0x44), P32(9, 9, 9, 0x99),
       P32(1, 2, 3, 0x44)},
      {"alpha 128", 1, 1, 128, 0xffffff, P32(255, 255, 255, 0x44), P32(0, 0, 0, 0x99),
       P32(127, 127, 127, 0x99)},
      {"add at 255: green 1 + 1 stays 1", 1, 2, 255, 0xffffff, P32(0, 1, 0), P32(0, 1, 0, 0x99),
       P32(0, 1, 0, 0)},
      {"add: red carry into the fourth byte", 1, 2, 255, 0xffffff, P32(128, 0, 0),
       P32(128, 0, 0, 0x99), P32(255, 0, 0, 1)},
      {"subtract 0 from (4, 4, 0)", 1, 3, 77, 0xffffff, 0, P32(4, 4, 0, 0x99), P32(5, 5, 0, 0)},
      {"multiply white by white", 1, 4, 0, 0xffffff, P32(255, 255, 255), P32(255, 255, 255, 0x99),
       P32(254, 254, 254, 0x99)},
      {"copy of one repeated byte", 1, 0, 0, 0xffffff, 0xffffffffu, P32(9, 9, 9, 0x99),
       0xffffffffu},
      {"16: copy", 0, 0, 0, 0xffffff, P16(1, 2, 3), P16(9, 9, 9), P16(1, 2, 3)},
      {"16: copy of black", 0, 0, 0, 0xffffff, 0, 0xffffu, 0},
      {"16: draw-bright shift", 0, 0, 0, 0xfffffe, P16(31, 63, 31), 0, P16(30, 62, 30)},
      {"16: signed mix at 128", 0, 1, 128, 0xffffff, P16(31, 63, 31), 0, P16(15, 31, 15)},
      {"16: signed mix at 128, black over white", 0, 1, 128, 0xffffff, 0, P16(31, 63, 31),
       P16(16, 32, 16)},
      {"16: add green 62 + 2 (the green carry enters red)", 0, 2, 255, 0xffffff, P16(0, 2, 0),
       P16(0, 62, 0), P16(1, 62, 0)},
      {"16: add green 63 + 63", 0, 2, 255, 0xffffff, P16(0, 63, 0), P16(0, 63, 0), P16(1, 63, 0)},
      {"16: subtract green 5 - 0 (red gains its guard)", 0, 3, 255, 0xffffff, 0, P16(0, 5, 0),
       P16(1, 4, 0)},
      {"16: multiply", 0, 4, 0, 0xffffff, P16(31, 63, 31), P16(31, 63, 31), P16(30, 62, 30)},
  };
  for (const Vector& c : cases) {
    TestImage t = Filled(c.kind, 5, 2, c.before);
    SetBlend(c.mode, c.value);
    CurrentDrawState.DrawBright = c.bright;
    FillMemImgRect(t.get(), nullptr, c.colour);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(t.Get(x, y), c.after) << c.name << " at " << x;
  }
}

TEST_F(FillRectTest, NothingIsWritten) {
  struct Case {
    const char* name;
    int kind, palette, alpha, mode, value;
  };
  const Case cases[] = {
      {"palette image", 1, 1, 0, 0, 0}, {"alpha image", 1, 0, 1, 0, 0},
      {"kind 2", 2, 0, 0, 0, 0},        {"mode 5", 1, 0, 0, 5, 255},
      {"mode -1", 1, 0, 0, -1, 255},    {"alpha at 0", 1, 0, 0, 1, 0},
      {"add at 0", 0, 0, 0, 2, 0},      {"subtract at 0", 1, 0, 0, 3, 0},
  };
  for (const Case& c : cases) {
    TestImage t = MakeImage(c.kind, c.palette, c.alpha, 6, 3);
    std::fill(t.pixels.begin(), t.pixels.end(), uint8_t{0x5a});
    const std::vector<uint8_t> before = t.pixels;
    SetBlend(c.mode, c.value);
    FillMemImgRect(t.get(), nullptr, 0xffffffff);
    EXPECT_EQ(t.pixels, before) << c.name;
  }
  FillMemImgRect(nullptr, nullptr, 0);
}

// The fill's table, channel by channel.
uint32_t ModelPixel(int kind, unsigned mode, uint32_t p, uint32_t bright, uint32_t colour,
                    uint32_t d) {
  const bool k32 = kind == 1;
  const int widths[3] = {k32 ? 8 : 5, k32 ? 8 : 6, k32 ? 8 : 5};
  const int shifts[3] = {k32 ? 16 : 11, k32 ? 8 : 5, 0};
  const uint32_t bb[3] = {(bright >> 16) & 255, (bright >> 8) & 255, bright & 255};
  uint32_t c[3], dc[3];
  for (int k = 0; k < 3; ++k) {
    const uint32_t mask = (1u << widths[k]) - 1;
    c[k] = (colour >> shifts[k]) & mask;
    dc[k] = (d >> shifts[k]) & mask;
    if ((bright & 0xffffff) != 0xffffff) c[k] = c[k] * bb[k] >> 8;
  }
  auto join = [&](const uint32_t* ch, uint32_t fourth) {
    uint32_t r = k32 ? fourth << 24 : 0;
    for (int k = 0; k < 3; ++k) r |= ch[k] << shifts[k];
    return r;
  };
  uint32_t r[3];
  if (mode == 1 && p == 255) mode = 0;
  switch (mode) {
    case 0:
      return join(c, colour >> 24);
    case 1:
      for (int k = 0; k < 3; ++k) {
        r[k] = k32 ? (c[k] * p + dc[k] * (256 - p)) >> 8
                   : uint32_t(int(dc[k]) + DiffTable[p][256 + int(c[k]) - int(dc[k])]);
      }
      return join(r, d >> 24);
    case 2:
    case 3: {
      uint32_t v[3];
      for (int k = 0; k < 3; ++k) v[k] = ProductTable[p][c[k]];
      const uint32_t vw = join(v, 0);
      if (k32) {
        return mode == 2 ? softrender_test::RefSaturatingAdd(d, vw, false)
                         : softrender_test::RefSaturatingSubtract(d, vw);
      }
      return mode == 2 ? softrender_test::RefSaturatingAdd16(d, vw, true)
                       : softrender_test::RefSaturatingSubtract16(d, vw);
    }
    default:
      for (int k = 0; k < 3; ++k) r[k] = (dc[k] * c[k]) >> widths[k];
      return join(r, d >> 24);
  }
}

TEST_F(FillRectTest, EveryModeMatchesTheModel) {
  std::mt19937 rng(5);
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage base = MakeImage(kind, 0, 0, 11, 3, 2);
    FillRandom(base, rng);
    for (int mode = 0; mode <= 4; ++mode)
      for (int value : {1, 2, 127, 128, 200, 254, 255})
        for (uint32_t bright : {0xffffffu, 0x7f30a5u, 0xfffffeu})
          for (int trial = 0; trial < 4; ++trial) {
            const uint32_t colour = kind ? rng() : (rng() & 0xffff);
            SetBlend(mode, value);
            CurrentDrawState.DrawBright = bright;
            TestImage t = CloneImage(base);
            const IntRect r{1, 0, 10, 3};
            FillMemImgRect(t.get(), &r, colour);
            for (int y = 0; y < 3; ++y)
              for (int x = 0; x < 11; ++x) {
                const uint32_t want =
                    x >= 1 && x < 10 ? ModelPixel(kind, unsigned(mode), uint32_t(value), bright,
                                                  colour, base.Get(x, y))
                                     : base.Get(x, y);
                if (t.Get(x, y) != want && failures++ < 10) {
                  ADD_FAILURE() << "kind " << kind << " mode " << mode << " P " << value
                                << " bright " << bright << " colour " << colour << " at " << x
                                << "," << y << ": got " << t.Get(x, y) << " want " << want;
                }
              }
          }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
