// The stretched blit: a whole source memory image drawn scaled onto a
// rectangle of a destination memory image of the same colour kind (0: 16-bit
// 5-6-5, 1: 32-bit), mirrored on an axis whose second corner lies before its
// first, clipped to CurrentDrawState.DrawArea, under the blend mode, blend
// value and draw-bright colour of the draw state, with an optional
// transparency test and an optional blend image (one weight byte per source
// texel, read at the texel's column and row).
//
// Corners are destination pixels, right and bottom exclusive once ordered.
// Texels are chosen by 16.16 fixed-point steps (destination pixels per source
// texel): the pixel at offset d from the unclipped left edge shows source
// column floor(d * 2^16 / StepX), counted from the right edge when mirrored;
// rows likewise. The set-up runs in 64 bits, so rectangles of any int32 size
// and cut-away parts of any length give the same texels that the 32-bit
// set-up gives inside its limits, and the walk never leaves the source.
// Draws that cannot be drawn (zero-size source, destination of another
// format, a source more than 2^16 times larger than the rectangle) write no
// pixel. A rectangle of the source's size that mirrors nothing is handed to
// BltMemImg. Re-entrant: per-call storage only.
#pragma once

#include <cstdint>

#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"

// corners: x1 = left, y1 = top, x2 = right, y2 = bottom of the record, in the
// order given (not normalised). transFlag: 0 off, any other value on.
// blendImage: null for none.
void BltStretchMemImg(MEMIMG* dest, const MEMIMG* source, const ImageRect* corners,
                      int32_t transFlag, const MEMIMG* blendImage);
