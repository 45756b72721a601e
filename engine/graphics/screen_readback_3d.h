// Reading a rectangle of the draw target back into a texture graphic.
//
// Drivers differ in how screen pixels may reach a texture, so there are
// five ways of doing it, tried in a fixed order (5, 1, 3, 2, 4); the one
// that worked is remembered per texture kind (ReadBackChoice: slot 0 for
// textures with neither alpha channel nor alpha test, slot 1 for the
// others) and tried first next time. Rectangles are draw-target pixels,
// (x1, y1) included and (x2, y2) excluded; the pixels land in the graphic
// from its top-left corner, each piece taking its own part.
//
// desktopFlag 0: in window mode with the front screen as the target, the
// source is the whole desktop (desktop coordinates, no offset) instead of
// the target. The strategies return 0 done or -1 failed; a failure logs its
// line and releases what the strategy holds, pieces already copied keep
// their new pixels.
#pragma once

#include "engine/graphics/graph_handles.h"

int ReadBackTargetToGraph3D(int x1, int y1, int x2, int y2, const GraphRecord& graph, int desktopFlag);

// The strategy table in the order it is tried.
using ReadBackStrategy3D = int (*)(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                   int desktopFlag);
inline constexpr int kReadBackStrategyCount = 5;
ReadBackStrategy3D GetReadBackStrategy3D(int index);  // null outside 0-4

// Per piece: BltFast of the screen rectangle into the texture.
int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag);
// Per piece: a device-context copy into the texture.
int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag);
// Per piece: a device-context copy into a system-memory work texture, then
// converted into the locked texture.
int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag);
// As 3, with the device's Load bringing the work texture in (busy: the
// texture is restored and the load tried again after 1 ms, 10 tries).
int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag);
// The rectangle copied to the first work surface, then converted from there
// into each piece's locked texture. Never reads the desktop.
int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag);
