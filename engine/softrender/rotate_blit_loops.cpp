// The rotated blit's loops, one template for both colour kinds.
#include "engine/softrender/rotate_blit_loops.h"

namespace softrender {

template <class D>
void RunRotateBlit(const RotateBlitJob& j, const PixelContext<D>& c) {
  DispatchTexelLoop<D, RotateBlitLoop>(j.form, j.mode, j.blend_rows != nullptr, j.white, j.trans, j,
                                       c);
}

template void RunRotateBlit<Depth32>(const RotateBlitJob&, const PixelContext<Depth32>&);
template void RunRotateBlit<Depth16>(const RotateBlitJob&, const PixelContext<Depth16>&);

}  // namespace softrender
