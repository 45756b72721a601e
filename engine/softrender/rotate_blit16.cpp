// Loops of the rotated blit for 16-bit 5-6-5 pixels (colour kind 0).
#include "engine/softrender/rotate_blit_loops.h"

namespace softrender {

void RunRotateBlit16(const RotateBlitJob& j, const PixelContext<Depth16>& c) {
  DispatchTexelLoop<Depth16, RotateBlitLoop>(j.form, j.mode, j.blend_rows != nullptr, j.white,
                                             j.trans, j, c);
}

}  // namespace softrender
