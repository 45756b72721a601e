// What the graph and box draw entries add for the Direct3D back end: the
// choice of the 3D path for boxes, and the subtract passes. Blend mode 3
// (dest - src) has no Direct3D blend of its own: a texture graphic is drawn
// in the internal mode 5 (add) between two white fills in mode 3, each of
// which inverts the target over the draw's bounding rectangle, which leaves
// the target minus the graphic. Rectangles in target pixels, right and
// bottom exclusive.
#pragma once

#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/image/draw_state.h"

// Boxes go through Direct3D when 3D drawing is wanted and usable, software
// rendering is off and graphics may live in textures.
bool BoxesDrawn3D();

// The white fill before the draw, leaving blend mode 5 with the draw's
// value; the one after it, leaving mode 3 again. DrawBright is kept.
void SubtractPrePass3D(const IntRect& bounds);
void SubtractPostPass3D(const IntRect& bounds);

// Runs a Direct3D draw, with the subtract passes around it in blend mode 3.
template <typename Draw>
int RunDraw3D(const IntRect& bounds, Draw draw) {
  if (CurrentDrawState.BlendMode != 3) return draw();
  SubtractPrePass3D(bounds);
  const int result = draw();
  SubtractPostPass3D(bounds);
  return result;
}
