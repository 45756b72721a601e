// Per-call helpers shared by the software drawing routines: the source form
// of an image, the blend-value rules of the draw state, the operator
// parameters and the per-call pixel context built from them, the palette
// work copy, and the clipping of a source rectangle placed at (x, y) of a
// destination.
//
// Clipping follows the rectangle clip of the platform core (a right edge
// left of the left edge is raised to it, likewise the bottom; then bottom,
// top, right and left are moved into the clip rectangle), computed in 64 bits
// so that no position overflows, and is then also bounded by the destination
// image, so that a draw area reaching outside the image cannot lead writes
// outside it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg.h"
#include "engine/softrender/blend_pixel.h"

namespace softrender {

// Palette flag first, then the alpha flag.
inline SourceForm SourceFormOf(const MEMIMG& image) {
  if (image.UsePalette == 1) return SourceForm::kPalette;
  if (image.UseAlpha == 1) return SourceForm::kAlpha;
  return SourceForm::kDirect;
}

// Bytes per source pixel by colour kind and form (1 palette, 4 for kind 1 and
// for a kind-0 alpha source, 2 for other kind-0 images).
inline int SourcePixelBytes(const MEMIMG& image) {
  const SourceForm form = SourceFormOf(image);
  if (form == SourceForm::kPalette) return 1;
  return image.Kind == 1 || form == SourceForm::kAlpha ? 4 : 2;
}

// Applies the blend-value rules: a mode outside 0-4 draws nothing; mode 1
// at P = 255 becomes mode 0; P = 0 draws nothing in modes 1 and 2, nor in
// mode 3 except for a palette source. The blend value is clamped to 0-255.
// Returns false when nothing is to be drawn.
bool ResolveModeAndValue(const DrawState& state, SourceForm form, unsigned* mode, uint32_t* p);

// Operator parameters (BlendParams32 or BlendParams16): blend value p and
// the draw-bright channels of the state.
template <class Params>
Params BlendParamsOf(const DrawState& state, uint32_t p) {
  Params bp;
  bp.p = p;
  bp.bright_b = DrawBrightBlue(state);
  bp.bright_g = DrawBrightGreen(state);
  bp.bright_r = DrawBrightRed(state);
  return bp;
}

// The values fixed for one draw of `source` at blend value p: operator
// parameters, the source's transparent colour, the weight table and the
// palette work copy (256 words, read only for a palette source). mix6_k is
// filled at both depths; only the 16-bit six-bit mix reads it.
template <class D>
PixelContext<D> MakePixelContext(const DrawState& state, const MEMIMG& source, uint32_t p,
                                 const uint32_t* palette) {
  static_assert(std::is_same_v<D, Depth32> || std::is_same_v<D, Depth16>);
  PixelContext<D> ctx;
  ctx.params = BlendParamsOf<typename D::Params>(state, p);
  ctx.trans_color = source.TransColor;
  ctx.weights = BlendGraphTable;
  ctx.palette = palette;
  ctx.mix6_k = p >> 2;
  return ctx;
}

// Copies all 256 entries of the source's palette storage into 256 words
// (4-byte entries for kind 1, 2-byte entries zero-extended for kind 0),
// whatever PaletteCount says.
void CopyPaletteWork(const MEMIMG& source, uint32_t* out);

// A source of width x height placed at (x, y), clipped.
struct ClippedBlit {
  int32_t left = 0, top = 0;  // first destination pixel drawn
  int32_t w = 0, h = 0;       // size of the clipped rectangle, both >= 1
  int32_t sx = 0, sy = 0;     // offsets of the first drawn pixel in the source
};

// Clips (x, y, x + width, y + height) to the area and to the destination's
// bounds; false when nothing is left.
bool ClipSourceRect(const MEMIMG& dest, const IntRect& area, int64_t x, int64_t y, int64_t width,
                    int64_t height, ClippedBlit* out);

// True when the blend image holds the bytes (sx..sx + w, sy..sy + h) read as
// one byte per pixel: enough rows and enough bytes per row.
bool BlendImageCovers(const MEMIMG& blend, int32_t sx, int32_t sy, int32_t w, int32_t h);

}  // namespace softrender
