#include "blit_reference.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/graphics/image/blend_tables.h"

namespace softrender_test {
namespace {

struct Channels {
  uint32_t r, g, b;
};

Channels Split32(uint32_t p) { return {(p >> 16) & 255u, (p >> 8) & 255u, p & 255u}; }
uint32_t Join32(Channels c, uint32_t fourth) {
  return (fourth << 24) | (c.r << 16) | (c.g << 8) | c.b;
}
Channels Split16(uint32_t p) { return {(p >> 11) & 31u, (p >> 5) & 63u, p & 31u}; }
uint32_t Join16(Channels c) { return (c.r << 11) | (c.g << 5) | c.b; }

uint32_t ReadBytes(const uint8_t* p, int n) {
  uint32_t v = 0;
  std::memcpy(&v, p, n);
  return v;
}
void WriteBytes(uint8_t* p, uint32_t v, int n) { std::memcpy(p, &v, n); }

// floor((d * 2^m + (c - d) * w) / 2^m)
uint32_t Mix(uint32_t d, uint32_t c, uint64_t w, int m) {
  const int64_t v = (int64_t(d) << m) + (int64_t(c) - int64_t(d)) * int64_t(w);
  return static_cast<uint32_t>(v >> m);
}

struct Call {
  bool k32;
  unsigned mode;
  uint32_t p;
  bool white;
  uint32_t bright_r, bright_g, bright_b;
  const uint8_t* weight_table;
  int use_mmx;
  int trans_flag;
  bool has_blend;
  int form;  // 0 direct, 1 alpha, 2 palette
  const MEMIMG* src;
};

struct SourcePixel {
  uint32_t colour;  // whole 32-bit word, or 16-bit colour
  uint32_t alpha;
  uint32_t index;
};

SourcePixel ReadSource(const Call& c, int sx, int sy) {
  const MEMIMG& s = *c.src;
  SourcePixel px{0, 0, 0};
  if (c.form == 2) {
    px.index = s.Pixels[sy * s.Pitch + sx];
    px.colour = c.k32 ? ReadBytes(s.DrawPalette + 4 * px.index, 4)
                      : ReadBytes(s.DrawPalette + 2 * px.index, 2);
  } else if (c.k32) {
    px.colour = ReadBytes(s.Pixels + sy * s.Pitch + sx * 4, 4);
    px.alpha = px.colour >> 24;
  } else if (c.form == 1) {
    const uint32_t raw = ReadBytes(s.Pixels + sy * s.Pitch + sx * 4, 4);
    px.colour = raw & 0xffff;
    px.alpha = (raw >> 16) & 0xff;
  } else {
    px.colour = ReadBytes(s.Pixels + sy * s.Pitch + sx * 2, 2);
  }
  return px;
}

bool IsTransparent(const Call& c, const SourcePixel& px) {
  if (c.trans_flag == 0 || c.form == 1) return false;
  if (c.form == 2) return px.index == c.src->TransColor;
  return px.colour == c.src->TransColor;
}

uint32_t BytesAdd(uint32_t d, uint32_t v) {
  uint32_t r = 0;
  for (int k = 0; k < 4; ++k) {
    r |= std::min(255u, ((d >> (8 * k)) & 255u) + ((v >> (8 * k)) & 255u)) << (8 * k);
  }
  return r;
}
uint32_t BytesSubtract(uint32_t d, uint32_t v) {
  uint32_t r = 0;
  for (int k = 0; k < 4; ++k) {
    const int x = int((d >> (8 * k)) & 255u) - int((v >> (8 * k)) & 255u);
    r |= uint32_t(std::max(0, x)) << (8 * k);
  }
  return r;
}

// The operation table of the blend modes for one drawn pixel.
uint32_t Operate(const Call& c, uint32_t d, uint32_t s, const std::vector<uint32_t>& weights,
                 bool alpha_only_weight) {
  const int n = static_cast<int>(weights.size());
  uint64_t w = 1;
  for (uint32_t x : weights) w *= x;
  const Channels sc = c.k32 ? Split32(s) : Split16(s);
  const Channels dc = c.k32 ? Split32(d) : Split16(d);
  const uint32_t fourth = d >> 24;
  Channels tint = sc;
  if (!c.white) {
    tint = {ProductTable[c.bright_r][sc.r], ProductTable[c.bright_g][sc.g],
            ProductTable[c.bright_b][sc.b]};
  }
  auto per_channel = [&](auto f) {
    return Channels{f(dc.r, tint.r, sc.r, c.bright_r, 5), f(dc.g, tint.g, sc.g, c.bright_g, 6),
                    f(dc.b, tint.b, sc.b, c.bright_b, 5)};
  };
  auto join = [&](Channels r) { return c.k32 ? Join32(r, fourth) : Join16(r); };

  switch (c.mode) {
    case 0:
      if (n == 0) {
        if (c.white && c.k32) return s;
        return join(tint);
      }
      return join(per_channel([&](uint32_t dk, uint32_t ck, uint32_t, uint32_t, int) {
        return Mix(dk, ck, w, 8 * n);
      }));
    case 1:
      if (n == 0 && !c.k32) {
        return join(per_channel([&](uint32_t dk, uint32_t ck, uint32_t, uint32_t, int) {
          return uint32_t(int32_t(dk) + DiffTable[c.p][256 + int(ck) - int(dk)]);
        }));
      }
      return join(per_channel([&](uint32_t dk, uint32_t ck, uint32_t, uint32_t, int) {
        return Mix(dk, ck, w * c.p, 8 * (n + 1));
      }));
    case 2:
    case 3: {
      Channels v = per_channel([&](uint32_t, uint32_t ck, uint32_t sk, uint32_t bk, int) -> uint32_t {
        if (n == 0) return ProductTable[c.p][ck];
        if (c.k32) return uint32_t((uint64_t(ck) * w * c.p) >> (8 * (n + 1)));
        if (alpha_only_weight && !c.white) {
          return ProductTable[c.p][ProductTable[bk][(sk * w) >> 8]];
        }
        return ProductTable[c.p][(ck * w) >> (8 * n)];
      });
      if (c.k32) {
        const uint32_t vw = Join32(v, 0);
        return c.mode == 2 ? RefSaturatingAdd(d, vw, false) : RefSaturatingSubtract(d, vw);
      }
      const uint32_t vw = Join16(v);
      return c.mode == 2 ? RefSaturatingAdd16(d, vw, true) : RefSaturatingSubtract16(d, vw);
    }
    case 4:
      return join(per_channel([&](uint32_t dk, uint32_t ck, uint32_t, uint32_t, int width) {
        const int shift = c.k32 ? 8 * (n + 1) : width + 8 * n;
        return uint32_t((uint64_t(dk) * ck * w) >> shift);
      }));
  }
  return d;
}

// One pixel of the general path (run_class < 0) or of a whole-image run.
void DrawOne(const Call& c, uint8_t* dp, int sx, int sy, uint32_t blend_byte, int run_class) {
  const int dbytes = c.k32 ? 4 : 2;
  const uint32_t d = ReadBytes(dp, dbytes);
  const SourcePixel px = ReadSource(c, sx, sy);
  const bool general = run_class < 0;
  if (general && IsTransparent(c, px)) return;
  std::vector<uint32_t> weights;
  bool alpha_weight = false;
  if (c.form == 1) {
    if (general) {
      if (c.trans_flag == 0) {
        if (c.mode == 0 && c.white && !c.has_blend) {
          WriteBytes(dp, px.colour, dbytes);  // copied, alpha unused
          return;
        }
        alpha_weight = true;
      } else if (c.mode == 4) {
        alpha_weight = px.alpha != 255;
      } else {
        if (px.alpha == 0) return;
        alpha_weight = px.alpha != 255;
      }
    } else {
      alpha_weight = run_class == 2;
    }
  }
  if (alpha_weight) weights.push_back(px.alpha);
  if (c.has_blend) weights.push_back(c.weight_table[blend_byte]);

  const bool shortcut = general && !c.has_blend && c.white && c.form != 1;
  const uint32_t s = px.colour;
  if (shortcut && c.k32) {
    if (c.mode == 1 && c.p == 128) {
      const Channels a = Split32(s), b = Split32(d);
      WriteBytes(dp, Join32({a.r / 2 + b.r / 2, a.g / 2 + b.g / 2, a.b / 2 + b.b / 2}, 0), 4);
      return;
    }
    if (c.mode == 2 && c.p == 255) {
      WriteBytes(dp, c.use_mmx ? BytesAdd(d, s) : RefSaturatingAdd(d, s, true), 4);
      return;
    }
    if (c.mode == 3 && c.p == 255) {
      WriteBytes(dp, c.use_mmx ? BytesSubtract(d, s) : RefSaturatingSubtract(d, s), 4);
      return;
    }
  }
  if (shortcut && !c.k32 && c.mode == 1) {
    const Channels a = Split16(s), b = Split16(d);
    if (c.p == 128) {
      WriteBytes(dp, Join16({a.r / 2 + b.r / 2, a.g / 2 + b.g / 2, a.b / 2 + b.b / 2}), 2);
    } else {
      const uint32_t k = c.p / 4;
      WriteBytes(dp, Join16({MixTable[k][a.r][b.r], MixTable[k][a.g][b.g], MixTable[k][a.b][b.b]}),
                 2);
    }
    return;
  }
  WriteBytes(dp, Operate(c, d, s, weights, alpha_weight && !c.has_blend), dbytes);
}

}  // namespace

uint32_t RefSaturatingAdd(uint32_t d, uint32_t v, bool short_form) {
  const Channels a = Split32(d), b = Split32(v);
  const bool bc = a.b + b.b >= 256;
  const uint32_t blue = std::min(255u, a.b + b.b);
  const uint32_t h = (a.g >> 1) + (b.g >> 1);
  const bool gc = h >= 128;
  const uint32_t e = (bc || (!short_form && ((a.g | b.g) & 1))) ? 1 : 0;
  const uint32_t green = gc ? 255 : 2 * h + e;
  const uint32_t h2 = (a.r >> 1) + (b.r >> 1);
  const bool rc = h2 >= 128;
  const uint32_t e2 = (gc || (!short_form && ((a.r | b.r) & 1))) ? 1 : 0;
  const uint32_t red = rc ? 255 : 2 * h2 + e2;
  return Join32({red, green, blue}, rc ? 1 : 0);
}

uint32_t RefSaturatingSubtract(uint32_t d, uint32_t v) {
  const Channels a = Split32(d), b = Split32(v);
  const uint32_t bb = a.b < b.b ? 1 : 0;
  const uint32_t blue = bb ? 0 : a.b - b.b;
  const uint32_t gb = (a.g >> 1) < (b.g >> 1) ? 1 : 0;
  const uint32_t green = gb ? 0 : 2 * ((a.g >> 1) - (b.g >> 1)) + 1 - bb;
  const uint32_t rb = (a.r >> 1) < (b.r >> 1) ? 1 : 0;
  const uint32_t red = rb ? 0 : 2 * ((a.r >> 1) - (b.r >> 1)) + 1 - gb;
  return Join32({red, green, blue}, 0);
}

namespace {

// One 16-bit pixel of the add; blue_low is the bit that enters blue's lowest
// position (second pixel of a pair), or -1 for a pixel whose blue is added
// whole. Returns the red carry through *red_carry.
uint32_t Add16Channels(Channels a, Channels b, bool put_back, int blue_low, bool* red_carry) {
  uint32_t blue;
  bool bc;
  if (blue_low < 0) {
    bc = a.b + b.b >= 32;
    blue = std::min(31u, a.b + b.b);
  } else {
    const uint32_t h0 = (a.b >> 1) + (b.b >> 1);
    bc = h0 >= 16;
    blue = bc ? 31 : 2 * h0 + uint32_t(blue_low);
  }
  const uint32_t h = (a.g >> 1) + (b.g >> 1);
  const bool gc = h >= 32;
  const uint32_t e = (bc || (put_back && ((a.g | b.g) & 1))) ? 1 : 0;
  const uint32_t green = gc ? 62 + e : 2 * h + e;
  const uint32_t h2 = (a.r >> 1) + (b.r >> 1);
  const bool rc = h2 >= 16;
  const uint32_t e2 = (gc || (put_back && ((a.r | b.r) & 1))) ? 1 : 0;
  const uint32_t red = rc ? 31 : 2 * h2 + e2;
  *red_carry = rc;
  return Join16({red, green, blue});
}

uint32_t Sub16Channels(Channels a, Channels b, int blue_low, bool* red_borrow) {
  uint32_t blue;
  if (blue_low < 0) {
    blue = a.b < b.b ? 0 : a.b - b.b;
  } else {
    blue = (a.b >> 1) < (b.b >> 1) ? 0 : 2 * ((a.b >> 1) - (b.b >> 1)) + uint32_t(blue_low);
  }
  const bool gb = (a.g >> 1) < (b.g >> 1);
  const uint32_t green = gb ? 0 : 2 * ((a.g >> 1) - (b.g >> 1));
  const bool rb = (a.r >> 1) < (b.r >> 1);
  const uint32_t red = rb ? 0 : 2 * ((a.r >> 1) - (b.r >> 1)) + 1 - (gb ? 1 : 0);
  *red_borrow = rb;
  return Join16({red, green, blue});
}

}  // namespace

uint32_t RefSaturatingAdd16(uint32_t d, uint32_t v, bool put_back_low_bits) {
  bool rc;
  return Add16Channels(Split16(d), Split16(v), put_back_low_bits, -1, &rc);
}

uint32_t RefSaturatingSubtract16(uint32_t d, uint32_t v) {
  bool rb;
  return Sub16Channels(Split16(d), Split16(v), -1, &rb);
}

uint32_t RefSaturatingAdd16Pair(uint32_t d, uint32_t v) {
  bool rc1, rc2;
  const uint32_t lo = Add16Channels(Split16(d & 0xffff), Split16(v & 0xffff), false, -1, &rc1);
  const uint32_t hi = Add16Channels(Split16(d >> 16), Split16(v >> 16), false, rc1 ? 1 : 0, &rc2);
  return lo | (hi << 16);
}

uint32_t RefSaturatingSubtract16Pair(uint32_t d, uint32_t v) {
  bool rb1, rb2;
  const uint32_t lo = Sub16Channels(Split16(d & 0xffff), Split16(v & 0xffff), -1, &rb1);
  const uint32_t hi = Sub16Channels(Split16(d >> 16), Split16(v >> 16), rb1 ? 0 : 1, &rb2);
  return lo | (hi << 16);
}

void ReferenceBltMemImg(MEMIMG* dest, const MEMIMG* src, int x, int y, int trans_flag,
                        const MEMIMG* blend, const ReferenceOptions& o) {
  const DrawState& st = *o.state;
  if (dest->Kind != src->Kind || dest->UsePalette == 1 || dest->UseAlpha == 1) return;
  if (src->Kind != 0 && src->Kind != 1) return;
  const int left = std::max({x, st.DrawArea.left, 0});
  const int top = std::max({y, st.DrawArea.top, 0});
  const int right = std::min({x + src->Width, st.DrawArea.right, dest->Width});
  const int bottom = std::min({y + src->Height, st.DrawArea.bottom, dest->Height});
  if (right <= left || bottom <= top) return;

  Call c{};
  c.k32 = src->Kind == 1;
  c.form = src->UsePalette == 1 ? 2 : src->UseAlpha == 1 ? 1 : 0;
  c.mode = static_cast<unsigned>(st.BlendMode);
  c.p = static_cast<uint32_t>(st.BlendValue);
  if (c.mode > 4) return;
  if (c.mode == 1 && c.p == 255) c.mode = 0;
  if (c.p == 0 && (c.mode == 1 || c.mode == 2 || (c.mode == 3 && c.form != 2))) return;
  c.white = (st.DrawBright & 0xffffff) == 0xffffff;
  c.bright_b = st.DrawBright & 255;
  c.bright_g = (st.DrawBright >> 8) & 255;
  c.bright_r = (st.DrawBright >> 16) & 255;
  c.weight_table = o.weight_table;
  c.use_mmx = o.use_mmx;
  c.trans_flag = trans_flag;
  c.has_blend = blend != nullptr;
  c.src = src;
  const int dbytes = c.k32 ? 4 : 2;
  auto dst_at = [&](int dx, int dy) { return dest->Pixels + dy * dest->Pitch + dx * dbytes; };
  auto blend_at = [&](int sx, int sy) -> uint32_t {
    return blend ? blend->Pixels[sy * blend->Pitch + sx] : 0;
  };

  const bool whole = trans_flag == 1 && src->RunTableValid == 1 && right - left == src->Width &&
                     bottom - top == src->Height;
  if (whole) {
    const uint8_t* code = src->RunTable;
    for (int sy = 0; sy < src->Height; ++sy) {
      int sx = 0;
      for (;;) {
        const uint8_t b = *code++;
        if ((b & 0xc0) == 0xc0) break;
        const int n = (b & 0x3f) + 1;
        const int cls = b >> 6;
        for (int i = 0; i < n; ++i, ++sx) {
          if (cls != 0) DrawOne(c, dst_at(x + sx, y + sy), sx, sy, blend_at(sx, sy), cls);
        }
      }
    }
    return;
  }

  const bool pairs = !c.k32 && !c.has_blend && c.white && c.form != 1 &&
                     (c.mode == 2 || c.mode == 3) && c.p == 255;
  for (int dy = top; dy < bottom; ++dy) {
    const int sy = dy - y;
    if (!pairs) {
      for (int dx = left; dx < right; ++dx) {
        DrawOne(c, dst_at(dx, dy), dx - x, sy, blend_at(dx - x, sy), -1);
      }
      continue;
    }
    auto lone = [&](int dx) {
      uint8_t* dp = dst_at(dx, dy);
      const SourcePixel px = ReadSource(c, dx - x, sy);
      const uint32_t d = ReadBytes(dp, 2);
      WriteBytes(dp,
                 c.mode == 2 ? RefSaturatingAdd16(d, px.colour, false)
                             : RefSaturatingSubtract16(d, px.colour),
                 2);
    };
    int dx = left;
    for (; dx + 1 < right; dx += 2) {
      const SourcePixel p0 = ReadSource(c, dx - x, sy), p1 = ReadSource(c, dx + 1 - x, sy);
      const bool t0 = IsTransparent(c, p0), t1 = IsTransparent(c, p1);
      if (t0 && t1) continue;
      if (t0 || t1) {
        lone(t0 ? dx + 1 : dx);
        continue;
      }
      const uint32_t d = ReadBytes(dst_at(dx, dy), 2) | (ReadBytes(dst_at(dx + 1, dy), 2) << 16);
      const uint32_t v = p0.colour | (p1.colour << 16);
      const uint32_t r =
          c.mode == 2 ? RefSaturatingAdd16Pair(d, v) : RefSaturatingSubtract16Pair(d, v);
      WriteBytes(dst_at(dx, dy), r & 0xffff, 2);
      WriteBytes(dst_at(dx + 1, dy), r >> 16, 2);
    }
    if (dx < right && !IsTransparent(c, ReadSource(c, dx - x, sy))) lone(dx);
  }
}

}  // namespace softrender_test
