// Entry of the triangle rasteriser: refusals, set-up, the clipped area, the
// blend-value rules, the per-call values and the hand-over to the span
// loops of the destination's colour kind.
#include "engine/softrender/triangle_mem_img.h"

#include <algorithm>
#include <array>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/render_common.h"
#include "engine/softrender/triangle_setup.h"
#include "engine/softrender/static_dispatch.h"
#include "engine/softrender/triangle_spans.h"

using softrender::MakePixelContext;
using softrender::SourceForm;
using softrender::TriangleJob;
using softrender::TriangleSetup;

namespace {

// The colour's three channels tinted by the draw-bright bytes, each with its
// own channel; at 32 bits the fourth byte is kept.
uint32_t TintFlatColour(uint32_t colour, int kind, const DrawState& state) {
  const uint32_t br = DrawBrightRed(state), bg = DrawBrightGreen(state), bb = DrawBrightBlue(state);
  using softrender::Div255;
  if (kind == 1) {
    return (colour & 0xff000000u) | (Div255(br * ((colour >> 16) & 255u)) << 16) |
           (Div255(bg * ((colour >> 8) & 255u)) << 8) | Div255(bb * (colour & 255u));
  }
  return softrender::Pack16(Div255(br * softrender::Red16(colour)),
                            Div255(bg * softrender::Green16(colour)),
                            Div255(bb * softrender::Blue16(colour)));
}

}  // namespace

void DrawTriangleMemImg(MEMIMG* dest, const MEMIMG* source, const TriangleRecord* tri,
                        int32_t transFlag, const MEMIMG* blendImage, uint32_t colour) {
  if (dest == nullptr || tri == nullptr) return;
  if (source != nullptr && source->Kind != dest->Kind) return;
  if (dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (dest->Kind != 0 && dest->Kind != 1) return;
  if (dest->Pixels == nullptr) return;
  if (source != nullptr) {
    if (source->Pixels == nullptr || source->Width <= 0 || source->Height <= 0) return;
    if (source->UsePalette == 1 && source->DrawPalette == nullptr) return;
  }

  TriangleSetup setup;
  if (!softrender::SetUpTriangle(*tri, source != nullptr, &setup)) return;

  const DrawState& state = CurrentDrawState;
  IntRect area = state.DrawArea;
  const IntRect bounds{0, 0, dest->Width, dest->Height};
  ClipRect(&area, &bounds);
  if (area.left >= area.right || area.top >= area.bottom) return;

  TriangleJob job;
  job.setup = &setup;
  job.area = area;
  job.dst = dest->Pixels;
  job.dst_pitch = dest->Pitch;
  const SourceForm form = source ? softrender::SourceFormOf(*source) : SourceForm::kDirect;
  if (!softrender::ResolveModeAndValue(state, form, &job.mode, &job.p)) return;
  job.white = IsDrawBrightWhite(state);

  if (source == nullptr) {
    job.colour = TintFlatColour(dest->Kind == 1 ? colour : (colour & 0xffffu), dest->Kind, state);
    softrender::WithDepth(dest->Kind, [&](auto depth) {
      using D = decltype(depth);
      softrender::RunFlatTriangleSpans<D>(
          job, softrender::BlendParamsOf<typename D::Params>(state, job.p));
    });
    return;
  }

  if (blendImage != nullptr) {
    if (!softrender::BlendImageCovers(*blendImage, 0, 0, source->Width, source->Height)) return;
    job.blend = blendImage->Pixels;
    job.blend_pitch = blendImage->Pitch;
  }
  job.src = source->Pixels;
  job.src_pitch = source->Pitch;
  job.u_limit = uint64_t(uint32_t(source->Width)) << 18;
  job.v_limit = uint64_t(uint32_t(source->Height)) << 18;
  job.form = form;
  job.trans = transFlag != 0;

  std::array<uint32_t, 256> palette{};
  if (form == SourceForm::kPalette) softrender::CopyPaletteWork(*source, palette.data());
  softrender::WithDepth(source->Kind, [&](auto depth) {
    using D = decltype(depth);
    softrender::RunTriangleSpans<D>(job, MakePixelContext<D>(state, *source, job.p, palette.data()));
  });
}

IntRect TriangleDrawBounds(const TriangleRecord& tri) {
  int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
  for (const auto& v : tri.v) {
    const int64_t px =
        softrender::FixPix(int64_t(v[0]) * softrender::kFixOne + softrender::kFixHalf);
    const int64_t py =
        softrender::FixPix(int64_t(v[1]) * softrender::kFixOne + softrender::kFixHalf);
    l = std::min(l, px);
    t = std::min(t, py);
    r = std::max(r, px + 1);
    b = std::max(b, py + 1);
  }
  const auto narrow = [](int64_t x) {
    return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
  };
  return IntRect{narrow(l), narrow(t), narrow(r), narrow(b)};
}
