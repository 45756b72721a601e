// The stretched and rotated graph draws: their 2D back ends (software
// renderer on the target's image, or through the 2D draw frame on the
// display surfaces) and the entries with the draw skeleton. Corners are
// target pixels; a corner pair in reverse order mirrors. Angles in radians,
// scale 1.0 the natural size.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"

struct GraphRecord;

// 0 drawn, -1 refused: no display object, a bad surface, a zero-size source,
// or a destination of 32,768 or more pixels a side (its 16.16 steps would
// overflow). intFlag other than 1: the corners carry float bits. surface: a
// 2D surface handle, -1 for the graph's own.
int DrawStretchGraph2D(int x1, int y1, int x2, int y2, const GraphRecord* graph, int transparent,
                       int intFlag, int surface);
int DrawRotateGraph2D(float cx, float cy, double scale, double angle, const GraphRecord& graph,
                      int transparent, int turn);

// The bounding box of the rotated graph's corners as the entry computes it
// (in doubles, widened by 5, truncated).
IntRect RotatedBounds(int width, int height, double cx, double cy, double scale, double angle);

int BlitStretchGraph(int x1, int y1, int x2, int y2, int graph, int transparent);
int BlitMirrorGraph(int x, int y, int graph, int transparent);
int BlitRotateGraph(float cx, float cy, double scale, double angle, int graph, int transparent,
                    int turn);
int BlitRotateGraphInt(int cx, int cy, double scale, double angle, int graph, int transparent,
                       int turn);
// The corners the whole graph (width x height) is stretched to so that its
// source rectangle (sx, sy, sw, sh) covers (x1, y1)-(x2, y2).
IntRect StretchPartCorners(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh,
                           int width, int height);
// The source rectangle (sx, sy, sw, sh) stretched onto (x1, y1)-(x2, y2).
int BlitStretchGraphPart(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph,
                         int transparent);
