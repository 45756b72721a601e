// The stretched blit: the texel walk (enlarging, shrinking, mirrored,
// clipped), the hand-over to the plain blit, the guards of the 64-bit set-up
// and the refusals, a few operator cases that only the stretched loops have,
// and the differential test of every loop against the per-pixel reference.
#include "engine/softrender/stretch_blit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "draw_test_support.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blt_mem_img.h"
#include "random_source.h"
#include "stretch_reference.h"
#include "test_image.h"

using softrender_test::BuildRunTable;
using softrender_test::CloneImage;
using softrender_test::DrawStateTest;
using softrender_test::FillRandom;
using softrender_test::MakeImage;
using softrender_test::P16;
using softrender_test::P32;
using softrender_test::RandomSource;
using softrender_test::RandomSourceOptions;
using softrender_test::ReferenceBltStretchMemImg;
using softrender_test::ReferenceOptions;
using softrender_test::ReferenceTexel;
using softrender_test::TestImage;

namespace {

class StretchBlitTest : public DrawStateTest {};

// A one-row source whose texel x holds the value x + 1.
TestImage NumberedRow(int kind, int width) {
  TestImage t = MakeImage(kind, 0, 0, width, 1);
  for (int x = 0; x < width; ++x) t.Set(x, 0, static_cast<uint32_t>(x + 1));
  return t;
}

// The texel numbers (value - 1) of a destination row; -1 where untouched (0).
std::vector<int> TexelsOfRow(const TestImage& dst, int y, int from, int to) {
  std::vector<int> out;
  for (int x = from; x < to; ++x) out.push_back(static_cast<int>(dst.Get(x, y)) - 1);
  return out;
}

TestImage Cleared(int kind, int width, int height) {
  TestImage t = MakeImage(kind, 0, 0, width, height, 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) t.Set(x, y, 0);
  return t;
}

struct WalkCase {
  const char* name;
  int source_width;
  ImageRect corners;  // y from 0 to 1 unless mirrored
  IntRect area;
  int from, to;               // destination columns compared
  std::vector<int> expected;  // texel per column, -1 untouched
};

TEST_F(StretchBlitTest, WalkVectors) {
  const WalkCase cases[] = {
      {"4 to 5", 4, {0, 0, 5, 1}, {0, 0, 16, 4}, 0, 6, {0, 0, 1, 2, 3, -1}},
      {"4 to 5 mirrored", 4, {5, 0, 0, 1}, {0, 0, 16, 4}, 0, 6, {3, 3, 2, 1, 0, -1}},
      {"halved", 8, {2, 0, 6, 1}, {0, 0, 16, 4}, 1, 7, {-1, 0, 2, 4, 6, -1}},
      {"doubled, cut 3 at the left", 4, {-3, 0, 5, 1}, {0, 0, 16, 4}, 0, 6, {1, 2, 2, 3, 3, -1}},
      {"doubled, cut at both sides", 4, {0, 0, 8, 1}, {3, 0, 6, 4}, 2, 7, {-1, 1, 2, 2, -1}},
      {"same size mirrored", 4, {4, 0, 0, 1}, {0, 0, 16, 4}, 0, 5, {3, 2, 1, 0, -1}},
      {"mirrored and cut", 4, {8, 0, 0, 1}, {0, 0, 3, 4}, 0, 4, {3, 3, 2, -1}},
      {"one pixel wide", 7, {5, 0, 6, 1}, {0, 0, 16, 4}, 4, 7, {-1, 0, -1}},
      {"draw area beyond the image", 4, {-4, 0, 20, 1}, {-8, -8, 40, 40}, 0, 16,
       {0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3, 3}},
  };
  for (int kind = 0; kind <= 1; ++kind) {
    const TestImage src = NumberedRow(kind, 8);
    for (const WalkCase& c : cases) {
      TestImage s = CloneImage(src);
      s.get()->Width = c.source_width;
      TestImage dst = Cleared(kind, 16, 2);
      SetArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
      BltStretchMemImg(dst.get(), s.get(), &c.corners, 0, nullptr);
      EXPECT_EQ(TexelsOfRow(dst, 0, c.from, c.to), c.expected) << c.name << " kind " << kind;
      EXPECT_EQ(TexelsOfRow(dst, 1, 0, 16), std::vector<int>(16, -1)) << c.name;
    }
  }
}

// Rows follow the same walk as columns: a 1-column source of 4 rows drawn
// 5 high, then mirrored.
TEST_F(StretchBlitTest, RowsWalkLikeColumns) {
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 0, 0, 1, 4);
    for (int y = 0; y < 4; ++y) src.Set(0, y, static_cast<uint32_t>(y + 1));
    const ImageRect down{0, 0, 2, 5}, up{0, 5, 2, 0};
    const std::vector<int> want_down{0, 0, 1, 2, 3}, want_up{3, 3, 2, 1, 0};
    for (int mirrored = 0; mirrored < 2; ++mirrored) {
      TestImage dst = Cleared(kind, 2, 6);
      BltStretchMemImg(dst.get(), src.get(), mirrored ? &up : &down, 0, nullptr);
      std::vector<int> got;
      for (int y = 0; y < 5; ++y) got.push_back(static_cast<int>(dst.Get(1, y)) - 1);
      EXPECT_EQ(got, mirrored ? want_up : want_down) << "kind " << kind;
      EXPECT_EQ(dst.Get(0, 5), 0u);
    }
  }
}

