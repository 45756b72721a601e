#include "stretch_reference.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/graphics/image/blend_tables.h"

namespace softrender_test {
namespace {

uint32_t Read(const uint8_t* p, int n) {
  uint32_t v = 0;
  std::memcpy(&v, p, n);
  return v;
}
void Write(uint8_t* p, uint32_t v, int n) { std::memcpy(p, &v, n); }

// floor((d * 2^m + (c - d) * w) / 2^m), exactly.
uint32_t Mix(uint32_t d, uint32_t c, uint64_t w, int m) {
  return static_cast<uint32_t>(((int64_t(d) << m) + (int64_t(c) - int64_t(d)) * int64_t(w)) >> m);
}

struct Ch {
  uint32_t v[3];  // red, green, blue
};
Ch Split(bool k32, uint32_t p) {
  if (k32) return {{(p >> 16) & 255u, (p >> 8) & 255u, p & 255u}};
  return {{(p >> 11) & 31u, (p >> 5) & 63u, p & 31u}};
}
uint32_t Join(bool k32, Ch c, uint32_t fourth) {
  if (k32) return (fourth << 24) | (c.v[0] << 16) | (c.v[1] << 8) | c.v[2];
  return (c.v[0] << 11) | (c.v[1] << 5) | c.v[2];
}

uint32_t BytesSubtract(uint32_t d, uint32_t v) {
  uint32_t r = 0;
  for (int k = 0; k < 32; k += 8) {
    const int x = int((d >> k) & 255u) - int((v >> k) & 255u);
    r |= uint32_t(std::max(0, x)) << k;
  }
  return r;
}

}  // namespace

int64_t ReferenceTexel(int64_t d, int64_t length, int64_t source_length) {
  const int64_t step = (length * 65536) / source_length;
  if (step == 0) return -1;
  const int64_t t = d * 65536 / step;
  return t < source_length ? t : -1;
}

void ReferenceBltStretchMemImg(MEMIMG* dest, const MEMIMG* src, const ImageRect& corners,
                               int trans_flag, const MEMIMG* blend, const ReferenceOptions& o) {
  const DrawState& st = *o.state;
  const bool mx = corners.left > corners.right, my = corners.top > corners.bottom;
  const int64_t left = std::min(corners.left, corners.right);
  const int64_t top = std::min(corners.top, corners.bottom);
  const int64_t w = int64_t(std::max(corners.left, corners.right)) - left;
  const int64_t h = int64_t(std::max(corners.top, corners.bottom)) - top;
  if (w == 0 || h == 0) return;
  if (w == src->Width && h == src->Height && !mx && !my) {
    ReferenceBltMemImg(dest, src, int(left), int(top), trans_flag, blend, o);
    return;
  }
  if (dest->Kind != src->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (src->Kind != 0 && src->Kind != 1) return;
  if (src->Width <= 0 || src->Height <= 0) return;

  const bool k32 = src->Kind == 1;
  const int form = src->UsePalette == 1 ? 2 : src->UseAlpha == 1 ? 1 : 0;
  unsigned mode = static_cast<unsigned>(st.BlendMode);
  const uint32_t p = static_cast<uint32_t>(std::clamp(st.BlendValue, 0, 255));
  if (mode > 4) return;
  if (mode == 1 && p == 255) mode = 0;
  if (p == 0 && (mode == 1 || mode == 2 || (mode == 3 && form != 2))) return;
  const bool white = (st.DrawBright & 0xffffff) == 0xffffff;
  const uint32_t bright[3] = {(st.DrawBright >> 16) & 255, (st.DrawBright >> 8) & 255,
                              st.DrawBright & 255};
  const int dbytes = k32 ? 4 : 2;
  const int width_bits[3] = {k32 ? 8 : 5, k32 ? 8 : 6, k32 ? 8 : 5};

  const int64_t x0 = std::max<int64_t>({left, st.DrawArea.left, 0});
  const int64_t y0 = std::max<int64_t>({top, st.DrawArea.top, 0});
  const int64_t x1 = std::min<int64_t>({left + w, st.DrawArea.right, dest->Width});
  const int64_t y1 = std::min<int64_t>({top + h, st.DrawArea.bottom, dest->Height});
  for (int64_t dy = y0; dy < y1; ++dy) {
    int64_t sy = ReferenceTexel(dy - top, h, src->Height);
    if (sy < 0) continue;
    if (my) sy = src->Height - 1 - sy;
    for (int64_t dx = x0; dx < x1; ++dx) {
      int64_t sx = ReferenceTexel(dx - left, w, src->Width);
      if (sx < 0) continue;
      if (mx) sx = src->Width - 1 - sx;
      uint8_t* dp = dest->Pixels + dy * dest->Pitch + dx * dbytes;
      const uint32_t d = Read(dp, dbytes);
      // The texel.
      uint32_t s = 0, a = 255, index = 0;
      if (form == 2) {
        index = src->Pixels[sy * src->Pitch + sx];
        s = k32 ? Read(src->DrawPalette + 4 * index, 4) : Read(src->DrawPalette + 2 * index, 2);
      } else if (k32) {
        s = Read(src->Pixels + sy * src->Pitch + sx * 4, 4);
        a = s >> 24;
      } else if (form == 1) {
        const uint32_t raw = Read(src->Pixels + sy * src->Pitch + sx * 4, 4);
        s = raw & 0xffff;
        a = (raw >> 16) & 255;
      } else {
        s = Read(src->Pixels + sy * src->Pitch + sx * 2, 2);
      }
      // The gate and the weights.
      bool alpha_weight = false;
      if (trans_flag != 0) {
        if (form == 2 && index == src->TransColor) continue;
        if (form == 0 && s == src->TransColor) continue;
        if (form == 1) {
          if (a == 0) continue;
          alpha_weight = a != 255;
        }
      } else {
        alpha_weight = form == 1;
      }
      std::vector<uint64_t> weights;
      if (alpha_weight) weights.push_back(a);
      if (blend) weights.push_back(o.weight_table[blend->Pixels[sy * blend->Pitch + sx]]);
      const int n = static_cast<int>(weights.size());
      uint64_t wt = 1;
      for (uint64_t x : weights) wt *= x;

      if (k32 && mode == 3 && p == 255 && !blend && white && form != 1 && o.use_mmx) {
        Write(dp, BytesSubtract(d, s), 4);
        continue;
      }
      const Ch sc = Split(k32, s), dc = Split(k32, d);
      Ch c = sc;
      if (!white) {
        for (int k = 0; k < 3; ++k) c.v[k] = ProductTable[bright[k]][sc.v[k]];
      }
      const uint32_t fourth = d >> 24;
      Ch r{};
      uint32_t out = 0;
      switch (mode) {
        case 0:
          if (n == 0) {
            out = k32 && white ? s : Join(k32, c, fourth);
          } else {
            for (int k = 0; k < 3; ++k) r.v[k] = Mix(dc.v[k], c.v[k], wt, 8 * n);
            out = Join(k32, r, fourth);
          }
          break;
        case 1:
          for (int k = 0; k < 3; ++k) {
            if (n == 0 && !k32) {
              r.v[k] = uint32_t(int(dc.v[k]) + DiffTable[p][256 + int(c.v[k]) - int(dc.v[k])]);
            } else {
              r.v[k] = Mix(dc.v[k], c.v[k], wt * p, 8 * (n + 1));
            }
          }
          out = Join(k32, r, fourth);
          break;
        case 2:
        case 3: {
          Ch v{};
          for (int k = 0; k < 3; ++k) {
            if (n == 0) {
              v.v[k] = ProductTable[p][c.v[k]];
            } else if (k32) {
              v.v[k] = uint32_t((c.v[k] * wt * p) >> (8 * (n + 1)));
            } else if (alpha_weight && !blend && !white) {
              v.v[k] = ProductTable[p][ProductTable[bright[k]][(sc.v[k] * a) >> 8]];
            } else {
              v.v[k] = ProductTable[p][(c.v[k] * wt) >> (8 * n)];
            }
          }
          if (k32) {
            out = mode == 2 ? RefSaturatingAdd(d, Join(true, v, 0), false)
                            : RefSaturatingSubtract(d, Join(true, v, 0));
          } else {
            out = mode == 2 ? RefSaturatingAdd16(d, Join(false, v, 0), true)
                            : RefSaturatingSubtract16(d, Join(false, v, 0));
          }
          break;
        }
        case 4:
          for (int k = 0; k < 3; ++k) {
            const int shift = k32 ? 8 * (n + 1) : width_bits[k] + 8 * n;
            r.v[k] = uint32_t((uint64_t(dc.v[k]) * c.v[k] * wt) >> shift);
          }
          out = Join(k32, r, fourth);
          break;
      }
      Write(dp, out, dbytes);
    }
  }
}

}  // namespace softrender_test
