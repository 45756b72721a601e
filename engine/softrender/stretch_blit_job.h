// The per-call values of one stretched blit (BltStretchMemImg), computed once
// by the entry and handed to the loops of one colour kind.
//
// columns[x] is the source column shown by destination column x of the
// clipped rectangle and rows[y] the source row shown by its row y, mirroring
// already applied; every entry lies inside the source (and inside the blend
// image when one is given). dst addresses the first pixel of the clipped
// rectangle; src and blend address pixel (0, 0) of their images. Pitches are
// bytes from one row to the next; width and height are at least 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/softrender/blend_pixel.h"

namespace softrender {

struct StretchBlitJob {
  uint8_t* dst = nullptr;
  ptrdiff_t dst_pitch = 0;
  const uint8_t* src = nullptr;
  ptrdiff_t src_pitch = 0;
  const uint8_t* blend = nullptr;  // one byte per texel, or null
  ptrdiff_t blend_pitch = 0;
  const int32_t* columns = nullptr;  // width entries
  const int32_t* rows = nullptr;     // height entries
  int32_t width = 0, height = 0;
  SourceForm form = SourceForm::kDirect;
  unsigned mode = 0;  // 0-4 after the blend-value rules (mode 1 at P = 255 is 0)
  uint32_t p = 0;     // blend value 0-255
  bool white = true;  // draw-bright colour white
  bool trans = false;
  bool mmx = false;
};

// The loops of colour kind 1 (32-bit) and 0 (16-bit).
void RunStretchBlit32(const StretchBlitJob& job, const PixelContext<Depth32>& ctx);
void RunStretchBlit16(const StretchBlitJob& job, const PixelContext<Depth16>& ctx);

}  // namespace softrender