// 1000 texels onto 999 pixels: one texel (992) is skipped, the last pixel
// shows the last texel.
TEST_F(StretchBlitTest, ThousandToNineHundredNinetyNine) {
  TestImage src = NumberedRow(1, 1000);
  TestImage dst = Cleared(1, 1000, 1);
  SetArea(0, 0, 1000, 1);
  const ImageRect r{0, 0, 999, 1};
  BltStretchMemImg(dst.get(), src.get(), &r, 0, nullptr);
  const std::vector<int> got = TexelsOfRow(dst, 0, 0, 1000);
  for (int x = 0; x < 992; ++x) ASSERT_EQ(got[x], x) << x;
  for (int x = 992; x < 999; ++x) ASSERT_EQ(got[x], x + 1) << x;
  EXPECT_EQ(got[999], -1);
}

// An unscaled, unmirrored rectangle is the plain blit at its top-left corner
// (which, unlike the stretched loops, copies an alpha source whole with the
// flag off, and takes the whole-image path with a run table).
TEST_F(StretchBlitTest, UnscaledDrawsGoToThePlainBlit) {
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 0, 1, 3, 2);
    const uint32_t opaque_white = kind ? P32(255, 255, 255, 255) : (0xffffu | (255u << 16));
    const uint32_t half = kind ? P32(255, 0, 0, 128) : (P16(31, 0, 0) | (128u << 16));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) src.Set(x, y, (x + y) % 2 ? half : opaque_white);
    BuildRunTable(src);
    for (int trans = 0; trans < 2; ++trans) {
      TestImage a = Cleared(kind, 6, 4), b = Cleared(kind, 6, 4);
      const ImageRect r{2, 1, 5, 3};
      BltStretchMemImg(a.get(), src.get(), &r, trans, nullptr);
      BltMemImg(b.get(), src.get(), 2, 1, trans, nullptr);
      EXPECT_EQ(a.pixels, b.pixels) << "kind " << kind << " trans " << trans;
    }
    // The stretched loops weight every alpha texel with the flag off: at
    // twice the size the opaque white texel shows as (254, 254, 254) or
    // (30, 62, 30), not copied.
    TestImage c = Cleared(kind, 6, 4);
    const ImageRect twice{0, 0, 6, 4};
    BltStretchMemImg(c.get(), src.get(), &twice, 0, nullptr);
    EXPECT_EQ(c.Get(0, 0), kind ? P32(254, 254, 254) : P16(30, 62, 30));
  }
}

