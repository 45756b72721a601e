// A slow, branching model of the plain blit, written from the operator
// descriptions channel by channel (the packed add and subtract by their
// per-channel rules, not by their bit formulas) and from the loop tables with
// their departures, reading ProductTable, DiffTable and MixTable directly.
// The optimised blit must give exactly its pixels.
#pragma once

#include <cstdint>

#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg.h"

namespace softrender_test {

struct ReferenceOptions {
  const DrawState* state = nullptr;
  const uint8_t* weight_table = nullptr;  // BlendGraphTable
  int use_mmx = 1;
};

void ReferenceBltMemImg(MEMIMG* dest, const MEMIMG* source, int x, int y, int trans_flag,
                        const MEMIMG* blend, const ReferenceOptions& options);

// The packed operators by their per-channel rules (pixels as whole words).
uint32_t RefSaturatingAdd(uint32_t d, uint32_t v, bool short_form);
uint32_t RefSaturatingSubtract(uint32_t d, uint32_t v);
uint32_t RefSaturatingAdd16(uint32_t d, uint32_t v, bool put_back_low_bits);
uint32_t RefSaturatingSubtract16(uint32_t d, uint32_t v);
uint32_t RefSaturatingAdd16Pair(uint32_t d, uint32_t v);
uint32_t RefSaturatingSubtract16Pair(uint32_t d, uint32_t v);

}  // namespace softrender_test
