// Loop selection of the stretched blit for 16-bit pixels (colour kind 0).
// Every loop reads and writes one 16-bit pixel at a time with the
// single-pixel operators; the stretched loops have no six-bit mix, half mix
// or pair forms, and an alpha source is gated in every mode, multiply
// included.
#include "engine/softrender/stretch_blit_job.h"
#include "engine/softrender/stretch_blit_loops.h"
#include "engine/softrender/static_dispatch.h"

namespace softrender {
namespace {

using D = Depth16;

template <SourceForm F, int Mode, bool Weighted, bool White, bool Trans>
void Stretch16(const StretchBlitJob& j, const PixelContext<D>& c) {
  if constexpr (Mode == 0 && White && !Weighted && !Trans && F != SourceForm::kAlpha) {
    StretchCopyRows<D, F>(j, c);
  } else {
    // With the flag off an alpha source always carries its alpha weight.
    constexpr AlphaUse kAlpha = F != SourceForm::kAlpha ? AlphaUse::kNone
                                : Trans                 ? AlphaUse::kGated
                                                        : AlphaUse::kWeight;
    StretchStandardRows<D, F, StandardOp<Mode, White>, Weighted, Trans, kAlpha>(j, c);
  }
}

}  // namespace

void RunStretchBlit16(const StretchBlitJob& j, const PixelContext<D>& c) {
  WithSourceForm(j.form, [&](auto form) {
    WithMode(j.mode, [&](auto mode) {
      WithBool(j.blend != nullptr, [&](auto weighted) {
        WithBool(j.white, [&](auto white) {
          WithBool(j.trans, [&](auto trans) {
            Stretch16<form(), mode(), weighted(), white(), trans()>(j, c);
          });
        });
      });
    });
  });
}

}  // namespace softrender
