// Loops of the rotated blit for 32-bit pixels (colour kind 1).
#include "engine/softrender/rotate_blit_loops.h"

namespace softrender {

void RunRotateBlit32(const RotateBlitJob& j, const PixelContext<Depth32>& c) {
  DispatchTexelLoop<Depth32, RotateBlitLoop>(j.form, j.mode, j.blend_rows != nullptr, j.white,
                                             j.trans, j, c);
}

}  // namespace softrender
