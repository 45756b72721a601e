// The plain blit: a whole source memory image drawn unscaled onto a
// destination memory image of the same colour kind (0: 16-bit 5-6-5,
// 1: 32-bit), clipped to CurrentDrawState.DrawArea, under the blend mode,
// blend value and draw-bright colour of the draw state, with an optional
// transparency test and an optional blend image (one weight byte per source
// pixel, looked up in BlendGraphTable).
//
// Positions are destination pixels and may be negative. The call reads the
// draw state, the blend tables and UseMmx as they are during the call, keeps
// nothing between calls and uses per-call storage only, so it is re-entrant
// (the draw state and tables must not change while it runs). A refused or
// empty draw writes no pixel.
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"

// transFlag: 0 off, any other value tests transparency; only 1 admits the
// whole-image (run table) path. blendImage: null for none.
void BltMemImg(MEMIMG* dest, const MEMIMG* source, int32_t x, int32_t y, int32_t transFlag,
               const MEMIMG* blendImage);
