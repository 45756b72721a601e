// Span loops of the triangle rasteriser for 32-bit pixels (colour kind 1).
#include "engine/softrender/triangle_span_loops.h"

namespace softrender {

void RunTriangleSpans32(const TriangleJob& j, const PixelContext<Depth32>& c) {
  DispatchTexelLoop<Depth32, TexturedSpanLoop>(j.form, j.mode, j.blend != nullptr, j.white, j.trans,
                                               j, c);
}

void RunFlatTriangle32(const TriangleJob& j, const BlendParams32& params) {
  RunFlatTriangle<Depth32>(j, params);
}

}  // namespace softrender
