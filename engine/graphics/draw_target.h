// Where 2D drawing goes: the draw-target state (the surface or memory image
// drawn on and the target's offset in it), choosing the target, clearing it,
// and reading a rectangle of it back into a graphic. Targets: -2 the back
// screen, -4 the front screen, or a drawable graphic's handle. Rectangles in
// target pixels, right and bottom exclusive.
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"
#include "platform/display/surface.h"

struct DrawTargetState {
  platform::display::Surface* TargetSurface;  // null when the target is an image
  int32_t TargetOffsetX, TargetOffsetY;
  MEMIMG* TargetMemImg;   // the screens in software rendering, or a graphic's image
  MEMIMG* TargetZMemImg;  // its depth image, or null
};

DrawTargetState& GetDrawTargetState();
void ResetDrawTargetState();

// The 2D selection of a target (previous: the target before).
int SelectDrawTarget(int target, int previous);
// Chooses the target of all drawing and sizes the draw area for it; -1 (and
// the previous target selected again) when it cannot be chosen.
int SetDrawTarget(int target);
int ClearDrawTarget();
// Clears the draw target and, in software rendering on the front screen,
// shows the result.
int EraseDrawTarget();
int ReadBackTargetToGraph2D(int x1, int y1, int x2, int y2, int graph);
int ReadBackTargetToGraph(int x1, int y1, int x2, int y2, int graph, int ignored);
// The temporary primary's timer (0x7FFF): shows the temporary primary and
// sets itself again for 17 ms while the primary exists.
inline constexpr uint32_t kTempPrimaryTimerId = 0x7FFF;
void TempPrimaryTimerProc(uint32_t id);
int CopyPrimaryToTempPrimary();
int ShowTempPrimary();
