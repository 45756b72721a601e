// The 16-bit lane arithmetic of the gated alpha-source operator: the
// divide-by-255 identity over its whole range, the full-alpha weights of
// modes 1 to 3, and BlendAlphaSourcePairs32x4 against the one-pixel operators,
// weighted by alpha everywhere and gated (alpha 0 keeps the destination, 255
// draws unweighted).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/softrender/blend_ops32.h"
#include "engine/softrender/blend_vec32.h"

using namespace softrender;

namespace {

TEST(BlendVec32Arithmetic, DivideBy255IdentityHoldsUpTo255Squared) {
  for (uint32_t v = 0; v <= 255u * 255u; ++v) {
    const uint16_t x = static_cast<uint16_t>(v);
    const uint16_t got = static_cast<uint16_t>(static_cast<uint16_t>(x + 1 + (x >> 8)) >> 8);
    ASSERT_EQ(got, v / 255u) << v;
    ASSERT_EQ(Div255(v), v / 255u) << v;
  }
}

// The full-alpha weights, in the halves form the vector operator computes.
TEST(BlendVec32Arithmetic, FullAlphaWeightsGiveTheUnweightedResults) {
  for (uint32_t p = 0; p < 256; ++p) {
    const uint32_t w = FullAlphaAddWeight(p);
    ASSERT_LE(w, 65536u);
    const uint32_t wh = w >> 8, wl = w & 0xffu;
    for (uint32_t c = 0; c < 256; ++c) {
      const uint32_t amount = (c * wh + ((c * wl) >> 8)) >> 8;
      ASSERT_LE(c * wh + ((c * wl) >> 8), 65535u) << p << " " << c;
      ASSERT_EQ(amount, c * p / 255u) << p << " " << c;
      ASSERT_EQ(amount, (c * w) >> 16) << p << " " << c;
    }
  }
}

// The gated one-pixel result: what the scalar row loop stores.
template <int Mode, bool White>
uint32_t GatedPixel(uint32_t d, uint32_t s, const BlendParams32& bp) {
  const uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a == 255) return BlendOp32<Mode, White, 0>(d, s, 1, bp);
  return BlendOp32<Mode, White, 1>(d, s, a, bp);
}

template <int Mode, bool White>
void CheckAlphaSource(std::mt19937& rng, const BlendParams32& bp) {
  const VecParams32 v = MakeVecParams32(bp);
  const uint32_t alphas[] = {0, 1, 2, 127, 128, 254, 255};
  for (int i = 0; i < 600; ++i) {
    uint32_t d[4], s[4];
    for (int k = 0; k < 4; ++k) {
      d[k] = rng();
      s[k] = rng();
      // Extreme channel values and alphas are where a weight is off by one.
      if (rng() % 4 == 0) s[k] |= 0x00ffffffu;
      if (rng() % 4 == 0) d[k] &= 0xff000000u;
      if (rng() % 2 == 0) s[k] = (s[k] & 0xffffffu) | (alphas[rng() % 7] << 24);
    }
    U8x16 dv, sv;
    std::memcpy(&dv, d, 16);
    std::memcpy(&sv, s, 16);
    const U8x16 gated = BlendAlphaSourcePairs32x4<Mode, White, true>(dv, sv, v);
    const U8x16 weighted = BlendAlphaSourcePairs32x4<Mode, White, false>(dv, sv, v);
    uint32_t got_gated[4], got_weighted[4];
    std::memcpy(got_gated, &gated, 16);
    std::memcpy(got_weighted, &weighted, 16);
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(got_gated[k], (GatedPixel<Mode, White>(d[k], s[k], bp)))
          << "mode " << Mode << " white " << White << " P " << bp.p << " d " << d[k] << " s "
          << s[k];
      ASSERT_EQ(got_weighted[k], (BlendOp32<Mode, White, 1>(d[k], s[k], s[k] >> 24, bp)))
          << "mode " << Mode << " white " << White << " P " << bp.p << " d " << d[k] << " s "
          << s[k];
    }
  }
}

TEST(BlendVec32AlphaSource, MatchesTheOnePixelOperatorsForEveryBlendValue) {
  std::mt19937 rng(7);
  for (uint32_t p = 0; p < 256; ++p) {
    BlendParams32 bp;
    bp.p = p;
    bp.bright_r = p % 3 == 0 ? 255u : rng() & 255;
    bp.bright_g = p % 5 == 0 ? 0u : rng() & 255;
    bp.bright_b = rng() & 255;
    CheckAlphaSource<0, true>(rng, bp);
    CheckAlphaSource<0, false>(rng, bp);
    CheckAlphaSource<1, true>(rng, bp);
    CheckAlphaSource<1, false>(rng, bp);
    CheckAlphaSource<2, true>(rng, bp);
    CheckAlphaSource<2, false>(rng, bp);
    CheckAlphaSource<3, true>(rng, bp);
    CheckAlphaSource<3, false>(rng, bp);
  }
}

}  // namespace
