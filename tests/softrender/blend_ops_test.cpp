// Vectors of the pixel operators at 32 and 16 bits, the lookup tables, the
// weight table, and the packed bit formulas against their per-channel rules.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "blit_reference.h"
#include "draw_test_support.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blend_ops16.h"
#include "engine/softrender/blend_ops32.h"
#include "engine/softrender/blend_vec32.h"

using namespace softrender;
using softrender_test::P16;
using softrender_test::P32;
using softrender_test::RefSaturatingAdd;
using softrender_test::RefSaturatingAdd16;
using softrender_test::RefSaturatingAdd16Pair;
using softrender_test::RefSaturatingSubtract;
using softrender_test::RefSaturatingSubtract16;
using softrender_test::RefSaturatingSubtract16Pair;

namespace {

constexpr uint32_t Pair(uint32_t first, uint32_t second) { return first | (second << 16); }

class BlendTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildBlendTables(); }
};

struct OpVector {
  const char* name;
  uint32_t (*op)(uint32_t, uint32_t);
  uint32_t d, v, expected;
};

TEST(BlendOps32, PackedAddSubtractAndHalfMixVectors) {
  const OpVector cases[] = {
      {"add blue carries into green", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(0, 0, 255), P32(0, 0, 1), P32(0, 1, 255)},
      {"add keeps lowest green bit", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(0, 1, 0), P32(0, 1, 0), P32(0, 1, 0)},
      {"add red saturates", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(255, 0, 0), P32(1, 0, 0), P32(255, 0, 0)},
      {"add red carry sets fourth byte", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(128, 0, 0), P32(128, 0, 0), P32(255, 0, 0, 1)},
      {"add white", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(255, 255, 255), P32(255, 255, 255), P32(255, 255, 255, 1)},
      {"add clears fourth byte", [](uint32_t d, uint32_t v) { return SaturatingAdd(d, v); },
       P32(3, 4, 5, 0xff), P32(1, 1, 1, 0x7f), P32(3, 5, 6)},
      {"short add drops green bit", [](uint32_t d, uint32_t v) { return SaturatingAddShort(d, v); },
       P32(0, 1, 0), P32(0, 1, 0), P32(0, 0, 0)},
      {"short add drops red bit", [](uint32_t d, uint32_t v) { return SaturatingAddShort(d, v); },
       P32(1, 0, 0), P32(1, 0, 0), P32(0, 0, 0)},
      {"short add red", [](uint32_t d, uint32_t v) { return SaturatingAddShort(d, v); },
       P32(255, 0, 0), P32(1, 0, 0), P32(254, 0, 0)},
      {"subtract black from black", [](uint32_t d, uint32_t v) { return SaturatingSubtract(d, v); },
       P32(0, 0, 0), P32(0, 0, 0), P32(1, 1, 0)},
      {"subtract from green 1", [](uint32_t d, uint32_t v) { return SaturatingSubtract(d, v); },
       P32(0, 1, 0), P32(0, 0, 0), P32(1, 1, 0)},
      {"subtract blue borrow", [](uint32_t d, uint32_t v) { return SaturatingSubtract(d, v); },
       P32(0, 0, 0), P32(0, 0, 5), P32(1, 0, 0)},
      {"subtract grey", [](uint32_t d, uint32_t v) { return SaturatingSubtract(d, v); },
       P32(255, 255, 255), P32(127, 127, 127), P32(129, 129, 128)},
      {"subtract clears fourth byte", [](uint32_t d, uint32_t v) { return SaturatingSubtract(d, v); },
       P32(9, 9, 9, 255), P32(0, 0, 0, 3), P32(9, 9, 9)},
      {"byte-wise subtract", [](uint32_t d, uint32_t v) { return SaturatingSubtractBytes(d, v); },
       0x80402010u, 0x10101010u, 0x70301000u},
      {"byte-wise add", [](uint32_t d, uint32_t v) { return SaturatingAddBytes(d, v); },
       0x80402010u, 0x10101010u, 0x90503020u},
      {"byte-wise add saturates", [](uint32_t d, uint32_t v) { return SaturatingAddBytes(d, v); },
       0xf0f0f0f0u, 0x20202020u, 0xffffffffu},
      {"half mix white over black", [](uint32_t d, uint32_t s) { return HalfMix32(d, s); },
       P32(0, 0, 0, 9), P32(255, 255, 255, 255), P32(127, 127, 127)},
      {"half mix black over white", [](uint32_t d, uint32_t s) { return HalfMix32(d, s); },
       P32(255, 255, 255, 255), P32(0, 0, 0), P32(127, 127, 127)},
  };
  for (const OpVector& c : cases) {
    EXPECT_EQ(c.op(c.d, c.v), c.expected) << c.name;
  }
}

