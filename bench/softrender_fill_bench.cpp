// The rectangle fill (FillMemImgRect) of a 640 x 480 target at 32 and 16
// bits: the plain fill against memset and pixman_fill over the same bytes,
// and the alpha fill (mode 1, P = 128) against pixman's OVER of a solid
// colour, in the same run.
//
// Each reference benchmark reports ref_over_ours = reference time / our time
// (above 1: ours is faster); all ratios are printed again at exit.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/rect_fill.h"
#include "softrender_bench_support.h"

namespace {

constexpr int kW = 640, kH = 480;

using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Rectangle fill vs references (time ratio, above 1 = ours faster)");
  return summary;
}

void Ratio(benchmark::State& state, const std::string& ours, const std::string& ref) {
  const std::optional<double> r = Registry().Compare(state, "ref_over_ours", ours, ref);
  if (!r) return;
  char line[160];
  std::snprintf(line, sizeof line, "%-20s vs %-22s %6.2f", ours.c_str(), ref.c_str(), *r);
  Registry().SetLine(ours + " " + ref, line);
}

// The 640 x 480 target of a depth, every byte 0x33.
softrender_bench::BenchImage Target(int kind) {
  return softrender_bench::MakeBenchImage(kind, false, kW, kH, 0x33);
}

std::string Depth(int kind) { return kind ? "32" : "16"; }

void BM_FillOurs(benchmark::State& state, int kind, int mode) {
  BuildBlendTables();
  ResetDrawState();
  CurrentDrawState.BlendMode = mode;
  CurrentDrawState.BlendValue = 128;
  softrender_bench::BenchImage t = Target(kind);
  const double ns = TimedNs(state, [&] {
    FillMemImgRect(t.img.get(), nullptr, kind ? 0x00406080u : 0x1234u);
    benchmark::ClobberMemory();
  });
  Registry().Record("ours " + Depth(kind) + (mode ? " alpha" : " plain"), ns);
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
  ResetDrawState();
}

void BM_Memset(benchmark::State& state, int kind) {
  softrender_bench::BenchImage t = Target(kind);
  const double ns = TimedNs(state, [&] {
    std::memset(t.pixels.data(), 0x5a, t.pixels.size());
    benchmark::ClobberMemory();
  });
  Registry().Record("memset " + Depth(kind), ns);
  Ratio(state, "ours " + Depth(kind) + " plain", "memset " + Depth(kind));
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
}

void BM_PixmanFill(benchmark::State& state, int kind) {
  softrender_bench::BenchImage t = Target(kind);
  const double ns = TimedNs(state, [&] {
    pixman_fill(reinterpret_cast<uint32_t*>(t.pixels.data()), t.img->Pitch / 4, kind ? 32 : 16,
                0, 0, kW, kH, kind ? 0x00406080u : 0x1234u);
    benchmark::ClobberMemory();
  });
  Registry().Record("pixman_fill " + Depth(kind), ns);
  Ratio(state, "ours " + Depth(kind) + " plain", "pixman_fill " + Depth(kind));
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
}

void BM_PixmanOverSolid(benchmark::State& state, int kind) {
  softrender_bench::BenchImage t = Target(kind);
  pixman_image_t* d = softrender_bench::PixmanOf(t, kind ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  const pixman_color_t colour{0x4040, 0x6060, 0x8080, 0x8080};
  pixman_image_t* s = pixman_image_create_solid_fill(&colour);
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  Registry().Record("pixman over " + Depth(kind), ns);
  Ratio(state, "ours " + Depth(kind) + " alpha", "pixman over " + Depth(kind));
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
}

int RegisterAll() {
  for (int kind : {1, 0}) {
    const std::string d = Depth(kind);
    benchmark::RegisterBenchmark(("Fill/ours/plain/" + d).c_str(), BM_FillOurs, kind, 0);
    benchmark::RegisterBenchmark(("Fill/memset/" + d).c_str(), BM_Memset, kind);
    benchmark::RegisterBenchmark(("Fill/pixman_fill/" + d).c_str(), BM_PixmanFill, kind);
    benchmark::RegisterBenchmark(("Fill/ours/alpha128/" + d).c_str(), BM_FillOurs, kind, 1);
    benchmark::RegisterBenchmark(("Fill/pixman_over/" + d).c_str(), BM_PixmanOverSolid, kind);
  }
  return 0;
}
const int kRegistered = RegisterAll();

}  // namespace
