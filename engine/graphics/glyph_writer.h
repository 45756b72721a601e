// Writes one glyph of a memory glyph cache straight into a MEMIMG: places
// it (horizontal, or vertical turned a quarter clockwise), clips it, and
// writes the value of every glyph and edge pixel for the font type at the
// screen's colour depth. Every other pixel is left as it was.
//
// Pixel layouts: 16 bits, 2-byte 5-6-5 pixels for plain and edge fonts and
// 4-byte units for antialiased fonts (colour in the low 16 bits, alpha in
// the third byte, the fourth byte kept on mixed pixels and 0 on whole
// units); 32 bits, 4-byte pixels with alpha in the top byte; 8 bits, the
// low byte of the colours (antialiased fonts draw nothing).
//
// Bounds: the clip rectangle (right and bottom exclusive) is cut to the
// image first, and the glyph to its cell, so nothing is written outside
// the image or read outside the cell.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"

struct FontRecord;
struct GlyphEntry;
struct MEMIMG;

struct GlyphWriteRequest {
  MEMIMG* Dest = nullptr;
  IntRect Clip;
  double Pen = 0.0;   // pen position along the line, from the text origin
  int32_t X = 0;      // text origin
  int32_t Y = 0;
  bool Vertical = false;
  uint32_t Main = 0;  // packed colours, packed black's bits removed
  uint32_t Edge = 0;
  int32_t ScreenBits = 16;
};

// Writes the glyph of the entry from the font's memory cache.
void WriteGlyphToMemImg(const GlyphWriteRequest& request, const FontRecord& font, const GlyphEntry& glyph);

// The type-3 mix of a glyph level m (1..14) over an edge level e: alpha
// (15 - m) x e + 16 m, weight (m x 4096) / alpha, and a channel
// e + floor((m - e) x weight / 256).
struct GlyphMix {
  uint32_t alpha;
  uint32_t weight;
};
GlyphMix MixGlyphLevels(int m, int e);
uint32_t MixGlyphChannel(uint32_t mainChannel, uint32_t edgeChannel, uint32_t weight);