TEST(BlendOps16, PackedAddSubtractPairAndHalfMixVectors) {
  const OpVector cases[] = {
      {"add blue carry", [](uint32_t d, uint32_t v) { return SaturatingAdd16(d, v); },
       P16(0, 0, 31), P16(0, 0, 1), P16(0, 1, 31)},
      {"add keeps green bit", [](uint32_t d, uint32_t v) { return SaturatingAdd16(d, v); },
       P16(0, 1, 0), P16(0, 1, 0), P16(0, 1, 0)},
      {"add keeps red bit", [](uint32_t d, uint32_t v) { return SaturatingAdd16(d, v); },
       P16(1, 0, 0), P16(1, 0, 0), P16(1, 0, 0)},
      {"add white", [](uint32_t d, uint32_t v) { return SaturatingAdd16(d, v); },
       P16(31, 63, 31), P16(31, 63, 31), P16(31, 63, 31)},
      {"lone add", [](uint32_t d, uint32_t v) { return SaturatingAdd16Lone(d, v); },
       P16(0, 1, 0), P16(0, 1, 0), P16(0, 0, 0)},
      {"pair add drops green bits", [](uint32_t d, uint32_t v) { return SaturatingAdd16Pair(d, v); },
       Pair(P16(0, 1, 0), P16(0, 1, 0)), Pair(P16(0, 1, 0), P16(0, 1, 0)), 0},
      {"pair add red carry enters second blue",
       [](uint32_t d, uint32_t v) { return SaturatingAdd16Pair(d, v); }, Pair(P16(31, 0, 0), 0),
       Pair(P16(31, 0, 0), 0), Pair(P16(31, 0, 0), P16(0, 0, 1))},
      {"pair add second blue low bit lost",
       [](uint32_t d, uint32_t v) { return SaturatingAdd16Pair(d, v); }, Pair(0, P16(0, 0, 1)),
       Pair(0, P16(0, 0, 1)), 0},
      {"subtract green 1", [](uint32_t d, uint32_t v) { return SaturatingSubtract16(d, v); },
       P16(0, 1, 0), 0, P16(1, 0, 0)},
      {"subtract white minus black", [](uint32_t d, uint32_t v) { return SaturatingSubtract16(d, v); },
       P16(31, 63, 31), 0, P16(31, 62, 31)},
      {"subtract blue borrow", [](uint32_t d, uint32_t v) { return SaturatingSubtract16(d, v); },
       0, P16(0, 0, 5), P16(1, 0, 0)},
      {"subtract grey", [](uint32_t d, uint32_t v) { return SaturatingSubtract16(d, v); },
       P16(31, 63, 31), P16(15, 31, 15), P16(17, 32, 16)},
      {"pair subtract red borrow",
       [](uint32_t d, uint32_t v) { return SaturatingSubtract16Pair(d, v); },
       Pair(0, P16(0, 0, 1)), Pair(P16(2, 0, 0), 0), Pair(0, P16(1, 0, 0))},
      {"pair subtract no borrow",
       [](uint32_t d, uint32_t v) { return SaturatingSubtract16Pair(d, v); },
       Pair(0, P16(0, 0, 1)), Pair(0, 0), Pair(P16(1, 0, 0), P16(1, 0, 1))},
      {"half mix white over black", [](uint32_t d, uint32_t s) { return HalfMix16(d, s); }, 0,
       P16(31, 63, 31), P16(15, 31, 15)},
      {"half mix black over white", [](uint32_t d, uint32_t s) { return HalfMix16(d, s); },
       P16(31, 63, 31), 0, P16(15, 31, 15)},
      {"half mix pair", [](uint32_t d, uint32_t s) { return HalfMix16Pair(d, s); },
       Pair(0, P16(31, 63, 31)), Pair(P16(31, 63, 31), 0), Pair(P16(15, 31, 15), P16(15, 31, 15))},
  };
  for (const OpVector& c : cases) {
    EXPECT_EQ(c.op(c.d, c.v), c.expected) << c.name;
  }
}