// The 64-bit set-up: rectangles 2^16 wide and more, cut-away parts of 2^15
// and more, and the extreme int32 corners give the texels of the formula.
TEST_F(StretchBlitTest, LargeRectanglesAndCutsKeepTheirTexels) {
  struct Case {
    const char* name;
    int source_width;
    ImageRect corners;
    std::vector<int> expected;  // columns 0-7
  };
  const Case cases[] = {
      {"200000 wide", 4, {-99995, 0, 100005, 1}, {1, 1, 1, 1, 1, 2, 2, 2}},
      {"cut 39995", 5, {-39995, 0, 10005, 1}, {3, 3, 3, 3, 3, 4, 4, 4}},
      {"mirrored 200000 wide", 4, {100005, 0, -99995, 1}, {2, 2, 2, 2, 2, 1, 1, 1}},
      {"widest", 8, {INT32_MIN, 0, INT32_MAX, 1}, {4, 4, 4, 4, 4, 4, 4, 4}},
  };
  SetArea(0, 0, 8, 1);
  for (int kind = 0; kind <= 1; ++kind) {
    const TestImage src = NumberedRow(kind, 8);
    for (const Case& c : cases) {
      TestImage s = CloneImage(src);
      s.get()->Width = c.source_width;
      TestImage dst = Cleared(kind, 8, 1);
      BltStretchMemImg(dst.get(), s.get(), &c.corners, 0, nullptr);
      EXPECT_EQ(TexelsOfRow(dst, 0, 0, 8), c.expected) << c.name << " kind " << kind;
    }
  }
  // The same through the tall axis.
  TestImage src = MakeImage(1, 0, 0, 1, 4);
  for (int y = 0; y < 4; ++y) src.Set(0, y, static_cast<uint32_t>(y + 1));
  TestImage dst = Cleared(1, 1, 8);
  SetArea(0, 0, 1, 8);
  const ImageRect tall{0, -99995, 1, 100005};
  BltStretchMemImg(dst.get(), src.get(), &tall, 0, nullptr);
  std::vector<int> got;
  for (int y = 0; y < 8; ++y) got.push_back(static_cast<int>(dst.Get(0, y)) - 1);
  EXPECT_EQ(got, (std::vector<int>{1, 1, 1, 1, 1, 2, 2, 2}));
}

