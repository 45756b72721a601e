// A sprite-heavy 640 x 480 frame in software rendering: 2,000 transparent
// 32 x 32 sprites drawn through the PutGraph entry (lock, checks, 2D back
// end) against the same BltMemImg calls made directly on the memory images,
// plain and in blend mode 1 at 128, at 16 and 32 bits.
//
// Also a frame of 1,000 turned transparent 32 x 32 quads: the four-point
// entry BlitQuadGraph (checks, 2D back end, two triangles) against
// DrawQuadMemImg called directly on the back screen's image.
//
// Each entry benchmark reports direct_over_entry = direct time / entry time
// (1.0: no entry overhead; the goal is 0.9 or more).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/quad_draw_2d.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/softrender/blt_mem_img.h"
#include "engine/softrender/quad_mem_img.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Sprite frame: PutGraph vs direct BltMemImg (direct time / entry time, goal >= 0.9)");
  return summary;
}

constexpr int kSprites = 2000;

struct Frame {
  int bits = 0;
  int sprite = -1;
  std::vector<std::pair<int, int>> positions;
};

// Software rendering at bits, one sprite graph with a key pattern, from
// the library's reset state; taken down again at the end of the benchmark.
class FrameSetUp {
  engine_bench::FreshLibrary fresh_;

 public:
  explicit FrameSetUp(int bits) { Start(bits); }
  ~FrameSetUp() { TerminateGraphics(); }
  FrameSetUp(const FrameSetUp&) = delete;
  FrameSetUp& operator=(const FrameSetUp&) = delete;

  Frame frame;

 private:
  void Start(int bits);
};

void FrameSetUp::Start(int bits) {
  engine_bench::StartSoftwareGraphics(bits);
  SetTransparentColor(254, 0, 254);
  frame.sprite = NewGraph(32, 32, 1);
  SurfaceData* d = GetSurfaceData(GetSurface2D(GetGraphRecord(frame.sprite)->Pieces[0])->SurfaceDataHandle);
  MEMIMG& img = d->Image;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool key = (x - 16) * (x - 16) + (y - 16) * (y - 16) > 225;
      const uint32_t v = key ? img.TransColor : PackColor(img.Format, x * 8, y * 8, 128, 255);
      std::memcpy(img.Pixels + y * img.Pitch + x * img.Format->PixelByte, &v, img.Format->PixelByte);
    }
  }
  std::mt19937 rng(7);
  frame.positions.clear();
  for (int i = 0; i < kSprites; ++i) {
    frame.positions.emplace_back(static_cast<int>(rng() % 660) - 10, static_cast<int>(rng() % 500) - 10);
  }
  frame.bits = bits;
}

std::string Key(const char* what, int bits, int blend) {
  return std::string(what) + (blend ? " alpha128 " : " plain ") + std::to_string(bits);
}

void Report(benchmark::State& state, int bits, int blend) {
  auto ratio = Registry().Compare(state, "direct_over_entry", Key("entry", bits, blend),
                                  Key("direct", bits, blend));
  if (ratio) {
    char line[128];
    std::snprintf(line, sizeof line, "%2d bits %-8s direct/entry %.3f", bits,
                  blend ? "alpha128" : "plain", *ratio);
    Registry().SetLine(Key("line", bits, blend), line);
  }
}

void BM_DirectBltMemImg(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const int blend = static_cast<int>(state.range(1));
  FrameSetUp setUp(bits);
  Frame& f = setUp.frame;
  SetBlendMode(blend ? 1 : 0, blend ? 128 : 0);
  MEMIMG* dest = &GetMainSurfaces().BackMemImg;
  SurfaceData* d = GetSurfaceData(GetSurface2D(GetGraphRecord(f.sprite)->Pieces[0])->SurfaceDataHandle);
  const double ns = TimedNs(state, [&] {
    for (const auto& [x, y] : f.positions) BltMemImg(dest, &d->Image, x, y, 1, nullptr);
    benchmark::ClobberMemory();
  });
  Registry().Record(Key("direct", bits, blend), ns);
  Report(state, bits, blend);
}

