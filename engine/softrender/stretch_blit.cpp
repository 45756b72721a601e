// Entry of the stretched blit: corner order and mirroring, hand-over of
// unscaled draws to the plain blit, refusals, the 16.16 steps in 64 bits,
// clipping, the texel tables of the walk, and the hand-over to the loops of
// the colour kind.
#include "engine/softrender/stretch_blit.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/blt_mem_img.h"
#include "engine/softrender/render_common.h"
#include "engine/softrender/stretch_blit_job.h"

using softrender::Depth16;
using softrender::Depth32;
using softrender::MakePixelContext;
using softrender::SourceForm;
using softrender::StretchBlitJob;

namespace {

constexpr int64_t kOne = 0x10000;  // one destination pixel in 16.16

// One axis of the walk: the rectangle's length, the source's length, the
// destination pixels cut away before the first visible one, and the visible
// count (shortened here so that the walk stays inside the source).
struct AxisWalk {
  int64_t step = 0;       // 16.16 destination pixels per texel, >= 1
  int64_t first = 0;      // texel of the first visible pixel, from the near edge
  int64_t remainder = 0;  // 16.16 remainder at the first visible pixel, in (0, step]
  int64_t count = 0;      // visible pixels
};

// False when the axis cannot be drawn (a step of 0, or nothing visible).
bool SetUpAxis(int64_t length, int64_t source_length, int64_t cut, int64_t visible,
               AxisWalk* out) {
  const int64_t step = (length << 16) / source_length;
  if (step <= 0) return false;
  // Pixels whose texel lies inside the source: d * 2^16 / step < source
  // length, that is d < ceil(source length * step / 2^16). Inside the limits
  // of the 32-bit set-up this is the whole rectangle.
  const int64_t inside = (source_length * step + (kOne - 1)) >> 16;
  if (cut >= inside) return false;
  out->step = step;
  out->first = (cut << 16) / step;
  out->remainder = step - ((cut << 16) % step);
  out->count = std::min(visible, inside - cut);
  return out->count > 0;
}

// The texels of count pixels by the remainder walk, mirrored from the far
// edge when asked.
void WalkAxis(const AxisWalk& a, int64_t source_length, bool mirror, int32_t* out) {
  int64_t texel = a.first;
  int64_t r = a.remainder;
  for (int64_t i = 0; i < a.count; ++i) {
    out[i] = static_cast<int32_t>(mirror ? source_length - 1 - texel : texel);
    r -= kOne;
    while (r <= 0) {
      ++texel;
      r += a.step;
    }
  }
}

// The normalised rectangle clipped to the draw area (the rectangle clip of
// the platform core) and then to the destination's bounds, in 64 bits.
struct ClippedRect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
};

int64_t IntoRange(int64_t v, int64_t near_edge, int64_t far_edge) {
  return v > far_edge ? far_edge : v < near_edge ? near_edge : v;
}

void ClipTo(ClippedRect& r, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  r.bottom = IntoRange(r.bottom, top, bottom);
  r.top = IntoRange(r.top, top, bottom);
  r.right = IntoRange(r.right, left, right);
  r.left = IntoRange(r.left, left, right);
}

}  // namespace

void BltStretchMemImg(MEMIMG* dest, const MEMIMG* source, const ImageRect* corners,
                      int32_t transFlag, const MEMIMG* blendImage) {
  if (dest == nullptr || source == nullptr || corners == nullptr) return;
  const int64_t x1 = corners->left, y1 = corners->top, x2 = corners->right, y2 = corners->bottom;
  const bool mirror_x = x1 > x2, mirror_y = y1 > y2;
  const int64_t left = std::min(x1, x2), top = std::min(y1, y2);
  const int64_t width = std::max(x1, x2) - left, height = std::max(y1, y2) - top;
  if (width == 0 || height == 0) return;
  if (width == source->Width && height == source->Height && !mirror_x && !mirror_y) {
    BltMemImg(dest, source, static_cast<int32_t>(left), static_cast<int32_t>(top), transFlag,
              blendImage);
    return;
  }

  // What the loops cannot draw.
  if (dest->Kind != source->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (source->Kind != 0 && source->Kind != 1) return;
  if (dest->Pixels == nullptr || source->Pixels == nullptr) return;
  if (source->Width <= 0 || source->Height <= 0) return;
  const SourceForm form = softrender::SourceFormOf(*source);
  if (form == SourceForm::kPalette && source->DrawPalette == nullptr) return;

  const DrawState& state = CurrentDrawState;
  StretchBlitJob job;
  if (!softrender::ResolveModeAndValue(state, form, &job.mode, &job.p)) return;

  ClippedRect clip{left, top, left + width, top + height};
  const IntRect& area = state.DrawArea;
  ClipTo(clip, area.left, area.top, area.right, area.bottom);
  ClipTo(clip, 0, 0, dest->Width, dest->Height);
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  AxisWalk ax, ay;
  if (!SetUpAxis(width, source->Width, clip.left - left, clip.right - clip.left, &ax)) return;
  if (!SetUpAxis(height, source->Height, clip.top - top, clip.bottom - clip.top, &ay)) return;

  // Per-call texel tables: on the stack for screen-sized draws.
  std::array<int32_t, 4096> local;
  std::vector<int32_t> heap;
  const size_t need = static_cast<size_t>(ax.count + ay.count);
  int32_t* table = local.data();
  if (need > local.size()) {
    heap.resize(need);
    table = heap.data();
  }
  int32_t* columns = table;
  int32_t* rows = table + ax.count;
  WalkAxis(ax, source->Width, mirror_x, columns);
  WalkAxis(ay, source->Height, mirror_y, rows);

  if (blendImage != nullptr) {
    const auto [cmin, cmax] = std::minmax(columns[0], columns[ax.count - 1]);
    const auto [rmin, rmax] = std::minmax(rows[0], rows[ay.count - 1]);
    if (!softrender::BlendImageCovers(*blendImage, cmin, rmin, cmax - cmin + 1, rmax - rmin + 1)) {
      return;
    }
    job.blend = blendImage->Pixels;
    job.blend_pitch = blendImage->Pitch;
  }

  const int dst_bytes = source->Kind == 1 ? 4 : 2;
  job.dst = dest->Pixels + static_cast<ptrdiff_t>(clip.top) * dest->Pitch +
            static_cast<ptrdiff_t>(clip.left) * dst_bytes;
  job.dst_pitch = dest->Pitch;
  job.src = source->Pixels;
  job.src_pitch = source->Pitch;
  job.columns = columns;
  job.rows = rows;
  job.width = static_cast<int32_t>(ax.count);
  job.height = static_cast<int32_t>(ay.count);
  job.form = form;
  job.white = IsDrawBrightWhite(state);
  job.trans = transFlag != 0;
  job.mmx = UseMmx != 0;

  // Filled (and read) for palette sources only: no per-call clearing.
  std::array<uint32_t, 256> palette;
  if (form == SourceForm::kPalette) softrender::CopyPaletteWork(*source, palette.data());
  if (source->Kind == 1) {
    softrender::RunStretchBlit32(
        job, MakePixelContext<Depth32>(state, *source, job.p, palette.data()));
  } else {
    softrender::RunStretchBlit16(
        job, MakePixelContext<Depth16>(state, *source, job.p, palette.data()));
  }
}