// Draws that cannot be drawn write nothing and never read outside the
// source (the sanitizers watch the reads).
TEST_F(StretchBlitTest, GuardsAndRefusals) {
  TestImage src = NumberedRow(1, 4);
  const ImageRect r{0, 0, 8, 1};
  auto untouched = [](const TestImage& t) {
    for (int x = 0; x < t.get()->Width; ++x)
      if (t.Get(x, 0) != 0) return false;
    return true;
  };
  {
    TestImage s = CloneImage(src);
    s.get()->Width = 0;
    TestImage dst = Cleared(1, 8, 1);
    BltStretchMemImg(dst.get(), s.get(), &r, 0, nullptr);
    EXPECT_TRUE(untouched(dst)) << "zero-width source";
    s.get()->Width = 4;
    s.get()->Height = 0;
    BltStretchMemImg(dst.get(), s.get(), &r, 0, nullptr);
    EXPECT_TRUE(untouched(dst)) << "zero-height source";
  }
  {
    TestImage dst16 = Cleared(0, 8, 1);
    BltStretchMemImg(dst16.get(), src.get(), &r, 0, nullptr);
    EXPECT_TRUE(untouched(dst16)) << "16-bit destination, 32-bit source";
    TestImage pal = MakeImage(1, 1, 0, 8, 1);
    std::memset(pal.pixels.data(), 0, pal.pixels.size());
    BltStretchMemImg(pal.get(), src.get(), &r, 0, nullptr);
    EXPECT_EQ(pal.pixels, std::vector<uint8_t>(pal.pixels.size(), 0)) << "palette destination";
    TestImage alpha = MakeImage(1, 0, 1, 8, 1);
    for (int x = 0; x < 8; ++x) alpha.Set(x, 0, 0);
    BltStretchMemImg(alpha.get(), src.get(), &r, 0, nullptr);
    EXPECT_TRUE(untouched(alpha)) << "alpha destination";
  }
  {
    TestImage dst = Cleared(1, 8, 1);
    const ImageRect flat{0, 0, 8, 0}, thin{3, 0, 3, 1};
    BltStretchMemImg(dst.get(), src.get(), &flat, 0, nullptr);
    BltStretchMemImg(dst.get(), src.get(), &thin, 0, nullptr);
    const ImageRect outside{20, 0, 30, 1};
    BltStretchMemImg(dst.get(), src.get(), &outside, 0, nullptr);
    BltStretchMemImg(dst.get(), src.get(), nullptr, 0, nullptr);
    EXPECT_TRUE(untouched(dst)) << "empty rectangles";
  }
  {
    // A source more than 2^16 times wider than the rectangle has no step.
    TestImage wide = NumberedRow(1, 70000);
    TestImage dst = Cleared(1, 8, 1);
    const ImageRect one{0, 0, 1, 1};
    BltStretchMemImg(dst.get(), wide.get(), &one, 0, nullptr);
    EXPECT_TRUE(untouched(dst)) << "zero step";
  }
  {
    // Sources 2^16 wide and more: a pixel whose texel would lie past the
    // last column is not drawn. 100000 texels onto 3 pixels: step 1, so
    // pixel 2 would show texel 131072.
    TestImage wide = NumberedRow(1, 100000);
    TestImage dst = Cleared(1, 8, 1);
    const ImageRect three{0, 0, 3, 1}, back{3, 0, 0, 1};
    BltStretchMemImg(dst.get(), wide.get(), &three, 0, nullptr);
    EXPECT_EQ(TexelsOfRow(dst, 0, 0, 4), (std::vector<int>{0, 65536, -1, -1}));
    TestImage dst2 = Cleared(1, 8, 1);
    BltStretchMemImg(dst2.get(), wide.get(), &back, 0, nullptr);
    EXPECT_EQ(TexelsOfRow(dst2, 0, 0, 4), (std::vector<int>{99999, 34463, -1, -1}));
  }
  {
    // A blend image that does not cover the texels walked: refused.
    TestImage blend = MakeImage(2, 0, 0, 3, 1);
    TestImage dst = Cleared(1, 8, 1);
    BltStretchMemImg(dst.get(), src.get(), &r, 0, blend.get());
    EXPECT_TRUE(untouched(dst)) << "narrow blend image";
  }
}

// Operator cases of the stretched loops (a 1 x 1 source drawn 2 x 1).
struct OpCase {
  const char* name;
  int kind, palette, alpha;
  int mode, value, mmx, trans;
  uint32_t bright;
  uint32_t texel;  // pixel, or index into a palette whose entry 0 is `entry`
  uint32_t entry;
  uint32_t before, after;
};

