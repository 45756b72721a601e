// Entry of the plain blit: checks, clipping, per-call values, palette work
// copy, and the hand-over to the loops of the colour kind.
#include "engine/softrender/blt_mem_img.h"

#include <algorithm>
#include <array>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/plain_blit_job.h"
#include "engine/softrender/render_common.h"

using softrender::Depth16;
using softrender::Depth32;
using softrender::MakePixelContext;
using softrender::PlainBlitJob;
using softrender::SourceForm;

void BltMemImg(MEMIMG* dest, const MEMIMG* source, int32_t x, int32_t y, int32_t transFlag,
               const MEMIMG* blendImage) {
  if (dest == nullptr || source == nullptr) return;
  if (dest->Kind != source->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (source->Kind != 0 && source->Kind != 1) return;
  if (dest->Pixels == nullptr || source->Pixels == nullptr) return;

  const DrawState& state = CurrentDrawState;
  softrender::ClippedBlit clip;
  if (!softrender::ClipSourceRect(*dest, state.DrawArea, x, y, source->Width, source->Height,
                                  &clip)) {
    return;
  }

  const SourceForm form = softrender::SourceFormOf(*source);
  const int src_bytes = softrender::SourcePixelBytes(*source);
  if (form == SourceForm::kPalette && source->DrawPalette == nullptr) return;

  PlainBlitJob job;
  if (!softrender::ResolveModeAndValue(state, form, &job.mode, &job.p)) return;

  if (blendImage != nullptr) {
    if (!softrender::BlendImageCovers(*blendImage, clip.sx, clip.sy, clip.w, clip.h)) return;
    job.blend = blendImage->Pixels + static_cast<ptrdiff_t>(clip.sy) * blendImage->Pitch + clip.sx;
    job.blend_pitch = blendImage->Pitch;
  }
  const int dst_bytes = source->Kind == 1 ? 4 : 2;
  job.dst = dest->Pixels + static_cast<ptrdiff_t>(clip.top) * dest->Pitch +
            static_cast<ptrdiff_t>(clip.left) * dst_bytes;
  job.dst_pitch = dest->Pitch;
  job.src = source->Pixels + static_cast<ptrdiff_t>(clip.sy) * source->Pitch +
            static_cast<ptrdiff_t>(clip.sx) * src_bytes;
  job.src_pitch = source->Pitch;
  job.width = clip.w;
  job.height = clip.h;
  job.form = form;
  job.white = IsDrawBrightWhite(state);
  job.trans = transFlag != 0;
  job.mmx = UseMmx != 0;
  job.whole_image = transFlag == 1 && source->RunTableValid == 1 && source->RunTable != nullptr &&
                    clip.w == source->Width && clip.h == source->Height;
  if (job.whole_image) {
    job.run_table = source->RunTable;
    job.run_table_size = (static_cast<size_t>(source->Width) + 5) * static_cast<size_t>(source->Height);
  }

  // Filled (and read) for palette sources only: no per-call clearing.
  std::array<uint32_t, 256> palette;
  if (form == SourceForm::kPalette) {
    softrender::CopyPaletteWork(*source, palette.data());
  }
  if (source->Kind == 1) {
    softrender::RunPlainBlit32(
        job, MakePixelContext<Depth32>(state, *source, job.p, palette.data()));
  } else {
    softrender::RunPlainBlit16(
        job, MakePixelContext<Depth16>(state, *source, job.p, palette.data()));
  }
}
