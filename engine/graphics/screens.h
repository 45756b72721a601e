// The screens of the current screen mode: the display surfaces (primary,
// temporary primary, back, depth, two work surfaces) or, in software
// rendering, the front, back and depth memory images, which surfaces exist
// in each situation, and the copy between two surfaces (BltFast or GDI).
//
// | situation                        | surfaces                         | images |
// | hardware drawing, window         | primary, back, temp. primary*,   | none   |
// |                                  | work 1 and 2, depth              |        |
// | hardware drawing, full screen    | flip chain (back = its buffer),  | none   |
// |                                  | temp. primary*, work, depth      |        |
// | software rendering, banned       | none                             | all 3  |
// | software rendering, allowed      | primary, back (system memory)    | all 3  |
// (* in TempPrimaryMode.) With hardware allowed in software rendering the
// back image lives in the locked back surface when the surface's format is
// plain 5-6-5 or X8R8G8B8 at the requested depth; the surface then stays
// locked for its whole life. Sizes are the screen's, in pixels.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"
#include "engine/graphics/image/memimg.h"
#include "platform/display/surface.h"

struct MainSurfaces {
  platform::display::SurfacePtr PrimarySurface;
  platform::display::SurfacePtr TempPrimarySurface;
  platform::display::SurfacePtr BackSurface;
  platform::display::SurfacePtr ZBufferSurface;
  platform::display::SurfacePtr WorkSurface1;
  platform::display::SurfacePtr WorkSurface2;
  MEMIMG FrontMemImg;
  MEMIMG BackMemImg;
  MEMIMG ZBufferMemImg;
  int32_t ScreensAreMemImgs;
  bool BackSurfaceLockedForImage;  // the back image lives in the locked back surface
};

MainSurfaces& GetMainSurfaces();
// Drops everything without logging (tests).
void ResetMainSurfaces();

// The background colour screens are cleared to (0x00RRGGBB). The window
// data has no setting for it: black.
uint32_t ScreenBackgroundColor();

int CreateMainSurfaces();
int ReleaseMainSurfaces();
int RestoreMainSurfaces();
platform::display::Surface* GetFrontSurface();
platform::display::Surface* GetBackSurface();
platform::display::Surface* GetWorkSurface();
// (0, 0, screen size) at the window's client origin unless TempPrimaryMode.
int GetPresentRect(IntRect* rect);
// Copies src (rect) to dst at (x, y): BitBlt between the surfaces' device
// contexts when useGdi is 1 (-1: the measured choice), else BltFast.
int BltSurfaceOrGdi(platform::display::Surface* dst, platform::display::Surface* src, int x, int y,
                    const IntRect& rect, int useGdi);
// Restores the main surfaces, then every 2D surface's data; the OR of the
// store restores.
int RestoreLostSurfaces2D();
// Sets the spare bits (the bits no channel owns) of every pixel of rect.
int FillSpareBits(const IntRect& rect, uint8_t* pixels, int pitch, const ColorFormat* format,
                  uint32_t value);
int NullGraphicsOperation();
