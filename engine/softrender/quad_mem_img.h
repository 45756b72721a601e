// The four-point draw of the software renderer: a whole source memory image
// mapped onto four free destination points as two textured triangles.
//
// Points are destination pixels in source-corner order: top-left,
// top-right, bottom-left, bottom-right of the source. The first triangle is
// points 0-1-2, the second 1-2-3; they share the edge from the source's
// top-right to its bottom-left corner, whose pixels both triangles draw (so
// blend modes other than copy blend them twice). Points given clockwise
// around the quad instead give a bow-tie. A quad whose bounding rectangle,
// widened by 2 pixels up and left and 4 down and right, misses the draw
// area draws nothing without any triangle set-up. Everything else (refusals,
// clipping, blending) is the triangle rasteriser's.
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"
#include "engine/softrender/triangle_mem_img.h"

// Four corner points, each x then y.
struct QuadRecord {
  int32_t p[4][2];
};

// Builds the two triangles of a quad over a source of width x height.
void MakeQuadTriangles(const QuadRecord& quad, int32_t width, int32_t height, TriangleRecord* first,
                       TriangleRecord* second);

// The rejection test of DrawQuadMemImg: false when the quad's widened
// bounding rectangle, clipped to area, is empty.
bool QuadMayTouchArea(const QuadRecord& quad, const IntRect& area);

void DrawQuadMemImg(MEMIMG* dest, const MEMIMG* source, const QuadRecord* quad, int32_t transFlag,
                    const MEMIMG* blendImage);
