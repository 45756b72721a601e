// Rectangles of the library: left, top, right, bottom in that order, right
// and bottom exclusive where sizes are taken. A clipped rectangle with
// left == right or top == bottom is empty.
#pragma once

#include <cstdint>

struct IntRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct DoubleRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// Clips rect in place against clip; never fails, returns 0. A right edge
// below the left edge is first raised to it (bottom likewise), then bottom,
// top, right and left are each moved into the clip rectangle. A rectangle
// outside the clip ends up empty.
int ClipRect(IntRect* rect, const IntRect* clip);
// Swaps left/right and top/bottom so that left <= right and top <= bottom.
int NormalizeRect(IntRect* rect);
// right - left and bottom - top (32-bit wrapping); either pointer may be null.
int GetRectSize(const IntRect* rect, int* width, int* height);
// Each field truncated toward zero (0x80000000 outside int32).
void DoubleRectToRect(const DoubleRect* source, IntRect* out);
