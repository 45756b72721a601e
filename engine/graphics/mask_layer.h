// The mask layer, as an empty layer: nothing in the player makes a mask
// screen or a mask, so masked drawing never switches on (MaskedDrawing stays
// 0) and every operation answers as it does for an empty state. What exists:
// the mask state, the optional screen-sized byte buffer (rows of MaskPitch
// bytes, zero-filled) and the 512-record mask table (HandleType 8, handle =
// slot | (check | 0x4000) << 16), of which only deletion exists. Masked
// drawing tells the 3D back end where to draw (SetMaskDrawTarget3D).
#pragma once

#include <cstdint>

#include "engine/graphics/image/memimg.h"
#include "platform/display/surface.h"

// Bytes of a mask row: width rounded up to a multiple of 4.
inline int MaskPitch(int width) { return (width + 3) & ~3; }

void ResetMaskLayer();

// Makes the byte buffer when asked and absent (screen size). No mask draw
// screen is ever made here. Returns 0.
int CreateMaskBuffer(int makeBuffer, int makeScreen);
// -1 without a buffer; else MaskRequested = flag and MaskedDrawing = flag
// and a mask screen exists (never). Returns 0.
int EnableMaskedDrawing(int flag);
int IsMaskedDrawingEnabled();
MEMIMG* GetMaskDrawMemImg();  // null: no mask screen
platform::display::SurfacePtr GetMaskSurface();  // null: no mask screen
// Tests of the code that follows the mask screen: a surface taken as the
// mask screen (null: none again).
void UseMaskScreenForTest(platform::display::SurfacePtr surface);
int HasMaskBuffer();
int DeleteMaskBuffers();
int TerminateMaskScreen();
int RecreateMaskScreen();
int DeleteMask(int handle);  // -1 for a bad handle
int DeleteAllMasks();