TEST_F(StretchBlitTest, OperatorCases) {
  const OpCase cases[] = {
      {"transparency compares the fourth byte", 1, 0, 0, 0, 0, 0, 1, 0xffffff,
       P32(1, 2, 3, 9), 0, 0, P32(1, 2, 3, 9)},
      {"alpha 255 flag on copies four bytes", 1, 0, 1, 0, 0, 0, 1, 0xffffff,
       P32(0, 0, 255, 255), 0, 0, P32(0, 0, 255, 255)},
      {"alpha 0 flag on leaves the pixel", 1, 0, 1, 0, 0, 0, 1, 0xffffff, P32(0, 0, 255, 0), 0,
       P32(1, 2, 3, 4), P32(1, 2, 3, 4)},
      {"alpha 255 flag off is weighted", 1, 0, 1, 0, 0, 0, 0, 0xffffff, P32(0, 0, 255, 255), 0,
       0, P32(0, 0, 254)},
      {"alpha 0 flag on in multiply leaves the pixel", 1, 0, 1, 4, 0, 0, 1, 0xffffff,
       P32(9, 9, 9, 0), 0, P32(100, 100, 100, 7), P32(100, 100, 100, 7)},
      {"mode 1 at 255 is a copy", 1, 0, 0, 1, 255, 0, 0, 0xffffff, P32(1, 2, 3, 4), 0,
       P32(50, 50, 50), P32(1, 2, 3, 4)},
      {"mode 1 at 128 mixes by P, no half mix", 1, 0, 0, 1, 128, 0, 0, 0xffffff,
       P32(255, 255, 255), 0, P32(0, 0, 0, 0x55), P32(127, 127, 127, 0x55)},
      {"add carries blue into green", 1, 0, 0, 2, 255, 1, 0, 0xffffff, P32(0, 0, 100), 0,
       P32(0, 0, 200), P32(0, 1, 255)},
      {"palette subtract at P 0", 1, 1, 0, 3, 0, 0, 0, 0xffffff, 0, 0, P32(0x40, 0x20, 0x10, 0x80),
       P32(0x41, 0x21, 0x10, 0)},
      {"fast subtract byte-wise", 1, 0, 0, 3, 255, 1, 0, 0xffffff, 0x10101010u, 0,
       P32(0x40, 0x20, 0x10, 0x80), P32(0x30, 0x10, 0x00, 0x70)},
      {"fast subtract packed", 1, 0, 0, 3, 255, 0, 0, 0xffffff, 0x10101010u, 0,
       P32(0x40, 0x20, 0x10, 0x80), P32(0x31, 0x11, 0x00, 0)},
      {"palette fast subtract byte-wise", 1, 1, 0, 3, 255, 1, 0, 0xffffff, 0, 0x10101010u,
       P32(0x40, 0x20, 0x10, 0x80), P32(0x30, 0x10, 0x00, 0x70)},
      {"multiply", 1, 0, 0, 4, 0, 0, 0, 0xffffff, P32(255, 255, 255), 0, P32(200, 200, 200, 5),
       P32(199, 199, 199, 5)},
      {"16: signed mix at 200", 0, 0, 0, 1, 200, 0, 0, 0xffffff, P16(31, 63, 31), 0, 0,
       P16(24, 49, 24)},
      {"16: signed mix at 128, black over white", 0, 0, 0, 1, 128, 0, 0, 0xffffff, 0, 0,
       P16(31, 63, 31), P16(16, 32, 16)},
      {"16: signed mix tinted", 0, 0, 0, 1, 128, 0, 0, 0xff7fff, P16(31, 63, 31), 0, 0,
       P16(15, 15, 15)},
      {"16: add", 0, 0, 0, 2, 255, 0, 0, 0xffffff, P16(0, 0, 1), 0, P16(0, 0, 31), P16(0, 1, 31)},
      {"16: subtract", 0, 0, 0, 3, 255, 0, 0, 0xffffff, P16(0, 0, 5), 0, 0, P16(1, 0, 0)},
      {"16: palette subtract at P 0", 0, 1, 0, 3, 0, 0, 0, 0xffffff, 0, P16(9, 9, 9),
       P16(0, 1, 0), P16(1, 0, 0)},
      {"16: direct subtract at P 0", 0, 0, 0, 3, 0, 0, 0, 0xffffff, P16(9, 9, 9), 0,
       P16(0, 1, 0), P16(0, 1, 0)},
      {"16: multiply", 0, 0, 0, 4, 0, 0, 0, 0xffffff, P16(31, 63, 31), 0, P16(31, 63, 31),
       P16(30, 62, 30)},
      {"16: alpha 255 flag on", 0, 0, 1, 0, 0, 0, 1, 0xffffff, 0xffffu | (255u << 16), 0, 0,
       P16(31, 63, 31)},
      {"16: alpha 255 flag off", 0, 0, 1, 0, 0, 0, 0, 0xffffff, 0xffffu | (255u << 16), 0, 0,
       P16(30, 62, 30)},
      {"16: alpha 0 flag on, multiply", 0, 0, 1, 4, 0, 0, 1, 0xffffff, 0xffffu, 0, P16(5, 5, 5),
       P16(5, 5, 5)},
      {"16: alpha 0 flag off, subtract", 0, 0, 1, 3, 255, 0, 0, 0xffffff, 0xffffu, 0,
       P16(0, 1, 0), P16(1, 0, 0)},
      {"16: alpha 0 flag off, multiply", 0, 0, 1, 4, 0, 0, 0, 0xffffff, 0xffffu, 0, P16(5, 5, 5),
       0},
  };
  for (const OpCase& c : cases) {
    TestImage src = MakeImage(c.kind, c.palette, c.alpha, 1, 1);
    if (c.palette) {
      std::memcpy(src.get()->DrawPalette, &c.entry, c.kind ? 4 : 2);
      src.get()->TransColor = 1;
    } else {
      src.get()->TransColor = c.kind ? P32(1, 2, 3, 0) : 0;
    }
    src.Set(0, 0, c.texel);
    TestImage dst = MakeImage(c.kind, 0, 0, 2, 1);
    dst.Set(0, 0, c.before);
    dst.Set(1, 0, c.before);
    SetBlend(c.mode, c.value);
    UseMmx = c.mmx;
    CurrentDrawState.DrawBright = c.bright;
    const ImageRect r{0, 0, 2, 1};
    BltStretchMemImg(dst.get(), src.get(), &r, c.trans, nullptr);
    EXPECT_EQ(dst.Get(0, 0), c.after) << c.name;
    EXPECT_EQ(dst.Get(1, 0), c.after) << c.name;
  }
}

