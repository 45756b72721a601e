#include "engine/graphics/glyph_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/image/memimg.h"

namespace {

// trunc(pen) with a defined result for values no line reaches.
int64_t TruncatePen(double pen) {
  if (std::isnan(pen)) return 0;
  if (pen >= 2147483647.0) return 2147483647;
  if (pen <= -2147483648.0) return -2147483648LL;
  return static_cast<int64_t>(pen);
}

void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void Store16(uint8_t* p, uint32_t v) {
  const auto u = static_cast<uint16_t>(v);
  std::memcpy(p, &u, 2);
}

struct PixelWriter {
  uint32_t type;
  int bits;
  uint32_t main;
  uint32_t edge;

  int PixelBytes() const {
    if (bits == 32) return 4;
    if (bits == 8) return 1;
    return (type & kFontTypeAntialias) != 0 ? 4 : 2;
  }

  // A whole pixel or unit: colour and alpha (alpha ignored by types 0, 1).
  void Whole(uint8_t* p, uint32_t colour, uint32_t alpha) const {
    if (bits == 8) {
      *p = static_cast<uint8_t>(colour);
    } else if (bits == 32) {
      if ((type & kFontTypeAntialias) != 0) colour = (colour & 0x00FFFFFFu) | (alpha << 24);
      Store32(p, colour);
    } else if ((type & kFontTypeAntialias) != 0) {
      Store32(p, (colour & 0xFFFFu) | (alpha << 16));
    } else {
      Store16(p, colour);
    }
  }

  void Mixed(uint8_t* p, int m, int e) const {
    const GlyphMix mix = MixGlyphLevels(m, e);
    if (bits == 32) {
      uint32_t rgb = 0;
      for (int shift : {16, 8, 0}) {
        rgb |= MixGlyphChannel((main >> shift) & 0xFF, (edge >> shift) & 0xFF, mix.weight) << shift;
      }
      Store32(p, rgb | (mix.alpha << 24));
      return;
    }
    const uint32_t r = MixGlyphChannel((main >> 11) & 31, (edge >> 11) & 31, mix.weight);
    const uint32_t g = MixGlyphChannel((main >> 5) & 63, (edge >> 5) & 63, mix.weight);
    const uint32_t b = MixGlyphChannel(main & 31, edge & 31, mix.weight);
    Store16(p, (r << 11) | (g << 5) | b);
    p[2] = static_cast<uint8_t>(mix.alpha);  // the fourth byte stays
  }

  void Put(uint8_t* p, unsigned value) const {
    switch (type) {
      case 0:
        Whole(p, main, 0);
        break;
      case 1:
        if (value == 1) {
          Whole(p, main, 0);
        } else {
          Whole(p, bits == 32 ? edge & 0x00FFFFFFu : edge, 0);
        }
        break;
      case 2:
        if (bits != 8) Whole(p, main, value * 16);
        break;
      default: {
        if (bits == 8) break;
        const int m = static_cast<int>(value & 15), e = static_cast<int>(value >> 4);
        if (m == 15) {
          Whole(p, main, 255);
        } else if (m == 0) {
          if (e > 0) Whole(p, edge, static_cast<uint32_t>(e) * 16);
        } else {
          Mixed(p, m, e);
        }
        break;
      }
    }
  }
};

}  // namespace

GlyphMix MixGlyphLevels(int m, int e) {
  const uint32_t alpha = static_cast<uint32_t>((15 - m) * e + 16 * m);
  const uint32_t weight = alpha == 0 ? 0 : static_cast<uint32_t>(m) * 4096 / alpha;
  return {alpha, weight};
}

uint32_t MixGlyphChannel(uint32_t mainChannel, uint32_t edgeChannel, uint32_t weight) {
  const int64_t diff = int64_t{mainChannel} - int64_t{edgeChannel};
  const int64_t product = diff * int64_t{weight};
  // Floor division by 256 (an arithmetic shift rounds towards minus infinity).
  const int64_t step = product >= 0 ? product / 256 : -((-product + 255) / 256);
  return static_cast<uint32_t>(int64_t{edgeChannel} + step);
}

void WriteGlyphToMemImg(const GlyphWriteRequest& request, const FontRecord& font, const GlyphEntry& glyph) {
  MEMIMG* dest = request.Dest;
  if (dest == nullptr || dest->Pixels == nullptr || font.MemoryCache.empty()) return;
  if (glyph.Cell < 0 || glyph.Cell >= font.CellCount) return;
  const int cellSize = font.CellSize;
  const int64_t w = std::clamp<int64_t>(glyph.Width, 0, cellSize);
  const int64_t h = std::clamp<int64_t>(glyph.Height, 0, cellSize);
  const uint32_t type = font.Type & 3u;
  PixelWriter writer{type, request.ScreenBits, request.Main, request.Edge};
  if (request.ScreenBits == 8 && (type & kFontTypeAntialias) != 0) return;
  const int bpp = writer.PixelBytes();

  // The glyph's rectangle on the image.
  const int64_t along = int64_t{TruncatePen(request.Pen)} + glyph.OriginX;
  int64_t left, top, right, bottom, x1 = 0, y1 = 0, x0 = 0, y0 = 0;
  if (!request.Vertical) {
    x1 = request.X + along;
    y1 = int64_t{request.Y} + glyph.Top;
    left = x1, top = y1, right = x1 + w, bottom = y1 + h;
  } else {
    x0 = int64_t{request.X} + font.LineHeight - glyph.Top;
    y0 = request.Y + along;
    left = x0 - h, top = y0, right = x0, bottom = y0 + w;
  }
  // Clipped to the clip rectangle and to the image's pixels.
  const int64_t columns = std::min<int64_t>(dest->Width, dest->Pitch > 0 ? dest->Pitch / bpp : 0);
  left = std::max({left, int64_t{request.Clip.left}, int64_t{0}});
  top = std::max({top, int64_t{request.Clip.top}, int64_t{0}});
  right = std::min({right, int64_t{request.Clip.right}, columns});
  bottom = std::min({bottom, int64_t{request.Clip.bottom}, int64_t{dest->Height}});
  if (left >= right || top >= bottom) return;

  const uint8_t* cell = font.MemoryCache.data() + static_cast<size_t>(glyph.Cell) * static_cast<size_t>(cellSize) *
                                                      static_cast<size_t>(font.MemoryCachePitch);
  const size_t cachePitch = static_cast<size_t>(font.MemoryCachePitch);
  auto value = [&](int64_t gx, int64_t gy) -> unsigned {
    const uint8_t* row = cell + static_cast<size_t>(gy) * cachePitch;
    if (type == 0) return (row[gx >> 3] >> (7 - (gx & 7))) & 1u;
    return row[gx];
  };
  for (int64_t y = top; y < bottom; ++y) {
    uint8_t* out = dest->Pixels + static_cast<size_t>(y) * static_cast<size_t>(dest->Pitch);
    for (int64_t x = left; x < right; ++x) {
      const int64_t gx = request.Vertical ? y - y0 : x - x1;
      const int64_t gy = request.Vertical ? x0 - 1 - x : y - y1;
      const unsigned v = value(gx, gy);
      if (v != 0) writer.Put(out + static_cast<size_t>(x) * static_cast<size_t>(bpp), v);
    }
  }
}
