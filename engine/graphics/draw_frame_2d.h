// The frame of every 2D draw on the display surfaces: BeginDraw2D decides
// whether a draw is one BltFast between two surfaces or goes through the
// software renderer, in which case it locks the destination (and the
// source) and exposes them as memory-image views in target coordinates
// (destination) and in the 2D surface's own coordinates (source), going
// through the system-memory work surfaces when the target lies in video
// memory or the screen's format is not 5-6-5 or X8R8G8B8; EndDraw2D
// converts and writes the work copy back and unlocks. In software rendering
// (screens in memory) both do nothing: the software paths draw on the
// target's image themselves.
//
// One draw at a time (under the library lock); the state is valid from a
// successful BeginDraw2D to its EndDraw2D. A direct blit locks nothing and
// needs no EndDraw2D. Rectangles: left, top, right, bottom, exclusive.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/image/memimg.h"
#include "platform/display/surface.h"

struct Surface2D;
struct GraphRecord;

struct Draw2DState {
  int32_t DirectBlt;
  platform::display::Surface* SourceSurface;
  IntRect SourceRect;
  int32_t SourceLocked;
  int32_t SourceViaWork;
  const MEMIMG* SourceImage;
  MEMIMG SourceView;
  platform::display::Surface* DestSurface;
  IntRect DestRect;
  int32_t DestLocked;
  int32_t DestViaWork;
  int32_t DestConvert;
  IntRect ClippedRect;
  MEMIMG* DestImage;
  MEMIMG DestView;
  platform::display::Surface* CopyBackSurface;
  IntRect CopyBackRect;
};

const Draw2DState& GetDraw2DState();

// 0, or -1 when the bounding rectangle is empty after clipping or a lock
// fails (nothing stays locked then, and nothing may be drawn).
int BeginDraw2D(const Surface2D* surface, int allowDirect, const IntRect* sourceRect,
                const IntRect& bounds, int transparent, uint32_t* colour1, uint32_t* colour2);
int EndDraw2D();
// The whole 2D surface unscaled at (x, y), clipped to the draw area, with
// the current blend state. 0 (also when clipping leaves nothing), -1 for a
// bad handle, no display object, or a failed BeginDraw2D.
int DrawSurface2D(int x, int y, int handle, int transparent);
// The graph's first piece at (x, y); with intFlag other than 1 the two
// coordinates carry float bits and are truncated.
int DrawGraph2D(int x, int y, const GraphRecord& graph, int transparent, int intFlag);
// The blend graphic's memory image when it is a 2D graphic held as one.
const MEMIMG* GetBlendGraphMemImg();
