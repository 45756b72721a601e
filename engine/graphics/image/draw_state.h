// The one drawing state that every drawing path reads, and the blend-graphic
// weight table derived from it.
//
// DrawArea is the clip rectangle of all drawing in target pixels (left, top,
// right, bottom; right and bottom exclusive; normalised and inside the
// target). BlendMode: 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply (5 is
// internal to the 3D subtract passes; the software renderer draws nothing for
// values outside 0-4). BlendValue 0-255. DrawBright is 0x00RRGGBB: in memory
// the bytes blue, green, red and an ignored fourth byte; white when the three
// colour bytes are 255.
//
// CurrentDrawState is a plain global: ResetDrawState gives it the start
// values of the graph manager (tests call it in their fixtures). It must not
// change while a draw runs. BlendGraphTable maps a blend-graphic byte to a
// weight 0-255 and is rebuilt whenever the blend graphic or its two
// parameters change.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"

struct DrawState {
  int32_t DrawTarget;           // -2 back screen, -4 front screen, or a graph handle
  int32_t TargetInVideoMemory;  // 1 when the target's surface lies in video memory
  IntRect TargetSurfaceRect;       // where the draw target lies on its screen surface
  IntRect DrawArea;                // clip rectangle of all drawing
  float DrawAreaF[4];           // the same rectangle as floats
  int32_t TargetWidth, TargetHeight;
  // Six start values read only by the 3D back end: 0, 0, 4, 0, 3 and 0.2.
  int32_t Direct3DOptions[5];
  float Direct3DRatio;
  int32_t FilterMode;   // 0 nearest, 1 linear
  int32_t BlendMode;    // 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply
  int32_t BlendValue;   // 0-255
  int32_t BlendGraph;   // blend graphic's handle, -1 none
  int32_t BorderParam;  // 0-255
  int32_t BorderRange;  // 0-255
  uint32_t DrawBright;  // 0x00RRGGBB
  int32_t MaskRequested;
  int32_t MaskSurfaceFlag;
  int32_t MaskedDrawing;  // masked drawing in effect
  int32_t CreateBitDepth;
  int32_t Use3D;
  int32_t CreateDrawable;
  int32_t CreateAlpha;
  int32_t CreateAlphaTest;
  int32_t CreateSystemMem;
  int32_t CreateBlendGraph;
  uint32_t ColorKey;  // 0x00RRGGBB
  int32_t NothingToDraw;
};

extern DrawState CurrentDrawState;
extern uint8_t BlendGraphTable[256];

// Start values of the graph manager: a 640 x 480 target with the whole
// target as draw area, no blending, white draw-bright colour, no blend
// graphic (and its weight table rebuilt for that).
void ResetDrawState();

// Rebuilds BlendGraphTable for a border value and a border range (each
// clamped to 0-255): with r = range + 1, s = ((65536 / r + 256) * value) / 256,
// entry i = (256 * i) / r + 256 - s clamped to 0-255.
void BuildBlendGraphTable(int borderParam, int borderRange);

// Draw-bright bytes by channel, and the white test the renderer's dispatch uses.
inline uint32_t DrawBrightBlue(const DrawState& s) { return s.DrawBright & 0xffu; }
inline uint32_t DrawBrightGreen(const DrawState& s) { return (s.DrawBright >> 8) & 0xffu; }
inline uint32_t DrawBrightRed(const DrawState& s) { return (s.DrawBright >> 16) & 0xffu; }
inline bool IsDrawBrightWhite(const DrawState& s) { return (s.DrawBright & 0xffffffu) == 0xffffffu; }