void BM_PutGraphEntry(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const int blend = static_cast<int>(state.range(1));
  FrameSetUp setUp(bits);
  Frame& f = setUp.frame;
  SetBlendMode(blend ? 1 : 0, blend ? 128 : 0);
  const double ns = TimedNs(state, [&] {
    for (const auto& [x, y] : f.positions) PutGraph(x, y, f.sprite, 1);
    benchmark::ClobberMemory();
  });
  Registry().Record(Key("entry", bits, blend), ns);
  Report(state, bits, blend);
}

BENCHMARK(BM_DirectBltMemImg)->ArgsProduct({{16, 32}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PutGraphEntry)->ArgsProduct({{16, 32}, {0, 1}})->Unit(benchmark::kMicrosecond);

softrender_bench::RatioSummary& QuadRegistry() {
  static softrender_bench::RatioSummary summary(
      "Quad frame: BlitQuadGraph vs direct DrawQuadMemImg (direct time / entry time)");
  return summary;
}

constexpr int kQuads = 1000;

// Clockwise corners of turned 32 x 32 quads over the frame.
const std::vector<std::array<float, 8>>& QuadCorners() {
  static const std::vector<std::array<float, 8>> corners = [] {
    std::vector<std::array<float, 8>> out;
    std::mt19937 rng(11);
    for (int i = 0; i < kQuads; ++i) {
      const float cx = static_cast<float>(rng() % 640), cy = static_cast<float>(rng() % 480);
      const double a = static_cast<double>(rng() % 628) / 100.0;
      const float c = static_cast<float>(std::cos(a) * 16), s = static_cast<float>(std::sin(a) * 16);
      out.push_back({cx - c + s, cy - s - c, cx + c + s, cy + s - c, cx + c - s, cy + s + c,
                     cx - c - s, cy - s + c});
    }
    return out;
  }();
  return corners;
}

void ReportQuads(benchmark::State& state, int bits) {
  const std::string entry = "quad entry " + std::to_string(bits);
  const std::string direct = "quad direct " + std::to_string(bits);
  auto ratio = QuadRegistry().Compare(state, "direct_over_entry", entry, direct);
  if (ratio) {
    char line[128];
    std::snprintf(line, sizeof line, "%2d bits quads    direct/entry %.3f", bits, *ratio);
    QuadRegistry().SetLine("quad line " + std::to_string(bits), line);
  }
}

void BM_DirectQuadMemImg(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  FrameSetUp setUp(bits);
  Frame& f = setUp.frame;
  SetBlendMode(0, 0);
  MEMIMG* dest = &GetMainSurfaces().BackMemImg;
  SurfaceData* d = GetSurfaceData(GetSurface2D(GetGraphRecord(f.sprite)->Pieces[0])->SurfaceDataHandle);
  const double ns = TimedNs(state, [&] {
    for (const auto& p : QuadCorners()) {
      const QuadRecord q{{{static_cast<int32_t>(p[0]), static_cast<int32_t>(p[1])},
                          {static_cast<int32_t>(p[2]), static_cast<int32_t>(p[3])},
                          {static_cast<int32_t>(p[6]), static_cast<int32_t>(p[7])},
                          {static_cast<int32_t>(p[4]), static_cast<int32_t>(p[5])}}};
      DrawQuadMemImg(dest, &d->Image, &q, 1, nullptr);
    }
    benchmark::ClobberMemory();
  });
  QuadRegistry().Record("quad direct " + std::to_string(bits), ns);
  ReportQuads(state, bits);
}

void BM_BlitQuadGraphEntry(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  FrameSetUp setUp(bits);
  Frame& f = setUp.frame;
  SetBlendMode(0, 0);
  const double ns = TimedNs(state, [&] {
    for (const auto& p : QuadCorners()) BlitQuadGraph(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], f.sprite, 1);
    benchmark::ClobberMemory();
  });
  QuadRegistry().Record("quad entry " + std::to_string(bits), ns);
  ReportQuads(state, bits);
}

BENCHMARK(BM_DirectQuadMemImg)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitQuadGraphEntry)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
