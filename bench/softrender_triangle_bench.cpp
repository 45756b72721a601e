// The triangle rasteriser, the four-point draw and the rotated blit against
// pixman doing the same work in the same run:
// - a textured quad filling 640 x 480 from a 320 x 240 source (scaled by 2,
//   nearest texel) at 32 and 16 bits, copy and alpha 128, against pixman's
//   scaled nearest composite (SRC, and OVER with a solid mask);
// - a 256 x 256 image turned 45 degrees at 32 and 16 bits against pixman's
//   rotated nearest composite (OVER of an opaque source, which draws the
//   turned image and leaves the rest);
// - the flat-colour fill rate of a triangle covering half of 640 x 480
//   against pixman_composite_triangles with a solid source (SRC and OVER,
//   one-bit edges).
// Each reference reports ref_over_ours = reference time / our time (above 1:
// ours is faster); a summary of the ratios is printed when the program ends.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/quad_mem_img.h"
#include "engine/softrender/rotate_blit.h"
#include "engine/softrender/triangle_mem_img.h"
#include "softrender_bench_support.h"

namespace {

// ---- Timing registry and the summary printed at exit -----------------------

using softrender_bench::BenchImage;
using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Triangles, quads and rotation vs pixman (time ratio, above 1 = ours faster)");
  return summary;
}

void Record(const std::string& key, double ns) { Registry().Record(key, ns); }

void ReportRatio(benchmark::State& state, const std::string& name) {
  const std::string ours = "ours " + name, ref = "pixman " + name;
  const std::optional<double> ratio = Registry().Compare(state, "ref_over_ours", ours, ref);
  if (!ratio) return;
  char line[256];
  std::snprintf(line, sizeof line, "%-28s ref_over_ours %6.2f  (ours %8.1f us, pixman %8.1f us)",
                name.c_str(), *ratio, Registry().Ns(ours) / 1000.0, Registry().Ns(ref) / 1000.0);
  Registry().SetLine(name, line);
}

// ---- Images ------------------------------------------------------------------

BenchImage MakeImage(int kind, int w, int h, uint32_t seed) {
  BenchImage b = softrender_bench::MakeBenchImage(kind, false, w, h);
  softrender_bench::FillRandomBytes(b, seed);
  return b;
}

