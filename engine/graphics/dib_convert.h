// Decoded images as device-independent bitmaps for the display layer's
// device contexts: GraphImageToDib describes an image as an 8-bit (with its
// palette) or 24-bit top-down bitmap, handing out the image's own rows when
// they already have that layout, else a converted copy; CreateDibFromBits
// makes a bitmap object of such rows, optionally mirrored left-right.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/graphics/image/graph_image.h"
#include "platform/display/device_context.h"

struct DibImage {
  platform::display::DibDescription info;
  const uint8_t* bits = nullptr;  // the image's own rows, or owned.data()
  std::vector<uint8_t> owned;     // the rows when they were copied or converted
};

// 1 when the rows were copied or converted into out->owned, forceCopy when
// the image's own rows are handed out, -1 for an empty image or when memory
// fails. force24: 8-bit images become 24-bit bitmaps too.
int GraphImageToDib(const GraphImage& image, DibImage* out, int forceCopy, int force24);
// A bitmap of the description's size holding the rows (mirrored left-right
// when mirror is non-zero); null when it cannot be made.
platform::display::BitmapPtr CreateDibFromBits(const platform::display::DibDescription& info,
                                               const uint8_t* bits, int mirror);
