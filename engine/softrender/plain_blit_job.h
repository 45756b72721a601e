// The per-call values of one plain blit (BltMemImg), computed once by the
// entry and handed to the loops of one colour kind. Pointers address the
// first pixel of the clipped rectangle in each image; pitches are bytes from
// one row to the next; width and height are at least 1. The blend image and
// the run table are null when not used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/softrender/blend_pixel.h"

namespace softrender {

struct PlainBlitJob {
  uint8_t* dst = nullptr;
  ptrdiff_t dst_pitch = 0;
  const uint8_t* src = nullptr;
  ptrdiff_t src_pitch = 0;
  const uint8_t* blend = nullptr;  // one byte per pixel, or null
  ptrdiff_t blend_pitch = 0;
  int32_t width = 0, height = 0;
  SourceForm form = SourceForm::kDirect;
  unsigned mode = 0;  // 0-4 after the blend-value rules (mode 1 at P = 255 is 0)
  uint32_t p = 0;     // blend value 0-255
  bool white = true;  // draw-bright colour white
  bool trans = false;
  bool whole_image = false;
  bool mmx = false;
  const uint8_t* run_table = nullptr;  // whole-image path only
  size_t run_table_size = 0;           // bytes the walker may read
};

// The loops of colour kind 1 (32-bit) and 0 (16-bit).
void RunPlainBlit32(const PlainBlitJob& job, const PixelContext<Depth32>& ctx);
void RunPlainBlit16(const PlainBlitJob& job, const PixelContext<Depth16>& ctx);

}  // namespace softrender
