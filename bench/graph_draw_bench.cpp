// A sprite-heavy 640 x 480 frame in software rendering: 2,000 transparent
// 32 x 32 sprites drawn through the PutGraph entry (lock, checks, 2D back
// end) against the same BltMemImg calls made directly on the memory images,
// plain and in blend mode 1 at 128, at 16 and 32 bits.
//
// Each entry benchmark reports direct_over_entry = direct time / entry time
// (1.0: no entry overhead; the goal is 0.9 or more).
#include <benchmark/benchmark.h>

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
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/softrender/blt_mem_img.h"
#include "platform/display/test_controls.h"
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

// Software rendering at bits, one sprite graph with a key pattern.
Frame& SetUp(int bits) {
  static Frame frame;
  if (frame.bits == bits) return frame;
  if (frame.bits != 0) TerminateGraphics();
  platform::display::test::SetDesktop(1024, 768, 32);
  WindowData& w = GetWindowData();
  w.desktop_width = 1024;
  w.desktop_height = 768;
  w.window_mode = 1;
  w.active = 1;
  SetStartupFlag(1);
  GetScreenColorState() = ScreenColorState{};
  GetDisplayState() = DisplayState{};
  GetScreenColorState().ScreenBits = bits;
  SetRenderingMode(0);
  InitializeGraphics();
  SetTargetScreen(-2);
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
  return frame;
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
  Frame& f = SetUp(bits);
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
  Frame& f = SetUp(bits);
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

}  // namespace
