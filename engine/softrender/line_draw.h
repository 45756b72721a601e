// One-pixel lines on a memory image, and the line list that box outlines
// and line lists are drawn with.
//
// A line runs from its start point (drawn) to its end point (not drawn). It
// is clipped once, in double precision, to the draw area (met with the
// image's bounds), so that the start point lies inside the area and the end
// point at most one pixel outside it, then stepped in integers with one error
// term along its major axis: for |dx| >= |dy| pixel k is
// (x1 + sx * k, y1 + sy * floor(k * |dy| / |dx|)), and correspondingly with x
// and y exchanged. Each pixel set is combined with the colour by the
// rectangle fill's rules (draw-bright scale, blend mode and value of the
// draw state). Coordinates are destination pixels; the colour is a pixel
// value of the destination's kind. Palette and alpha images are refused.
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"

// One line of a line list: end points, colour (a pixel value of the
// target's format) and blend value, which the software line does not read
// (it uses the draw state's).
struct LineRecord {
  int32_t x1, y1, x2, y2;
  int32_t Color;
  int32_t BlendValue;
};

void DrawMemImgLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);

// The first count records in order; a count of 0 or less draws nothing.
void DrawMemImgLines(MEMIMG* dest, const LineRecord* records, int32_t count);
