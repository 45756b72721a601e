// The decoded image: what every image reader produces and what the graphics
// engine converts into surfaces, textures and memory images.
//
// A GraphImage carries its own ColorFormat (for 8-bit images with the palette
// in Format.PaletteTable), a size in pixels, a row pitch in bytes and the
// pixel rows top to bottom. Pixels are owned by the image and come from the
// library allocator (TrackedAlloc); a zero-filled record is an empty image.
#pragma once

#include <cstdint>

#include "engine/graphics/image/color_format.h"

struct GraphImage {
  ColorFormat Format;
  int32_t Width;
  int32_t Height;
  int32_t Pitch;
  uint8_t* Pixels;
};
