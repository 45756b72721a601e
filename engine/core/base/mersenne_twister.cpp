// MT19937 seeding and whole-table regeneration.
#include "engine/core/base/mersenne_twister.h"

namespace {

constexpr int kWordCount = 624;
constexpr int kMiddle = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;

uint32_t Twist(uint32_t current, uint32_t following, uint32_t middle) {
  uint32_t y = (current & kUpperMask) | (following & kLowerMask);
  return middle ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
}

uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

// The in-place twist, each word using the already twisted words where they
// wrap around, then the tempering of every word.
void RegenerateTable(uint32_t* mt) {
  for (int i = 0; i < kWordCount; ++i) {
    mt[i] = Twist(mt[i], mt[(i + 1) % kWordCount], mt[(i + kMiddle) % kWordCount]);
  }
  for (int i = 0; i < kWordCount; ++i) mt[i] = Temper(mt[i]);
}

}  // namespace

MtRandomState& GetMtRandomState() {
  static MtRandomState state;
  return state;
}

void SeedMtRandom(uint32_t seed) {
  MtRandomState& state = GetMtRandomState();
  for (int i = 0; i < kWordCount; ++i) {
    state.words[i] = seed & 0xFFFF0000u;
    seed = 69069u * seed + 1u;
    state.words[i] |= (seed & 0xFFFF0000u) >> 16;
    seed = 69069u * seed + 1u;
  }
  state.use_mmx = CheckMmxSupport();
  state.index = 1;
  RegenMtRandom();
}

void RegenMtRandom() {
  MtRandomState& state = GetMtRandomState();
  if (state.use_mmx != 0) {
    RegenMtRandomMmx();
    return;
  }
  RegenerateTable(state.words);
}

void RegenMtRandomMmx() {
  // The packed-byte variant only changes how the words are computed, not
  // what they are; one portable loop serves both.
  RegenerateTable(GetMtRandomState().words);
}

int CheckMmxSupport() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx") ? 1 : 0;
#else
  return 0;
#endif
}
