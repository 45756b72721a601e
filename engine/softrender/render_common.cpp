#include "engine/softrender/render_common.h"

#include <algorithm>
#include <cstring>

namespace softrender {

bool ResolveModeAndValue(const DrawState& state, SourceForm form, unsigned* mode, uint32_t* p) {
  const unsigned m = static_cast<unsigned>(state.BlendMode);
  const uint32_t value = static_cast<uint32_t>(std::clamp(state.BlendValue, 0, 255));
  if (m > 4) return false;
  unsigned resolved = m;
  if (m == 1 && value == 255) resolved = 0;
  if (value == 0 && (m == 1 || m == 2 || (m == 3 && form != SourceForm::kPalette))) return false;
  *mode = resolved;
  *p = value;
  return true;
}

void CopyPaletteWork(const MEMIMG& source, uint32_t* out) {
  if (source.DrawPalette == nullptr) {
    std::fill(out, out + 256, 0u);
    return;
  }
  // The palette storage always holds 256 entries; PaletteCount only tells
  // how many the image's indices use, and is not trusted to cover them.
  const uint8_t* pal = source.DrawPalette;
  if (source.Kind == 1) {
    std::memcpy(out, pal, 256 * 4);
  } else {
    for (int i = 0; i < 256; ++i) out[i] = static_cast<uint32_t>(pal[2 * i] | (pal[2 * i + 1] << 8));
  }
}

namespace {

// Moves v into [near_edge, far_edge]: beyond the far edge takes the far edge,
// before the near edge the near edge.
int64_t IntoRange(int64_t v, int64_t near_edge, int64_t far_edge) {
  if (v > far_edge) return far_edge;
  if (v < near_edge) return near_edge;
  return v;
}

struct Rect64 {
  int64_t left, top, right, bottom;
};

void Clip(Rect64& r, const Rect64& c) {
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  r.bottom = IntoRange(r.bottom, c.top, c.bottom);
  r.top = IntoRange(r.top, c.top, c.bottom);
  r.right = IntoRange(r.right, c.left, c.right);
  r.left = IntoRange(r.left, c.left, c.right);
}

}  // namespace

bool ClipSourceRect(const MEMIMG& dest, const IntRect& area, int64_t x, int64_t y, int64_t width,
                    int64_t height, ClippedBlit* out) {
  if (dest.Width <= 0 || dest.Height <= 0) return false;
  Rect64 r{x, y, x + width, y + height};
  Clip(r, Rect64{area.left, area.top, area.right, area.bottom});
  Clip(r, Rect64{0, 0, dest.Width, dest.Height});
  if (r.right <= r.left || r.bottom <= r.top) return false;
  out->left = static_cast<int32_t>(r.left);
  out->top = static_cast<int32_t>(r.top);
  out->w = static_cast<int32_t>(r.right - r.left);
  out->h = static_cast<int32_t>(r.bottom - r.top);
  out->sx = static_cast<int32_t>(r.left - x);
  out->sy = static_cast<int32_t>(r.top - y);
  return true;
}

bool BlendImageCovers(const MEMIMG& blend, int32_t sx, int32_t sy, int32_t w, int32_t h) {
  if (blend.Pixels == nullptr || blend.Width < 0 || blend.Height < 0) return false;
  const int64_t row_bytes = std::min<int64_t>(
      blend.Pitch, static_cast<int64_t>(blend.Width) * (blend.Format ? blend.Format->PixelByte : 1));
  return int64_t(sy) + h <= blend.Height && int64_t(sx) + w <= row_bytes;
}

}  // namespace softrender
