// The per-call values of one triangle draw, handed from the entry to the
// span loops of one colour kind. The set-up and the clipped area come from
// triangle_setup.h; the area lies inside the destination. Texel bounds are
// width and height times 0x40000, held in 64 bits so that a texel test of a
// 32-bit texel coordinate never wraps; a texel that passes has column
// u >> 18 < width and row v >> 18 < height.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/softrender/blend_pixel.h"
#include "engine/softrender/triangle_setup.h"

namespace softrender {

struct TriangleJob {
  const TriangleSetup* setup = nullptr;
  IntRect area;  // draw area clipped to the destination, non-empty
  uint8_t* dst = nullptr;
  ptrdiff_t dst_pitch = 0;
  // Textured draws only.
  const uint8_t* src = nullptr;
  ptrdiff_t src_pitch = 0;
  uint64_t u_limit = 0, v_limit = 0;  // width << 18, height << 18
  const uint8_t* blend = nullptr;     // one byte per texel, or null
  ptrdiff_t blend_pitch = 0;
  SourceForm form = SourceForm::kDirect;
  unsigned mode = 0;  // 0-4 after the blend-value rules
  uint32_t p = 0;
  bool white = true;
  bool trans = false;
  // Flat draws only: the colour, already tinted (fourth byte kept at 32 bits).
  uint32_t colour = 0;
};

// The span loops of one depth (Depth32 or Depth16), instantiated for both in
// triangle_spans.cpp.
template <class D>
void RunTriangleSpans(const TriangleJob& job, const PixelContext<D>& ctx);
template <class D>
void RunFlatTriangleSpans(const TriangleJob& job, const typename D::Params& params);

}  // namespace softrender
