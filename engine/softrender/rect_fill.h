// The rectangle fill: one colour laid over a rectangle of a memory image
// under the blend mode of the draw state, after the colour is scaled by the
// draw-bright colour (each channel times its bright byte, divided by 256).
//
// The colour is a pixel value of the destination's kind: a 5-6-5 value in
// the low 16 bits for kind 0, a 32-bit value (blue in the low byte, then
// green, red and the fourth byte) for kind 1. Rectangles are left, top,
// right, bottom in destination pixels, right and bottom exclusive; the fill
// orders the corners itself and never writes outside the draw area nor
// outside the image. Palette and alpha images, other kinds, blend modes
// outside 0-4 and a blend value of 0 in modes 1-3 write nothing.
// Re-entrant; reads CurrentDrawState and the blend tables at each call.
#pragma once

#include <cstdint>

#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"

// rect: null for the whole image.
void FillMemImgRect(MEMIMG* dest, const ImageRect* rect, uint32_t colour);

namespace softrender {

// The per-call colour and operation of the flat-colour draws (fill, line):
// the colour already scaled by a non-white draw-bright colour, and the mode
// after the blend-value rules (mode 1 at P = 255 becomes 0).
struct FlatColour {
  int kind = 0;         // 0: 16-bit, 1: 32-bit
  unsigned mode = 0;    // 0-4
  uint32_t p = 0;       // 0-255
  uint32_t colour = 0;  // scaled, in the destination's format
};

// False when nothing is to be drawn on dest with this state.
bool ResolveFlatColour(const MEMIMG& dest, const DrawState& state, uint32_t colour,
                       FlatColour* out);

// The draw area met with the image's bounds; false when empty.
bool DrawAreaInImage(const MEMIMG& dest, const DrawState& state, IntRect* out);

}  // namespace softrender
