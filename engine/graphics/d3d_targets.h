// The Direct3D render target and viewport as the draw target and the draw
// area change, and the clear of a drawable texture graphic.
//
// Viewports are target pixels; the draw area is offset by the target's
// place on its screen surface (TargetSurfaceRect). A target that cannot
// take 3D drawing sets Suspended3D, and 3D draws do nothing until the next
// target that can.
#pragma once

#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/d3d_device.h"

// -4 front screen, -2 back screen, or a graphic handle. 0 at once when
// Direct3D is not running; -1 when the target cannot take 3D drawing.
int SetDrawTarget3D(int target);
// Masked drawing on (1) or off: the render target becomes the mask screen,
// or the draw target again; the viewport follows. -1 when Direct3D is not
// running, or the viewport could not be set.
int SetMaskDrawTarget3D(int on);
// -1 also when no render target was ever set; nothing is sent when x, y,
// width and height equal the cached viewport (unless ForceStates).
int SetViewport3D(const platform::d3d::Viewport& viewport, DeviceRecord3D& record);
// 0 while suspended; -1 for an empty rectangle.
int SetDrawAreaViewport3D(const IntRect& area);
// Flushes and ends the scene before a clear; a drawable texture graphic's
// texture is cleared here (depth to 0xFFFF, colour to the background with
// alpha 0), the screens and 2D graphics by the 2D side. 0 at once while the
// graphics are lost.
int ClearDrawTarget3D();
