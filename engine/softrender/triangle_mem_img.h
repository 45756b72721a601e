// The triangle rasteriser of the software renderer: one triangle drawn onto
// a destination memory image, texture-mapped from a source image (affine,
// nearest texel, no filtering) or, without a source, filled with one colour;
// under the blend mode, blend value, draw-bright colour and draw area of
// CurrentDrawState.
//
// Units: vertex x and y are destination pixels, u and v source texels, all
// whole numbers from -8192 to 8191 (a triangle with any value outside that
// range is rejected: nothing is drawn). The rasteriser works in 14.18 fixed
// point with vertices at pixel centres; each row's span runs from the pixel
// of its left edge to the pixel of its right edge, both included, and the
// bottom vertex's row is not drawn (see triangle_setup.h for the exact walk).
// A pixel is drawn only when its interpolated texel lies inside the source.
//
// Nothing is written outside the draw area nor outside the destination. The
// blend image, when given, must cover the source (one byte per texel), or
// the draw is refused. The call keeps nothing between calls.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/image/memimg.h"

// Three vertices one after another, each destination x, y then source u, v.
struct TriangleRecord {
  int32_t v[3][4];
};

inline constexpr int32_t kTriangleCoordMin = -8192;
inline constexpr int32_t kTriangleCoordMax = 8191;

// source: null for a flat-colour triangle. transFlag: non-zero turns the
// transparency test on. blendImage: the blend graphic's image or null.
// colour: the fill colour in the destination's pixel format, read only
// without a source (at 16 bits only the low 16 bits are used).
void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* source, const TriangleRecord* tri,
                        int32_t transFlag, const MEMIMG* blendImage, uint32_t colour);

// The rectangle of destination pixels a triangle can touch (right and
// bottom exclusive), for callers that prepare (lock) images before drawing.
// A vertex at a negative coordinate lands one pixel toward zero, which the
// rectangle includes, as it includes the right and bottom end pixels.
IntRect TriangleDrawBounds(const TriangleRecord& tri);