// A palette source skips its transparent index, not its colour.
TEST_F(StretchBlitTest, PaletteTransparencyComparesTheIndex) {
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 1, 0, 2, 1);
    const uint32_t colour = kind ? P32(10, 20, 30) : P16(1, 2, 3);
    std::memcpy(src.get()->DrawPalette, &colour, kind ? 4 : 2);
    std::memcpy(src.get()->DrawPalette + (kind ? 4 : 2), &colour, kind ? 4 : 2);
    src.get()->TransColor = 1;
    src.Set(0, 0, 0);
    src.Set(1, 0, 1);
    TestImage dst = Cleared(kind, 4, 1);
    const ImageRect r{0, 0, 4, 1};
    BltStretchMemImg(dst.get(), src.get(), &r, 1, nullptr);
    EXPECT_EQ(dst.Get(1, 0), colour);
    EXPECT_EQ(dst.Get(2, 0), 0u);
    EXPECT_EQ(dst.Get(3, 0), 0u);
  }
}

std::string FirstDifference(const TestImage& got, const TestImage& want) {
  for (int y = 0; y < got.get()->Height; ++y)
    for (int x = 0; x < got.get()->Width; ++x)
      if (got.Get(x, y) != want.Get(x, y))
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": got " +
               std::to_string(got.Get(x, y)) + " want " + std::to_string(want.Get(x, y));
  return "none";
}

// Sources of the differential tests: a 16-entry palette and a run table.
constexpr RandomSourceOptions kStretchSource{16, false, true};

