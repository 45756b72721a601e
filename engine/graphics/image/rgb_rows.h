// Rows of red, green, blue bytes (8 bits a channel, top-down, unpadded)
// built from any GraphImage through its pixels' colours, for the encoders.
#pragma once

#include <cstdint>

#include "engine/graphics/image/graph_image.h"

// A block of the library allocator holding Height rows of Width x 3 bytes,
// and a table of Height row pointers into it. Both null when the image is
// empty or memory fails.
struct RgbRows {
  uint8_t* bytes;
  uint8_t** rows;
};

int BuildRgbRows(const GraphImage* image, RgbRows* out);
void ReleaseRgbRows(RgbRows* rows);
