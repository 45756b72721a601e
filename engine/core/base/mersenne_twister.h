// The library's Mersenne Twister (MT19937): 624 32-bit words seeded with the
// classic 69069 linear-congruential fill, regenerated as a whole table (twist
// of every word, then tempering of every word in place). One process-wide
// state; nothing in the player reads its numbers, start-up only seeds it.
#pragma once

#include <cstdint>

struct MtRandomState {
  uint32_t words[624] = {};
  int32_t index = 0;
  int32_t use_mmx = 0;  // both regeneration paths give the same table
};

MtRandomState& GetMtRandomState();

// Fills the table from seed, notes the processor's MMX support, sets the
// index to 1 and regenerates the table.
void SeedMtRandom(uint32_t seed);
// Twists the 624 words and tempers each in place (the packed-byte variant
// computes the same table).
void RegenMtRandom();
void RegenMtRandomMmx();
// 1 when the processor has MMX (every x86-64 processor does), else 0.
int CheckMmxSupport();
