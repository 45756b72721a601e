// Internal to the display stand-in: the pixel loops behind Blt, BltFast,
// the colour and depth fills and the device-context transfers.
//
// Callers have checked every rectangle: the written part lies inside the
// destination's backed area and every source pixel it reads inside the
// source's; source and destination do not overlap in memory.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/display/pixel_plane.h"

namespace platform::display {

struct KeyRange {
  uint32_t low = 0;
  uint32_t high = 0;
};

// Writes the low bits of value into every pixel of rect.
void FillPixels(const PixelPlane& plane, const Rect& rect, uint32_t value);

// Copies source rows to (x, y) of the same layout, skipping keyed pixels
// when a key is given.
void CopyPixels(const PixelPlane& dst, int32_t x, int32_t y, const PixelPlane& src,
                const Rect& src_rect, const KeyRange* key);

// The nearest-pixel stretch of src_rect onto dst_rect, written only inside
// visible (a part of dst_rect): destination pixel (x, y) takes the source
// pixel (src.left + (x - dst.left) * src width / dst width, likewise for y).
// Formats may differ; a key (same layout only) skips matching pixels. Equal
// sizes copy one to one.
void StretchPixels(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                   const PixelPlane& src, const Rect& src_rect, const KeyRange* key);

// A source plane in which every pixel of rect is backed and which shares no
// memory with written (a part of dst): src itself, or a copy of rect with 0
// where src has no memory. False when the copy cannot be made.
bool ReadableSource(const PixelPlane& src, const Rect& rect, const PixelPlane& dst,
                    const Rect& written, std::shared_ptr<PixelStore>* temp, PixelPlane* out);

// StretchPixels converting whatever the formats (indexed planes through
// 0x00RRGGBB, so also between indexed planes whose palettes differ; 16- and
// 32-bit RGB layouts a row at a time): for device-context transfers.
void StretchConvertPixels(const PixelPlane& dst, const Rect& dst_rect, const Rect& visible,
                          const PixelPlane& src, const Rect& src_rect);

}  // namespace platform::display
