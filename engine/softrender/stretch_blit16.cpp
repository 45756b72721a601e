// Loop selection of the stretched blit for 16-bit pixels (colour kind 0):
// the shared loops only. Every loop reads and writes one 16-bit pixel at a
// time with the single-pixel operators; the stretched loops have no six-bit
// mix, half mix or pair forms.
#include "engine/softrender/stretch_blit_job.h"
#include "engine/softrender/stretch_blit_loops.h"

namespace softrender {

void RunStretchBlit16(const StretchBlitJob& j, const PixelContext<Depth16>& c) {
  DispatchStretchBlit(j, [&](auto form, auto mode, auto weighted, auto white, auto trans) {
    StretchGeneralRows<Depth16, form(), mode(), weighted(), white(), trans()>(j, c);
  });
}

}  // namespace softrender
