// The draw entries of graphs and boxes on the current draw target: texture
// graphics (and boxes, while graphics live in textures) go to the Direct3D
// back end (surface_draw_3d.h), the rest to the 2D back end. The draw skeleton (nothing to
// draw, handle and blend-graphic checks, the wait while inactive, the
// software front-screen pair), and the box and line back ends. Positions in
// target pixels; boxes with right and bottom exclusive; colours are
// ScreenColor values (the screen's pixel format).
#pragma once

#include <cstdint>

#include "engine/softrender/line_draw.h"

// Back-end result; 0 when there is nothing to draw; -1 refused.
int BlitGraph(int x, int y, int graph, int transparent);
// Draws through a blend graphic and restores the previous one; always 0.
int BlitGraphWithBlend(int x, int y, int graph, int transparent, int blendGraph, int borderParam,
                       int borderRange);
// The source rectangle (sx, sy, width, height) at (x, y); mirrored
// left-right when mirror is set.
int BlitGraphPart(int x, int y, int sx, int sy, int width, int height, int graph, int transparent,
                  int mirror);
int FillBox(int x1, int y1, int x2, int y2, uint32_t colour);
int DrawBoxFrame(int x1, int y1, int x2, int y2, uint32_t colour);
int PaintBox(int x1, int y1, int x2, int y2, uint32_t colour, int fill);

// 2D back ends of boxes and lines.
int FillBox2D(int x1, int y1, int x2, int y2, uint32_t colour);
int DrawBoxFrame2D(int x1, int y1, int x2, int y2, uint32_t colour);
int DrawLines2D(const LineRecord* records, int count);
