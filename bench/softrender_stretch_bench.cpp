// The stretched blit (BltStretchMemImg) at 2x and 0.5x onto a 640 x 480
// target, at 32 and 16 bits, against pixman's nearest-neighbour scaled
// composite doing the same traffic in the same run: SRC for the plain copy,
// OVER of an a8r8g8b8 source for an alpha source drawn with its alpha.
//
// Each of our benchmarks reports pixman_over_ours = pixman's time / our time
// (above 1: ours is faster); all ratios are printed again when the program
// ends.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/stretch_blit.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::BenchImage;
using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Stretched blit vs pixman nearest (time ratio, above 1 = ours faster)");
  return summary;
}

// kind 1: 32-bit (alpha in the fourth byte); kind 0: 16-bit, with alpha 4
// bytes per pixel. Random pixels; alpha images get a spread of alphas.
BenchImage MakeImage(int kind, bool alpha, int w, int h, uint32_t seed) {
  BenchImage b = softrender_bench::MakeBenchImage(kind, alpha, w, h);
  b.img->TransColor = 0xf81f;
  softrender_bench::FillRandomBytes(b, seed);
  return b;
}

struct Case {
  std::string name;
  int kind;    // 1: 32-bit, 0: 16-bit
  bool alpha;  // alpha source drawn with its alpha (pixman OVER), else a copy (SRC)
  int source_w, source_h;
};

constexpr int kW = 640, kH = 480;

void BM_StretchOurs(benchmark::State& state, Case c) {
  BuildBlendTables();
  ResetDrawState();
  auto dst = MakeImage(c.kind, false, kW, kH, 1);
  auto src = MakeImage(c.kind, c.alpha, c.source_w, c.source_h, 2);
  const ImageRect r{0, 0, kW, kH};
  const double ns = TimedNs(state, [&] {
    BltStretchMemImg(dst.img.get(), src.img.get(), &r, c.alpha ? 1 : 0, nullptr);
    benchmark::ClobberMemory();
  });
  Registry().Record("ours " + c.name, ns);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_StretchPixman(benchmark::State& state, Case c) {
  auto dst = MakeImage(c.kind, false, kW, kH, 1);
  // pixman's 16-bit alpha counterpart is an a8r8g8b8 source over r5g6b5.
  auto src = MakeImage(c.kind == 1 || c.alpha ? 1 : 0, c.alpha, c.source_w, c.source_h, 2);
  pixman_image_t* d =
      softrender_bench::PixmanOf(dst, c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  const pixman_format_code_t sf =
      c.alpha ? PIXMAN_a8r8g8b8 : (c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  pixman_image_t* s = softrender_bench::PixmanOf(src, sf);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(c.source_w) / kW),
                              pixman_double_to_fixed(double(c.source_h) / kH));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const pixman_op_t op = c.alpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(state.iterations() * kW * kH);
  Registry().Record("pixman " + c.name, ns);
  const std::optional<double> ratio =
      Registry().Compare(state, "pixman_over_ours", "ours " + c.name, "pixman " + c.name);
  if (ratio) {
    char line[160];
    std::snprintf(line, sizeof line, "%-28s pixman_over_ours %6.2f", c.name.c_str(), *ratio);
    Registry().SetLine(c.name, line);
  }
}

const Case kCases[] = {
    {"32 copy 2x", 1, false, kW / 2, kH / 2},    {"32 copy 0.5x", 1, false, kW * 2, kH * 2},
    {"32 alpha 2x", 1, true, kW / 2, kH / 2},    {"32 alpha 0.5x", 1, true, kW * 2, kH * 2},
    {"16 copy 2x", 0, false, kW / 2, kH / 2},    {"16 copy 0.5x", 0, false, kW * 2, kH * 2},
    {"16 alpha 2x", 0, true, kW / 2, kH / 2},    {"16 alpha 0.5x", 0, true, kW * 2, kH * 2},
};

int RegisterAll() {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark(("Stretch/ours/" + c.name).c_str(), BM_StretchOurs, c);
    benchmark::RegisterBenchmark(("Stretch/pixman/" + c.name).c_str(), BM_StretchPixman, c);
  }
  return 0;
}
const int kRegistered = RegisterAll();

}  // namespace
