// The setters and getters of the draw state (DrawState, draw_state.h) that
// the public entries reach, and the clip rectangle. Each returns 0 unless
// said otherwise. Colours are 0-255 per channel; rectangles in target
// pixels, right and bottom exclusive.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"

int SetDrawFilterMode(int mode);
int GetDrawFilterMode();
// Nothing while the graphics are lost or when both equal the stored ones;
// else waits while the window is inactive and stores them (value clamped).
int SetBlendState(int mode, int value);
// -1 (nothing changed) for a handle that is neither -1 nor a live graphic.
int SelectBlendGraphic(int handle, int borderParam, int borderRange);
int SetColorScale(int r, int g, int b);
int SetDrawBrightPacked(uint32_t rgb);
// Normalises the rectangle into the current target; NothingToDraw when empty.
int SetClipArea(int x1, int y1, int x2, int y2);
int GetClipArea(IntRect* rect);
// The rectangle last asked for, before clipping (the window code applies it
// again after the window moved).
IntRect GetRequestedClipArea();
int SetUse3DDrawing(int flag);
int SetColorKeyRgb(int r, int g, int b);
int SetCreateDrawableGraph(int flag);
int SetGraphSystemMemFlag(int flag);
int SetGraphSystemMemDefault(int flag);
int SetTargetSurfaceRect(const IntRect& rect);
int GetDrawTarget();
int QueryScreenMode(int* width, int* height, int* bits);
// The one Direct3D option nothing sets (reads 0).
int GetDirect3DExtraOption();
