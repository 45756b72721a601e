// The screen's colour: its pixel format and the ScreenColor values that box
// and text drawing take.
//
// ScreenColorState holds the colour fields of the display state: depths in
// bits (0 = unset, read as 16), the screen's ColorFormat and pixel-format
// record, its format class (0: 16-bit 5-6-5, 1: 16-bit 5-5-5, 2: 32-bit
// 0xFF0000/0xFF00/0xFF, 3: other) and the palette of an 8-bit screen (red,
// green, blue, flags per entry). The display layer writes the depths and
// switches at each mode change and then calls SetupScreenColorFormat; the
// image layer reads them here. One process-wide record, guarded by the
// library lock like every caller.
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"

struct ScreenColorState {
  int32_t ScreenBits;           // depth of the current mode: 8, 16 or 32; 0 = unset
  int32_t RequestedScreenBits;  // depth the screen mode asked for; memory screens follow it
  int32_t SoftwareRendering;    // 1: software rendering
  int32_t HardwareBanned;       // 1: no hardware drawing at all
  ColorFormat ScreenColorFormat;
  DDPixelFormat ScreenPixelFormat;
  int32_t ScreenFormatClass;
  uint8_t PaletteEntries[256 * 4];  // red, green, blue, flags
};

ScreenColorState& GetScreenColorState();

// SetupScreenColorFormat reads the display mode's pixel layout through the
// graphics seam (GraphicsService::QueryDisplayModeFormat).

// Kind of the memory images that stand for the screens: 1 (32-bit) unless the
// requested depth is 16 (or unset).
int ScreenMemImgKind();

int SetupScreenColorFormat();
uint32_t PackScreenColor(int r, int g, int b);
int UnpackScreenColor(uint32_t value, int* r, int* g, int* b);