// The bit formulas agree with the per-channel rules on random words.
TEST(BlendOps, PackedFormulasMatchChannelRules) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t d = rng(), v = rng();
    ASSERT_EQ(SaturatingAdd(d, v), RefSaturatingAdd(d, v, false)) << std::hex << d << " " << v;
    ASSERT_EQ(SaturatingAddShort(d, v), RefSaturatingAdd(d, v, true)) << std::hex << d << " " << v;
    ASSERT_EQ(SaturatingSubtract(d, v), RefSaturatingSubtract(d, v)) << std::hex << d << " " << v;
    const uint32_t d16 = d & 0xffff, v16 = v & 0xffff;
    ASSERT_EQ(SaturatingAdd16(d16, v16), RefSaturatingAdd16(d16, v16, true));
    ASSERT_EQ(SaturatingAdd16Lone(d16, v16), RefSaturatingAdd16(d16, v16, false));
    ASSERT_EQ(SaturatingSubtract16(d16, v16), RefSaturatingSubtract16(d16, v16));
    ASSERT_EQ(SaturatingAdd16Pair(d, v), RefSaturatingAdd16Pair(d, v)) << std::hex << d << " " << v;
    ASSERT_EQ(SaturatingSubtract16Pair(d, v), RefSaturatingSubtract16Pair(d, v))
        << std::hex << d << " " << v;
    ASSERT_EQ(HalfMix16Pair(d, v), HalfMix16(d & 0xffff, v & 0xffff) |
                                       (HalfMix16(d >> 16, v >> 16) << 16));
  }
}

TEST_F(BlendTablesTest, TableValues) {
  EXPECT_EQ(MixTable[0][17][40], 40);
  EXPECT_EQ(MixTable[63][17][40], 17);
  EXPECT_EQ(MixTable[32][63][0], 32);
  EXPECT_EQ(ProductTable[255][255], 255u);
  EXPECT_EQ(ProductTable[128][128], 64u);
  EXPECT_EQ(DiffTable[255][511], 255);
  EXPECT_EQ(DiffTable[255][1], -255);
  EXPECT_EQ(DiffTable[100][253], -1);
  for (int p = 0; p < 256; ++p) {
    EXPECT_EQ(DiffTable[p][256], 0);
    EXPECT_EQ(DiffTable[p][0], 0);
    // The centred row gives p * x / 255 toward zero, as the signed table.
    EXPECT_EQ(DiffRow(p)[-255], -p);
    EXPECT_EQ(DiffRow(p)[255], p);
  }
  EXPECT_EQ(DiffRow(100)[-3], -1);
  EXPECT_EQ(DiffRow(200)[-31], -24);
}

// The arithmetic used inside the loops equals the tables for every index.
TEST_F(BlendTablesTest, LoopArithmeticEqualsTables) {
  for (uint32_t i = 0; i < 256; ++i) {
    for (uint32_t j = 0; j < 256; ++j) ASSERT_EQ(Div255(i * j), ProductTable[i][j]) << i << " " << j;
    for (int x = -255; x <= 255; ++x) {
      const uint32_t d = x < 0 ? 255u : 0u, c = d + static_cast<uint32_t>(x);
      ASSERT_EQ(int(SignedMixChannel(d, c, i)) - int(d), DiffRow(i)[x]) << i << " " << x;
    }
  }
  for (uint32_t k = 0; k < 64; ++k) {
    for (uint32_t s = 0; s < 64; ++s) {
      for (uint32_t d = 0; d < 64; ++d) ASSERT_EQ(Mix6Channel(s, d, k), MixTable[k][s][d]);
    }
  }
}

TEST_F(BlendTablesTest, ModeVectors32) {
  BlendParams32 bp;
  const uint32_t white = P32(255, 255, 255), black = 0;
  EXPECT_EQ((BlendOp32<0, true, 1>(black, white, 255, bp)), P32(254, 254, 254));
  EXPECT_EQ((BlendOp32<0, true, 1>(white, black, 255, bp)), 0u);
  bp.p = 200;
  EXPECT_EQ((BlendOp32<1, true, 0>(black, white, 1, bp)), P32(199, 199, 199));
  EXPECT_EQ((BlendOp32<1, true, 0>(white, black, 1, bp)), P32(55, 55, 55));
  bp.p = 128;
  EXPECT_EQ((BlendOp32<2, true, 0>(black, white, 1, bp)), P32(128, 128, 128));
  EXPECT_EQ((BlendOp32<4, true, 0>(white, white, 1, bp)), P32(254, 254, 254));
  EXPECT_EQ((BlendOp32<4, true, 1>(P32(200, 100, 50, 0x77), white, 0, bp)), P32(0, 0, 0, 0x77));
  const uint32_t src = 0x80402010u, dst = P32(1, 2, 3, 0x55);
  EXPECT_EQ((BlendOp32<0, true, 0>(dst, src, 1, bp)), src);
  bp.bright_b = 254;  // draw-bright (255, 255, 254)
  EXPECT_EQ((BlendOp32<0, false, 0>(dst, src, 1, bp)), P32(0x40, 0x20, 0x0f, 0x55));
}

