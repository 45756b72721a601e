// A rectangle of pixels held elsewhere (a locked surface, a memory image),
// as the screen-save writers read it: a pointer to its top-left pixel, the
// row pitch in bytes (rows top-down), its size in pixels and the pixels'
// format. 8-bit pixels are indices into Palette, 256 entries of blue,
// green, red, 0 (null: every entry black).
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"

struct ImageArea {
  const uint8_t* Pixels;
  int32_t Pitch;
  int32_t Width;
  int32_t Height;
  const ColorFormat* Format;
  const uint8_t* Palette;
};
