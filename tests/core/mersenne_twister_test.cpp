// The Mersenne Twister table against two independent references: the
// classic one-word-at-a-time generator with the 69069 seeding, and the
// standard library's mt19937 for the twist and tempering.
#include "engine/core/base/mersenne_twister.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The textbook generator: seeds with the 69069 fill and produces one
// tempered word per call, twisting the table in three loops.
class ReferenceTwister {
 public:
  explicit ReferenceTwister(uint32_t seed) {
    for (int i = 0; i < kN; ++i) {
      mt_[i] = seed & 0xffff0000u;
      seed = 69069u * seed + 1u;
      mt_[i] |= (seed & 0xffff0000u) >> 16;
      seed = 69069u * seed + 1u;
    }
  }
  uint32_t Next() {
    static const uint32_t mag01[2] = {0u, 0x9908b0dfu};
    if (index_ >= kN) {
      int kk = 0;
      uint32_t y;
      for (; kk < kN - kM; ++kk) {
        y = (mt_[kk] & 0x80000000u) | (mt_[kk + 1] & 0x7fffffffu);
        mt_[kk] = mt_[kk + kM] ^ (y >> 1) ^ mag01[y & 1u];
      }
      for (; kk < kN - 1; ++kk) {
        y = (mt_[kk] & 0x80000000u) | (mt_[kk + 1] & 0x7fffffffu);
        mt_[kk] = mt_[kk + (kM - kN)] ^ (y >> 1) ^ mag01[y & 1u];
      }
      y = (mt_[kN - 1] & 0x80000000u) | (mt_[0] & 0x7fffffffu);
      mt_[kN - 1] = mt_[kM - 1] ^ (y >> 1) ^ mag01[y & 1u];
      index_ = 0;
    }
    uint32_t y = mt_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
  }

 private:
  static constexpr int kN = 624, kM = 397;
  uint32_t mt_[kN];
  int index_ = kN;
};

TEST(MersenneTwisterTest, SeededTableEqualsTheClassicGenerator) {
  for (uint32_t seed : {4357u, 0u, 0xFFFFFFFFu, 123456789u}) {
    SeedMtRandom(seed);
    const MtRandomState& state = GetMtRandomState();
    EXPECT_EQ(state.index, 1);
    ReferenceTwister reference(seed);
    for (int i = 0; i < 624; ++i) {
      ASSERT_EQ(state.words[i], reference.Next()) << "seed " << seed << " word " << i;
    }
  }
}

TEST(MersenneTwisterTest, RegenerationMatchesStandardMt19937BothPaths) {
  for (int use_mmx : {0, 1}) {
    // The standard library's default engine starts from the state that
    // 1812433253-seeding makes of 5489; load the same state and regenerate.
    MtRandomState& state = GetMtRandomState();
    state.words[0] = 5489u;
    for (uint32_t i = 1; i < 624; ++i) {
      state.words[i] = 1812433253u * (state.words[i - 1] ^ (state.words[i - 1] >> 30)) + i;
    }
    state.use_mmx = use_mmx;
    RegenMtRandom();
    std::mt19937 standard;
    EXPECT_EQ(state.words[0], 3499211612u);  // the published first output
    for (int i = 0; i < 624; ++i) ASSERT_EQ(state.words[i], standard()) << i;
  }
#if defined(__x86_64__)
  EXPECT_EQ(CheckMmxSupport(), 1);
#endif
}

}  // namespace