TEST_F(BlendTablesTest, ModeVectors16) {
  BlendParams16 bp;
  const uint32_t white = P16(31, 63, 31), black = 0;
  EXPECT_EQ((BlendOp16<0, true, 1>(black, white, 255, bp)), P16(30, 62, 30));
  EXPECT_EQ((BlendOp16<0, true, 1>(white, black, 255, bp)), 0u);
  bp.p = 200;
  EXPECT_EQ((BlendOp16<1, true, 0>(black, white, 1, bp)), P16(24, 49, 24));
  EXPECT_EQ(SixBitMix16(black, white, 200 / 4), P16(24, 50, 24));
  EXPECT_EQ((BlendOp16<1, true, 0>(white, black, 1, bp)), P16(7, 14, 7));
  EXPECT_EQ(SixBitMix16(white, black, 200 / 4), P16(6, 13, 6));
  bp.p = 128;
  EXPECT_EQ((BlendOp16<2, true, 0>(black, white, 1, bp)), P16(15, 31, 15));
  EXPECT_EQ((BlendOp16<4, true, 0>(white, white, 1, bp)), P16(30, 62, 30));
  EXPECT_EQ((BlendOp16<4, true, 1>(P16(20, 40, 10), white, 0, bp)), 0u);
  bp.bright_b = 254;
  EXPECT_EQ((BlendOp16<0, false, 0>(black, white, 1, bp)), P16(31, 63, 30));
}

// The four-pixel vector operators give the one-pixel operators' results.
template <int Mode, bool White>
void CheckVectorOperators(std::mt19937& rng, const BlendParams32& bp) {
  const VecParams32 v = MakeVecParams32(bp);
  for (int i = 0; i < 2000; ++i) {
    uint32_t d[4], s[4];
    for (int k = 0; k < 4; ++k) {
      d[k] = rng();
      s[k] = rng();
    }
    s[1] = (s[1] & 0xffffff) | (rng() % 2 ? 0xff000000u : 0u);  // alpha 0 or 255 too
    U8x16 dv, sv;
    std::memcpy(&dv, d, 16);
    std::memcpy(&sv, s, 16);
    uint32_t plain[4], weighted[4], wide[4];
    const U8x16 p = BlendPlain32x4<Mode, White>(dv, sv, v);
    const U8x16 w = BlendAlphaWeighted32x4<Mode, White>(dv, sv, v);
    std::memcpy(plain, &p, 16);
    std::memcpy(weighted, &w, 16);
    if constexpr (Mode <= 3) {
      const U8x16 x = BlendAlphaSource32x4<Mode, White>(dv, sv, v);
      std::memcpy(wide, &x, 16);
    }
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(plain[k], (BlendOp32<Mode, White, 0>(d[k], s[k], 1, bp))) << Mode << White;
      const uint32_t want = BlendOp32<Mode, White, 1>(d[k], s[k], s[k] >> 24, bp);
      ASSERT_EQ(weighted[k], want) << Mode << White;
      if constexpr (Mode <= 3) {
        ASSERT_EQ(wide[k], want) << Mode << White;
      }
    }
  }
}

TEST(BlendVec32, FourPixelOperatorsMatchOnePixelOperators) {
  std::mt19937 rng(99);
  for (uint32_t p : {1u, 100u, 128u, 254u, 255u}) {
    BlendParams32 bp;
    bp.p = p;
    bp.bright_r = rng() & 255;
    bp.bright_g = rng() & 255;
    bp.bright_b = rng() & 255;
    CheckVectorOperators<0, true>(rng, bp);
    CheckVectorOperators<0, false>(rng, bp);
    CheckVectorOperators<1, true>(rng, bp);
    CheckVectorOperators<1, false>(rng, bp);
    CheckVectorOperators<2, true>(rng, bp);
    CheckVectorOperators<2, false>(rng, bp);
    CheckVectorOperators<3, true>(rng, bp);
    CheckVectorOperators<3, false>(rng, bp);
    CheckVectorOperators<4, true>(rng, bp);
    CheckVectorOperators<4, false>(rng, bp);
  }
}

struct WeightVector {
  int param, range, index, expected;
};

TEST(BlendGraphTableTest, WeightVectors) {
  BuildBlendGraphTable(0, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(BlendGraphTable[i], 255);
  BuildBlendGraphTable(255, 64);
  for (int i = 0; i < 256; ++i) EXPECT_LE(BlendGraphTable[i], 1);
  const WeightVector cases[] = {{128, 64, 0, 0},     {128, 64, 96, 2},   {128, 64, 160, 254},
                                {128, 64, 161, 255}, {300, -5, 0, 0},    {300, -5, 255, 1},
                                {0, 255, 0, 255},    {255, 255, 255, 1}, {255, 255, 0, 0}};
  for (const WeightVector& c : cases) {
    BuildBlendGraphTable(c.param, c.range);
    EXPECT_EQ(BlendGraphTable[c.index], c.expected)
        << c.param << " " << c.range << " [" << c.index << "]";
  }
}

}  // namespace
