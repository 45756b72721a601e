// Span loops of the triangle rasteriser for 16-bit 5-6-5 pixels (colour
// kind 0).
#include "engine/softrender/triangle_span_loops.h"

namespace softrender {

void RunTriangleSpans16(const TriangleJob& j, const PixelContext<Depth16>& c) {
  DispatchTexelLoop<Depth16, TexturedSpanLoop>(j.form, j.mode, j.blend != nullptr, j.white, j.trans,
                                               j, c);
}

void RunFlatTriangle16(const TriangleJob& j, const BlendParams16& params) {
  RunFlatTriangle<Depth16>(j, params);
}

}  // namespace softrender
