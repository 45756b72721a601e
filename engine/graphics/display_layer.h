// The display device layer: the display object and its clipper, the screen
// mode and its change (with everything that is made again afterwards), the
// return to the desktop mode, the 8-bit palette, the vertical-blank waits,
// and the switches between hardware drawing and software rendering.
//
// Two ways of running: hardware drawing (stand-in surfaces are the screens)
// and software rendering (memory-image screens; the display object only
// answers the raster queries). With hardware drawing every mode change ends
// Direct3D and starts it again on the new screens (unless NotUseDirect3D);
// a failed start fails the change. Times are milliseconds of the
// clock interface; every raster poll is bounded (kRasterPollLimitMs).
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"

inline constexpr uint32_t kRasterPollLimitMs = 1000;

int InitializeDirectDraw();
int TerminateDirectDraw();
int CreateDirectDrawObject();
int CreateDirectDrawClipper();

// -1 arguments keep the current value; force re-creates when nothing
// changed. 0 done, -2 fell back to 640 x 480 x 16, -1 screens failed.
int ChangeScreenModeDD(int width, int height, int bits, int force, int refresh);
int SetScreenMode(int width, int height, int bits, int refresh);
// windowed: 1 window, 0 full screen. outBits and outLevel may be null.
int SetDisplayModeDD(int desktopWidth, int desktopHeight, int width, int height, int bits,
                     int* outBits, uint32_t* outLevel, int windowed, int32_t* modeChanged);
int RestoreDisplayModeDD();
int ReleaseDisplayMode();
int ReapplyDisplayMode();

int SetRenderingMode(int hardware);
int AllowHardwareRendering(int flag);
int SetVBlankWaitFlag(int flag);
int GetWaitVSync();
int SetTempPrimaryMode(int flag);
int SetGdiVisibleMode(int flag);
int GetGdiVisibleMode();
int GetScreenColorBits();
int IsDisplayModeChanged();
const ColorFormat* GetScreenColorFormat();
const DDPixelFormat* GetScreenPixelFormat();
// Overlays are never probed on the reported system (no format).
const DDPixelFormat* GetOverlayFormat();

// The display mode's pixel format and depth (the screen-colour query).
int QueryDisplayModeFormat(DDPixelFormat* format, int* bits);

int CreatePalette8Bit();
int RestorePalette8Bit();
// Red, green, blue of the default 8-bit palette (see the .cpp).
const uint8_t* DefaultPalette8();
