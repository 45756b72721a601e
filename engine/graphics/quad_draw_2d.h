// Triangles and four-point draws of a graph: the 2D back ends (the software
// renderer's triangle rasteriser on the target's image, or through the 2D
// draw frame on the display surfaces) and the free four-point entry.
//
// Four-point back ends take their points in source-corner order: top-left,
// top-right, bottom-left, bottom-right of the graph. BlitQuadGraph takes
// them clockwise around the quad (top-left, top-right, bottom-right,
// bottom-left) and exchanges the last two on the way.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"
#include "engine/softrender/quad_mem_img.h"
#include "engine/softrender/triangle_mem_img.h"

struct GraphRecord;

// One triangle of graph (or, with a null graph, a flat triangle of colour in
// the target's pixel format) on the draw target, under the current blend
// state. 0 drawn; -1 refused: no display object, a bad surface, or a failed
// BeginDraw2D.
int DrawTriangleGraph2D(const TriangleRecord& tri, const GraphRecord* graph, int transparent,
                        uint32_t colour);
// The graph mapped onto four points as two triangles. Always 0.
int DrawQuadGraph2D(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3,
                    const GraphRecord& graph, int transparent);
// The float form: each coordinate truncated toward zero. Always 0.
int DrawQuadGraph2DF(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3,
                     const GraphRecord& graph, int transparent);

// The rectangle the software front screen presents after a four-point draw:
// the truncated corners' extent, the minimum starting at 0xFFFFFF and the
// maximum at 0 (so a quad left of or above the origin reaches to 0).
IntRect QuadEntryBounds(const float (&x)[4], const float (&y)[4]);

// The free four-point entry: corners clockwise from the graph's top-left.
// Back-end result; 0 when there is nothing to draw; -1 for a bad handle.
int BlitQuadGraph(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  int graph, int transparent);
