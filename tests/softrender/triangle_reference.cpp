#include "triangle_reference.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "blit_reference.h"
#include "engine/graphics/image/blend_tables.h"
#include "reference_geometry.h"

namespace softrender_test {
namespace {

struct Ch {
  uint32_t r, g, b;
};

Ch Split(bool k32, uint32_t p) {
  if (k32) return {(p >> 16) & 255u, (p >> 8) & 255u, p & 255u};
  return {(p >> 11) & 31u, (p >> 5) & 63u, p & 31u};
}
uint32_t Join(bool k32, Ch c, uint32_t fourth) {
  if (k32) return (fourth << 24) | (c.r << 16) | (c.g << 8) | c.b;
  return (c.r << 11) | (c.g << 5) | c.b;
}

uint32_t Read(const uint8_t* p, int n) {
  uint32_t v = 0;
  std::memcpy(&v, p, n);
  return v;
}

// floor((d * 2^m + (c - d) * w) / 2^m)
uint32_t Mix(uint32_t d, uint32_t c, uint64_t w, int m) {
  const int64_t v = (int64_t(d) << m) + (int64_t(c) - int64_t(d)) * int64_t(w);
  return static_cast<uint32_t>(v >> m);
}

struct Bright {
  uint32_t r, g, b;
  bool white;
};
Bright BrightOf(const DrawState& s) {
  const uint32_t v = s.DrawBright;
  return {(v >> 16) & 255u, (v >> 8) & 255u, v & 255u, (v & 0xffffffu) == 0xffffffu};
}

unsigned ModeOf(const DrawState& s) {
  const unsigned m = static_cast<unsigned>(s.BlendMode);
  return m == 1 && s.BlendValue == 255 ? 0u : m;
}

// One blend of colour s over d with the weights (product w, count n);
// alpha_first: the one 16-bit combination that weights before tinting.
uint32_t Blend(bool k32, unsigned mode, uint32_t p, const Bright& br, uint32_t d, uint32_t s,
               uint64_t w, int n, bool alpha_first) {
  const Ch sc = Split(k32, s), dc = Split(k32, d);
  const uint32_t fourth = d >> 24;
  Ch c = sc;
  if (!br.white) {
    c = {ProductTable[br.r][sc.r], ProductTable[br.g][sc.g], ProductTable[br.b][sc.b]};
  }
  const int width[3] = {5, 6, 5};
  const uint32_t dk[3] = {dc.r, dc.g, dc.b}, ck[3] = {c.r, c.g, c.b}, sk[3] = {sc.r, sc.g, sc.b};
  const uint32_t bk[3] = {br.r, br.g, br.b};
  uint32_t out[3];
  switch (mode) {
    case 0:
      if (n == 0) {
        if (br.white && k32) return s;
        return Join(k32, c, fourth);
      }
      for (int k = 0; k < 3; ++k) out[k] = Mix(dk[k], ck[k], w, 8 * n);
      return Join(k32, {out[0], out[1], out[2]}, fourth);
    case 1:
      for (int k = 0; k < 3; ++k) {
        if (n == 0 && !k32) {
          out[k] = uint32_t(int32_t(dk[k]) + DiffTable[p][256 + int(ck[k]) - int(dk[k])]);
        } else {
          out[k] = Mix(dk[k], ck[k], w * p, 8 * (n + 1));
        }
      }
      return Join(k32, {out[0], out[1], out[2]}, fourth);
    case 2:
    case 3: {
      for (int k = 0; k < 3; ++k) {
        if (n == 0) {
          out[k] = ProductTable[p][ck[k]];
        } else if (k32) {
          out[k] = uint32_t((uint64_t(ck[k]) * w * p) >> (8 * (n + 1)));
        } else if (alpha_first && !br.white) {
          out[k] = ProductTable[p][ProductTable[bk[k]][(sk[k] * w) >> 8]];
        } else {
          out[k] = ProductTable[p][(ck[k] * w) >> (8 * n)];
        }
      }
      const uint32_t v = Join(k32, {out[0], out[1], out[2]}, 0);
      if (k32) return mode == 2 ? RefSaturatingAdd(d, v, false) : RefSaturatingSubtract(d, v);
      return mode == 2 ? RefSaturatingAdd16(d, v, true) : RefSaturatingSubtract16(d, v);
    }
    case 4:
      for (int k = 0; k < 3; ++k) {
        const int shift = k32 ? 8 * (n + 1) : width[k] + 8 * n;
        out[k] = uint32_t((uint64_t(dk[k]) * ck[k] * w) >> shift);
      }
      return Join(k32, {out[0], out[1], out[2]}, fourth);
  }
  return d;
}

}  // namespace

bool RefDraws(const DrawState& s, bool palette_source) {
  const unsigned m = static_cast<unsigned>(s.BlendMode);
  if (m > 4) return false;
  if (s.BlendValue == 0 && (m == 1 || m == 2 || (m == 3 && !palette_source))) return false;
  return true;
}

uint32_t RefTexelPixel(const DrawState& state, const MEMIMG& src, int trans_flag, bool has_blend,
                       const uint8_t* weight_table, uint32_t d, uint32_t col, uint32_t row,
                       uint32_t blend_byte) {
  const bool k32 = src.Kind == 1;
  const unsigned mode = ModeOf(state);
  const uint32_t p = static_cast<uint32_t>(state.BlendValue);
  const Bright br = BrightOf(state);
  const uint8_t* line = src.Pixels + std::ptrdiff_t(row) * src.Pitch;
  uint32_t s = 0, a = 0;
  bool alpha_weight = false;
  if (src.UsePalette == 1) {
    const uint32_t index = line[col];
    if (trans_flag != 0 && index == src.TransColor) return d;
    s = k32 ? Read(src.DrawPalette + 4 * index, 4) : Read(src.DrawPalette + 2 * index, 2);
  } else if (src.UseAlpha == 1) {
    const uint32_t raw = Read(line + 4 * col, 4);
    s = k32 ? raw : raw & 0xffffu;
    a = k32 ? raw >> 24 : (raw >> 16) & 255u;
    if (trans_flag == 0) {
      alpha_weight = true;
    } else if (mode == 4) {
      alpha_weight = a != 255;
    } else {
      if (a == 0) return d;
      alpha_weight = a != 255;
    }
  } else {
    s = k32 ? Read(line + 4 * col, 4) : Read(line + 2 * col, 2);
    if (trans_flag != 0 && s == src.TransColor) return d;
  }
  uint64_t w = 1;
  int n = 0;
  if (alpha_weight) {
    w *= a;
    ++n;
  }
  if (has_blend) {
    w *= weight_table[blend_byte];
    ++n;
  }
  return Blend(k32, mode, p, br, d, s, w, n, alpha_weight && !has_blend);
}

uint32_t RefFlatPixel(const DrawState& state, int kind, uint32_t colour, uint32_t d) {
  const bool k32 = kind == 1;
  const Bright br = BrightOf(state);
  const Ch cc = Split(k32, k32 ? colour : colour & 0xffffu);
  const Ch tinted{ProductTable[br.r][cc.r], ProductTable[br.g][cc.g], ProductTable[br.b][cc.b]};
  const uint32_t c = Join(k32, tinted, k32 ? colour >> 24 : 0);
  Bright white = br;
  white.white = true;
  return Blend(k32, ModeOf(state), static_cast<uint32_t>(state.BlendValue), white, d, c, 1, 0,
               false);
}

void ReferenceDrawTriangle(MEMIMG* dest, const MEMIMG* source, const TriangleRecord& tri,
                           int trans_flag, const MEMIMG* blend, uint32_t colour,
                           const DrawState& state, const uint8_t* weight_table) {
  if (source && source->Kind != dest->Kind) return;
  if (dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (!RefDraws(state, source && source->UsePalette == 1)) return;
  IntRect area = state.DrawArea;
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, dest->Width);
  area.bottom = std::min(area.bottom, dest->Height);
  if (area.left >= area.right || area.top >= area.bottom) return;
  const int bytes = dest->Kind == 1 ? 4 : 2;
  const uint64_t u_limit = uint64_t(source ? source->Width : 0) * 0x40000;
  const uint64_t v_limit = uint64_t(source ? source->Height : 0) * 0x40000;
  RefWalkTriangle(tri, source != nullptr, area, [&](int32_t x, int32_t y, uint32_t u, uint32_t v) {
    uint8_t* dp = dest->Pixels + std::ptrdiff_t(y) * dest->Pitch + std::ptrdiff_t(x) * bytes;
    const uint32_t d = Read(dp, bytes);
    uint32_t r;
    if (source == nullptr) {
      r = RefFlatPixel(state, dest->Kind, colour, d);
    } else {
      if (u >= u_limit || v >= v_limit) return;
      const uint32_t col = u / 0x40000, row = v / 0x40000;
      const uint32_t bb = blend ? blend->Pixels[std::ptrdiff_t(row) * blend->Pitch + col] : 0u;
      r = RefTexelPixel(state, *source, trans_flag, blend != nullptr, weight_table, d, col, row,
                        bb);
    }
    std::memcpy(dp, &r, bytes);
  });
}

void ReferenceRotateBlit(MEMIMG* dest, const MEMIMG* source, int cx, int cy, float angle,
                         float scale, int trans_flag, const MEMIMG* blend, const DrawState& state,
                         const uint8_t* weight_table) {
  if (source->Kind != dest->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (!RefDraws(state, source->UsePalette == 1)) return;
  const RefRotate g =
      RefRotateSetUp(uint32_t(source->Width), uint32_t(source->Height), cx, cy, angle, scale);
  const int32_t* xs = g.corner_x;
  const int32_t* ys = g.corner_y;
  const int32_t min_x = *std::min_element(xs, xs + 4), max_x = *std::max_element(xs, xs + 4);
  const int32_t min_y = *std::min_element(ys, ys + 4), max_y = *std::max_element(ys, ys + 4);
  if (min_y == max_y) return;
  const IntRect& a = state.DrawArea;
  const int left = std::max({min_x / 0x40000 - 2, a.left, 0});
  const int top = std::max({min_y / 0x40000 - 2, a.top, 0});
  const int right = std::min({max_x / 0x40000 + 4, a.right, dest->Width});
  const int bottom = std::min({max_y / 0x40000 + 4, a.bottom, dest->Height});
  if (left >= right || top >= bottom) return;
  const uint32_t ut = RefRotateU(g, left, top);
  const uint32_t vt = RefRotateV(g, left, top);
  const int32_t su = int32_t(RefRotateU(g, left, bottom) - ut) / (bottom - top);
  const int32_t sv = int32_t(RefRotateV(g, left, bottom) - vt) / (bottom - top);
  const int bytes = dest->Kind == 1 ? 4 : 2;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const uint32_t u =
          ut + uint32_t(y - top) * uint32_t(su) + uint32_t(x - left) * uint32_t(g.du);
      const uint32_t v =
          vt + uint32_t(y - top) * uint32_t(sv) + uint32_t(x - left) * uint32_t(g.dv);
      if (uint64_t(u) >= uint64_t(source->Width) * 0x40000 ||
          uint64_t(v) >= uint64_t(source->Height) * 0x40000) {
        continue;
      }
      uint8_t* dp = dest->Pixels + std::ptrdiff_t(y) * dest->Pitch + std::ptrdiff_t(x) * bytes;
      const uint32_t col = u >> 18, row = v >> 18;
      const uint32_t bb = blend ? blend->Pixels[std::ptrdiff_t(row) * blend->Pitch + col] : 0u;
      const uint32_t r = RefTexelPixel(state, *source, trans_flag, blend != nullptr, weight_table,
                                       Read(dp, bytes), col, row, bb);
      std::memcpy(dp, &r, bytes);
    }
  }
}

}  // namespace softrender_test
