// A slow, branching model of the stretched blit, written from the texel
// formula (destination offset d shows texel floor(d * 2^16 / step), computed
// per pixel with a 64-bit division, mirrored from the far edge) and from the
// per-channel operator rules with the stretched blit's departures (full
// operators, no short cuts but the byte-wise subtract, alpha sources gated in
// every mode). The optimised blit must give exactly its pixels. Unscaled,
// unmirrored draws go to the plain blit's reference.
#pragma once

#include <cstdint>

#include "blit_reference.h"
#include "engine/graphics/image/image_rect.h"
#include "engine/graphics/image/memimg.h"

namespace softrender_test {

void ReferenceBltStretchMemImg(MEMIMG* dest, const MEMIMG* source, const ImageRect& corners,
                               int trans_flag, const MEMIMG* blend, const ReferenceOptions& options);

// The source column (or row) that destination offset d of a rectangle of
// length `length` shows for a source of length `source_length`; -1 when the
// step is 0 or the texel lies outside the source.
int64_t ReferenceTexel(int64_t d, int64_t length, int64_t source_length);

}  // namespace softrender_test