// Every loop of both kinds against the reference, over rectangles that
// enlarge, shrink, mirror, clip and match the source's size.
TEST_F(StretchBlitTest, EveryLoopMatchesTheReference) {
  const int values[] = {0, 1, 128, 200, 255};
  const uint32_t brights[] = {0xffffffff, 0x7f30a5};
  const ImageRect rects[] = {
      {1, 0, 12, 7},    // enlarge, 5 x 3 to 11 x 7
      {0, 1, 3, 3},     // shrink
      {11, 6, -2, 0},   // mirrored both ways, cut at the left
      {2, 1, 7, 4},     // same size
      {7, 0, 2, 3},     // same size, mirrored
      {-20, -9, 13, 9}, // cut at every side
  };
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 3; ++form) {
      std::mt19937 rng(2000 + kind * 10 + form);
      const TestImage src = RandomSource(rng, kind, form, 5, 3, kStretchSource);
      TestImage blend = MakeImage(2, 0, 0, 6, 3);
      FillRandom(blend, rng);
      TestImage dest = MakeImage(kind, 0, 0, 12, 8, 4);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 5; ++mode)
        for (int value : values)
          for (int b = 0; b < 2; ++b)
            for (uint32_t bright : brights)
              for (int trans = 0; trans < 2; ++trans)
                for (int mmx = 0; mmx < 2; ++mmx) {
                  BuildBlendGraphTable(static_cast<int>(rng() & 255), static_cast<int>(rng() & 255));
                  SetBlend(mode, value);
                  CurrentDrawState.DrawBright = bright;
                  SetArea(1, 0, 12, 7);
                  UseMmx = mmx;
                  ReferenceOptions ref;
                  ref.state = &CurrentDrawState;
                  ref.weight_table = BlendGraphTable;
                  ref.use_mmx = mmx;
                  for (const ImageRect& r : rects) {
                    TestImage got = CloneImage(dest), want = CloneImage(dest);
                    const MEMIMG* bimg = b ? blend.get() : nullptr;
                    BltStretchMemImg(got.get(), src.get(), &r, trans, bimg);
                    ReferenceBltStretchMemImg(want.get(), src.get(), r, trans, bimg, ref);
                    if (got.pixels != want.pixels && failures++ < 10) {
                      ADD_FAILURE() << "kind " << kind << " form " << form << " mode " << mode
                                    << " P " << value << " blend " << b << " bright " << bright
                                    << " trans " << trans << " mmx " << mmx << " rect "
                                    << r.left << "," << r.top << "," << r.right << ","
                                    << r.bottom << ": " << FirstDifference(got, want);
                    }
                  }
                }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Wide rows exercise the four-pixel loops and their tails at 32 bits.
TEST_F(StretchBlitTest, WideRowsMatchTheReference) {
  std::mt19937 rng(77);
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 3; ++form) {
      const TestImage src = RandomSource(rng, kind, form, 13, 5, kStretchSource);
      TestImage dest = MakeImage(kind, 0, 0, 40, 9);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 4; ++mode)
        for (int trans = 0; trans < 2; ++trans)
          for (uint32_t bright : {0xffffffu, 0x80c0ffu}) {
            SetBlend(mode, 200);
            CurrentDrawState.DrawBright = bright;
            SetArea(0, 0, 40, 9);
            ReferenceOptions ref;
            ref.state = &CurrentDrawState;
            ref.weight_table = BlendGraphTable;
            ref.use_mmx = UseMmx;
            for (const ImageRect& r : {ImageRect{0, 0, 39, 9}, ImageRect{38, 9, 1, 0},
                                       ImageRect{3, 1, 10, 4}}) {
              TestImage got = CloneImage(dest), want = CloneImage(dest);
              BltStretchMemImg(got.get(), src.get(), &r, trans, nullptr);
              ReferenceBltStretchMemImg(want.get(), src.get(), r, trans, nullptr, ref);
              if (got.pixels != want.pixels && failures++ < 5) {
                ADD_FAILURE() << "kind " << kind << " form " << form << " mode " << mode
                              << " trans " << trans << ": " << FirstDifference(got, want);
              }
            }
          }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(StretchBlitTest, ReferenceTexelFormula) {
  EXPECT_EQ(ReferenceTexel(4, 5, 4), 3);
  EXPECT_EQ(ReferenceTexel(1, 5, 4), 0);
  EXPECT_EQ(ReferenceTexel(2, 3, 100000), -1);
  EXPECT_EQ(ReferenceTexel(0, 1, 70000), -1);
}

}  // namespace
