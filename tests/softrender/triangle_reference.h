// A slow, branching model of the one-texel-per-pixel drawing of the triangle
// spans and the rotated blit, written channel by channel from the operator
// tables (tint, weights, gate, blend mode), reading ProductTable and
// DiffTable directly and the packed add and subtract through their
// per-channel models. The span loops must give exactly its pixels.
#pragma once

#include <cstdint>

#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg.h"
#include "engine/softrender/triangle_mem_img.h"

namespace softrender_test {

// The new destination pixel for texel (col, row) of source over d under the
// draw state; blend_byte is read only when has_blend. Mode and value are
// the draw state's, the blend-value rules applied by the caller.
uint32_t RefTexelPixel(const DrawState& state, const MEMIMG& source, int trans_flag, bool has_blend,
                       const uint8_t* weight_table, uint32_t d, uint32_t col, uint32_t row,
                       uint32_t blend_byte);

// The fill of a flat-colour triangle pixel.
uint32_t RefFlatPixel(const DrawState& state, int kind, uint32_t colour, uint32_t d);

// The blend-value rules: false when nothing is drawn.
bool RefDraws(const DrawState& state, bool palette_source);

// The whole triangle: the tests' own set-up and row walk
// (reference_geometry.h), pixels by the model above.
void ReferenceDrawTriangle(MEMIMG* dest, const MEMIMG* source, const TriangleRecord& tri,
                           int trans_flag, const MEMIMG* blend, uint32_t colour,
                           const DrawState& state, const uint8_t* weight_table);

// The rotated blit without the turn flag: the tests' own geometry
// (reference_geometry.h), texel coordinates by their closed form at every
// pixel.
void ReferenceRotateBlit(MEMIMG* dest, const MEMIMG* source, int cx, int cy, float angle,
                         float scale, int trans_flag, const MEMIMG* blend, const DrawState& state,
                         const uint8_t* weight_table);

}  // namespace softrender_test
