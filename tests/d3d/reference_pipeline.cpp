// The CPU evaluator of the device's per-pixel rules.
#include "reference_pipeline.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace d3d_test {

using namespace platform::d3d;

namespace {

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

Rgba Select(uint32_t arg, const Rgba& diffuse, const Rgba& current, const RefStage& stage,
            uint32_t factor) {
  Rgba v;
  switch (arg & kTaSelectMask) {
    case kTaDiffuse: v = diffuse; break;
    case kTaCurrent: v = current; break;
    case kTaTexture: v = stage.has_texture ? stage.texel : Rgba{1, 1, 1, 1}; break;
    case kTaTFactor: v = FromArgb(factor); break;
    default: v = Rgba{1, 1, 1, 1}; break;
  }
  if ((arg & kTaAlphaReplicate) != 0) v = Rgba{v.a, v.a, v.a, v.a};
  if ((arg & kTaComplement) != 0) v = Rgba{1 - v.r, 1 - v.g, 1 - v.b, 1 - v.a};
  return v;
}

double Op(uint32_t op, double a, double b, double diffuse_alpha, double texture_alpha,
          double factor_alpha, double current_alpha) {
  switch (op) {
    case kTopSelectArg1: return a;
    case kTopSelectArg2: return b;
    case kTopModulate: return a * b;
    case kTopModulate2x: return a * b * 2;
    case kTopModulate4x: return a * b * 4;
    case kTopAdd: return a + b;
    case kTopAddSigned: return a + b - 0.5;
    case kTopAddSigned2x: return (a + b - 0.5) * 2;
    case kTopSubtract: return a - b;
    case kTopAddSmooth: return a + b - a * b;
    case kTopBlendDiffuseAlpha: return a * diffuse_alpha + b * (1 - diffuse_alpha);
    case kTopBlendTextureAlpha: return a * texture_alpha + b * (1 - texture_alpha);
    case kTopBlendFactorAlpha: return a * factor_alpha + b * (1 - factor_alpha);
    case kTopBlendCurrentAlpha: return a * current_alpha + b * (1 - current_alpha);
    default: return a;
  }
}

double Factor(uint32_t f, double channel_src, double channel_dst, const Rgba& src, const Rgba& dst,
              bool is_alpha) {
  switch (f) {
    case kBlendZero: return 0;
    case kBlendOne: return 1;
    case kBlendSrcColor: return channel_src;
    case kBlendInvSrcColor: return 1 - channel_src;
    case kBlendSrcAlpha: return src.a;
    case kBlendInvSrcAlpha: return 1 - src.a;
    case kBlendDestAlpha: return dst.a;
    case kBlendInvDestAlpha: return 1 - dst.a;
    case kBlendDestColor: return channel_dst;
    case kBlendInvDestColor: return 1 - channel_dst;
    case kBlendSrcAlphaSat: return is_alpha ? 1 : std::min(src.a, 1 - dst.a);
    default: return 0;
  }
}

double Expand(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 1;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  return static_cast<double>((pixel & mask) >> shift) / max;
}

uint32_t Pack(double v, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t max = mask >> shift;
  return static_cast<uint32_t>(std::lround(Clamp01(v) * max)) << shift;
}

}  // namespace

Rgba FromArgb(uint32_t argb) {
  return Rgba{((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
              (argb >> 24) / 255.0};
}

Rgba EvaluateStages(const RefProgram& p, const Rgba& diffuse) {
  Rgba cur = diffuse;
  const double factor_alpha = FromArgb(p.texture_factor).a;
  for (const RefStage& s : p.stages) {
    if (s.color_op == kTopDisable) break;
    if ((s.color_arg1 & kTaSelectMask) == kTaTexture && !s.has_texture) break;
    const double texture_alpha = s.has_texture ? s.texel.a : 1.0;
    const Rgba c1 = Select(s.color_arg1, diffuse, cur, s, p.texture_factor);
    const Rgba c2 = Select(s.color_arg2, diffuse, cur, s, p.texture_factor);
    Rgba next;
    next.r = Clamp01(Op(s.color_op, c1.r, c2.r, diffuse.a, texture_alpha, factor_alpha, cur.a));
    next.g = Clamp01(Op(s.color_op, c1.g, c2.g, diffuse.a, texture_alpha, factor_alpha, cur.a));
    next.b = Clamp01(Op(s.color_op, c1.b, c2.b, diffuse.a, texture_alpha, factor_alpha, cur.a));
    if (s.alpha_op == kTopDisable) {
      next.a = Clamp01(cur.a);
    } else {
      const Rgba a1 = Select(s.alpha_arg1, diffuse, cur, s, p.texture_factor);
      const Rgba a2 = Select(s.alpha_arg2, diffuse, cur, s, p.texture_factor);
      next.a = Clamp01(Op(s.alpha_op, a1.a, a2.a, diffuse.a, texture_alpha, factor_alpha, cur.a));
    }
    cur = next;
  }
  return cur;
}

bool AlphaTestPasses(double alpha, uint32_t func, uint32_t ref) {
  const long a = std::lround(alpha * 255);
  const long r = static_cast<long>(ref & 0xFF);
  switch (func) {
    case kCmpNever: return false;
    case kCmpLess: return a < r;
    case kCmpEqual: return a == r;
    case kCmpLessEqual: return a <= r;
    case kCmpGreater: return a > r;
    case kCmpNotEqual: return a != r;
    case kCmpGreaterEqual: return a >= r;
    default: return true;
  }
}

Rgba Blend(const Rgba& src, const Rgba& dst, uint32_t sf, uint32_t df) {
  if (sf == kBlendBothSrcAlpha) {
    sf = kBlendSrcAlpha;
    df = kBlendInvSrcAlpha;
  } else if (sf == kBlendBothInvSrcAlpha) {
    sf = kBlendInvSrcAlpha;
    df = kBlendSrcAlpha;
  }
  auto one = [&](double s, double d, bool is_alpha) {
    return Clamp01(s * Factor(sf, s, d, src, dst, is_alpha) + d * Factor(df, s, d, src, dst, is_alpha));
  };
  return Rgba{one(src.r, dst.r, false), one(src.g, dst.g, false), one(src.b, dst.b, false),
              one(src.a, dst.a, true)};
}

Rgba Quantize(const Rgba& c, int rb, int gb, int bb, int ab) {
  auto q = [](double v, int bits) {
    if (bits == 0) return 1.0;
    const double max = (1 << bits) - 1;
    return std::lround(Clamp01(v) * max) / max;
  };
  return Rgba{q(c.r, rb), q(c.g, gb), q(c.b, bb), q(c.a, ab)};
}

Rgba FromPixel(uint32_t pixel, const PixelFormat& f) {
  return Rgba{Expand(pixel, f.red_mask), Expand(pixel, f.green_mask), Expand(pixel, f.blue_mask),
              Expand(pixel, f.alpha_mask)};
}

uint32_t ToPixel(const Rgba& c, const PixelFormat& f) {
  return Pack(c.r, f.red_mask) | Pack(c.g, f.green_mask) | Pack(c.b, f.blue_mask) |
         Pack(c.a, f.alpha_mask);
}

}  // namespace d3d_test
