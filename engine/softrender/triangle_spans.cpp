// The triangle's span loops, one template for both colour kinds.
#include "engine/softrender/triangle_spans.h"

#include "engine/softrender/triangle_span_loops.h"

namespace softrender {

template <class D>
void RunTriangleSpans(const TriangleJob& j, const PixelContext<D>& c) {
  DispatchTexelLoop<D, TexturedSpanLoop>(j.form, j.mode, j.blend != nullptr, j.white, j.trans, j,
                                         c);
}

template <class D>
void RunFlatTriangleSpans(const TriangleJob& j, const typename D::Params& params) {
  RunFlatTriangle<D>(j, params);
}

template void RunTriangleSpans<Depth32>(const TriangleJob&, const PixelContext<Depth32>&);
template void RunTriangleSpans<Depth16>(const TriangleJob&, const PixelContext<Depth16>&);
template void RunFlatTriangleSpans<Depth32>(const TriangleJob&, const BlendParams32&);
template void RunFlatTriangleSpans<Depth16>(const TriangleJob&, const BlendParams16&);

}  // namespace softrender