pixman_image_t* PixmanOf(BenchImage& b, int kind) {
  return softrender_bench::PixmanOf(b, kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
}

void SetState(int mode, int value) {
  ResetDrawState();
  CurrentDrawState.DrawArea = IntRect{0, 0, 640, 480};
  CurrentDrawState.BlendMode = mode;
  CurrentDrawState.BlendValue = value;
}

pixman_image_t* SolidMask(int value) {
  pixman_color_t c{0xffff, 0xffff, 0xffff, static_cast<uint16_t>(value * 257)};
  return pixman_image_create_solid_fill(&c);
}

std::string Depth(int kind) { return kind == 1 ? "32" : "16"; }

// ---- Textured quad over 640 x 480 ------------------------------------------

void BM_QuadOurs(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BuildBlendTables();
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  BenchImage src = MakeImage(kind, 320, 240, 2);
  SetState(mode, value);
  const QuadRecord q{{{0, 0}, {640, 0}, {0, 480}, {640, 480}}};
  const double ns = TimedNs(state, [&] {
    DrawQuadMemImg(dst.img.get(), src.img.get(), &q, 0, nullptr);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  Record("ours " + name, ns);
  ResetDrawState();
}

void BM_QuadPixman(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  BenchImage src = MakeImage(kind, 320, 240, 2);
  pixman_image_t* d = PixmanOf(dst, kind);
  pixman_image_t* s = PixmanOf(src, kind);
  pixman_f_transform f;
  pixman_f_transform_init_scale(&f, 0.5, 0.5);
  pixman_transform t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_image_t* mask = mode == 1 ? SolidMask(value) : nullptr;
  const pixman_op_t op = mode == 1 ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(op, s, mask, d, 0, 0, 0, 0, 0, 0, 640, 480);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  Record("pixman " + name, ns);
  ReportRatio(state, name);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
}

// ---- 256 x 256 turned 45 degrees --------------------------------------------

constexpr float kAngle45 = static_cast<float>(std::numbers::pi / 4);

void BM_RotateOurs(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BuildBlendTables();
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  BenchImage src = MakeImage(kind, 256, 256, 2);
  SetState(mode, value);
  const double ns = TimedNs(state, [&] {
    BltRotateMemImg(dst.img.get(), src.img.get(), 320, 240, kAngle45, 1.0f, 0, 0, nullptr);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 256 * 256);
  Record("ours " + name, ns);
  ResetDrawState();
}

void BM_RotatePixman(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  BenchImage src = MakeImage(kind, 256, 256, 2);
  pixman_image_t* d = PixmanOf(dst, kind);
  pixman_image_t* s = PixmanOf(src, kind);
  // Destination to source: about the centre (320, 240), back by the angle,
  // onto the source's centre.
  pixman_f_transform f;
  pixman_f_transform_init_identity(&f);
  pixman_f_transform_translate(&f, nullptr, -320.0, -240.0);
  pixman_f_transform_rotate(&f, nullptr, std::cos(-kAngle45), std::sin(-kAngle45));
  pixman_f_transform_translate(&f, nullptr, 128.0, 128.0);
  pixman_transform t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_image_t* mask = mode == 1 ? SolidMask(value) : nullptr;
  // The bounding box of the turned image.
  const int half = static_cast<int>(std::ceil(128.0 * std::sqrt(2.0))) + 1;
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 320 - half, 240 - half,
                             2 * half, 2 * half);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 256 * 256);
  Record("pixman " + name, ns);
  ReportRatio(state, name);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(s);
  pixman_image_unref(d);
}

// ---- Flat triangle fill rate ---------------------------------------------------

void BM_FlatOurs(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BuildBlendTables();
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  SetState(mode, value);
  const TriangleRecord t{{{0, 0, 0, 0}, {640, 0, 0, 0}, {0, 480, 0, 0}}};
  const uint32_t colour = kind == 1 ? 0xff3080c0u : 0x3a6cu;
  const double ns = TimedNs(state, [&] {
    DrawTriangleMemImg(dst.img.get(), nullptr, &t, 0, nullptr, colour);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 640 * 480 / 2);
  Record("ours " + name, ns);
  ResetDrawState();
}

void BM_FlatPixman(benchmark::State& state, int kind, int mode, int value, std::string name) {
  BenchImage dst = MakeImage(kind, 640, 480, 1);
  pixman_image_t* d = PixmanOf(dst, kind);
  pixman_color_t c{0x3030, 0x8080, 0xc0c0, static_cast<uint16_t>(mode == 1 ? value * 257 : 0xffff)};
  pixman_image_t* s = pixman_image_create_solid_fill(&c);
  pixman_triangle_t tri;
  tri.p1 = {pixman_int_to_fixed(0), pixman_int_to_fixed(0)};
  tri.p2 = {pixman_int_to_fixed(640), pixman_int_to_fixed(0)};
  tri.p3 = {pixman_int_to_fixed(0), pixman_int_to_fixed(480)};
  const pixman_op_t op = mode == 1 ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
  const double ns = TimedNs(state, [&] {
    pixman_composite_triangles(op, s, d, PIXMAN_a1, 0, 0, 0, 0, 1, &tri);
    benchmark::ClobberMemory();
  });
  state.SetItemsProcessed(state.iterations() * 640 * 480 / 2);
  Record("pixman " + name, ns);
  ReportRatio(state, name);
  pixman_image_unref(s);
  pixman_image_unref(d);
}

// ---- Registration ------------------------------------------------------------------

using BenchFn = void (*)(benchmark::State&, int, int, int, std::string);

void Pair(const char* group, BenchFn ours, BenchFn ref, int kind, int mode, int value,
          const char* label) {
  const std::string name = std::string(group) + " " + Depth(kind) + " " + label;
  const std::string path = std::string(group) + "/" + Depth(kind) + "/" + label;
  benchmark::RegisterBenchmark(("Ours/" + path).c_str(), ours, kind, mode, value, name)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(("Pixman/" + path).c_str(), ref, kind, mode, value, name)
      ->Unit(benchmark::kMicrosecond);
}

int RegisterAll() {
  for (int kind : {1, 0}) {
    Pair("quad640x480", BM_QuadOurs, BM_QuadPixman, kind, 0, 0, "copy");
    Pair("quad640x480", BM_QuadOurs, BM_QuadPixman, kind, 1, 128, "alpha128");
    Pair("rotate256@45", BM_RotateOurs, BM_RotatePixman, kind, 0, 0, "copy");
    Pair("rotate256@45", BM_RotateOurs, BM_RotatePixman, kind, 1, 128, "alpha128");
    Pair("flat-triangle", BM_FlatOurs, BM_FlatPixman, kind, 0, 0, "copy");
    Pair("flat-triangle", BM_FlatOurs, BM_FlatPixman, kind, 1, 128, "alpha128");
  }
  return 0;
}

const int registered = RegisterAll();

}  // namespace
