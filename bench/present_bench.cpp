// Presenting a 640 x 480 frame into the window at scale 1 and 2: the
// software path (a 5-6-5 back image sent through the window's device context
// into a 32-bit window image) and the hardware path (a 32-bit back surface
// blitted into the window on the primary surface, the 3D device being the
// recording stand-in), each against pixman doing the same conversion and
// nearest-pixel scaling between plain buffers in the same run.
//
// Each reports pixman_over_ours = pixman's time / ours (above 1: ours is
// faster; the goal is 0.9 or more); the ratios are printed again at the end.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/presentation.h"
#include "engine/graphics/screens.h"
#include "platform/d3d/recording_direct3d.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::TimedNs;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Present of a 640 x 480 frame vs pixman (time ratio, goal >= 0.9)");
  return summary;
}

std::string Key(const char* who, bool software, int scale) {
  return std::string(who) + (software ? " software " : " hardware ") + std::to_string(scale);
}

void Report(benchmark::State& state, bool software, int scale) {
  const auto ratio = Registry().Compare(state, "pixman_over_ours", Key("ours", software, scale),
                                        Key("pixman", software, scale));
  if (!ratio) return;
  char line[128];
  std::snprintf(line, sizeof line, "%s path, scale %d: pixman/ours %.3f",
                software ? "software" : "hardware", scale, *ratio);
  Registry().SetLine(Key("line", software, scale), line);
}

// The window (client 640 x 480 x scale at (0, 0) of a 32-bit desktop) and
// the graphics started on it, from the library's reset state; everything is
// taken down again at the end so other benchmarks find the engine reset.
class PresentSetUp {
  engine_bench::FreshLibrary fresh_;

 public:
  PresentSetUp(bool software, int scale) {
    engine_bench::OpenBenchWindow(640, 480, scale);
    GetScreenColorState().ScreenBits = software ? 16 : 32;
    // Hardware drawing starts a 3D device; under SDL's dummy driver there is
    // no OpenGL, and without the recording stand-in the start would fall
    // back to software rendering.
    ResetDirect3DState();
    platform::d3d::RecordingDirect3D::Install();
    if (software) SetRenderingMode(0);
    InitializeGraphics();
    // Each row times the path it names, or none at all.
    const MEMIMG& back = GetMainSurfaces().BackMemImg;
    const bool as_named =
        software ? IsHardwareBanned() == 1 && back.Format != nullptr && back.Format->BitDepth == 16
                 : !ScreensInMemory() && GetMainSurfaces().BackSurface != nullptr;
    if (!as_named) {
      std::fprintf(stderr, "present bench: the %s path did not start\n",
                   software ? "software" : "hardware");
      std::abort();
    }
    SetVBlankWaitFlag(0);
    SetDrawTarget(-2);
  }
  ~PresentSetUp() {
    TerminateGraphics();
    ResetDirect3DState();
    platform::d3d::RecordingDirect3D::Uninstall();
    engine_bench::CloseBenchWindow();
  }
  PresentSetUp(const PresentSetUp&) = delete;
  PresentSetUp& operator=(const PresentSetUp&) = delete;
};

void BM_PresentScreen(benchmark::State& state) {
  const bool software = state.range(0) == 1;
  const int scale = static_cast<int>(state.range(1));
  PresentSetUp setUp(software, scale);
  const double ns = TimedNs(state, [] {
    PresentScreen();
    benchmark::ClobberMemory();
  });
  Registry().Record(Key("ours", software, scale), ns);
  Report(state, software, scale);
}

// pixman: a 640 x 480 source (5-6-5 or x8r8g8b8) into a 32-bit destination
// of 640 x 480 x scale, nearest filter.
void BM_PixmanPresent(benchmark::State& state) {
  const bool software = state.range(0) == 1;
  const int scale = static_cast<int>(state.range(1));
  const int sw = 640, sh = 480, dw = 640 * scale, dh = 480 * scale;
  const int bytes = software ? 2 : 4;
  const int sstride = sw * bytes;
  std::vector<uint32_t> src(static_cast<size_t>(sstride / 4 * sh), 0x12345678u);
  std::vector<uint32_t> dst(static_cast<size_t>(dw * dh));
  pixman_image_t* s = pixman_image_create_bits(software ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, sw, sh,
                                               src.data(), sstride);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, dw, dh, dst.data(), dw * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(1.0 / scale),
                              pixman_double_to_fixed(1.0 / scale));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, dw, dh);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  Registry().Record(Key("pixman", software, scale), ns);
  Report(state, software, scale);
}

BENCHMARK(BM_PixmanPresent)->ArgsProduct({{1, 0}, {1, 2}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentScreen)->ArgsProduct({{1, 0}, {1, 2}})->Unit(benchmark::kMicrosecond);

}  // namespace
