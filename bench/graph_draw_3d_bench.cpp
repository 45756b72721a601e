// A frame of 10,000 BlitGraph calls of a 32 x 32 texture graphic through
// the engine (draw skeleton, state caches, vertex batch) on the OpenGL 3D
// device into a 640 x 480 5-6-5 target, against the same quads handed
// straight to the device in triangle lists of 390 quads (the device's own
// benchmark loop), same device, texture and target, same run. glFinish
// ends every frame of both. Reported as direct_over_engine (the direct
// loop's time / the engine's; the goal is at least 0.8).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "engine/graphics/texture_upload.h"
#include "engine/graphics/vertex_batch.h"
#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

namespace pd = platform::display;
namespace p3 = platform::d3d;
using softrender_bench::TimedNs;

constexpr int kW = 640, kH = 480;
constexpr int kDraws = 10000;
constexpr int kQuadsPerList = 390;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "BlitGraph of texture graphics vs quads straight to the 3D device (time ratio, goal >= 0.8)");
  return summary;
}

// The display, a 16-bit OpenGL 3D device on a 640 x 480 target, texture
// graphs on it and one 32 x 32 texture graph with its quads; made for each
// benchmark from the library's reset state and taken down at its end.
class Bench {
  engine_bench::FreshLibrary fresh_;

 public:
  Bench() { ok = Start(); }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  pd::SurfacePtr target;
  int graph = -1;
  std::vector<int> xs, ys;
  std::vector<p3::VertexTextured> quads;  // kDraws x 6 vertices
  bool ok = false;

 private:
  bool Start();
};

bool Bench::Start() {
  target = engine_bench::StartEngineDevice3D(16, kW, kH, p3::TextureFormatR5G6B5());
  if (target == nullptr) return false;
  ResetDrawState();
  CurrentDrawState.CreateAlphaTest = 0;  // plain 16-bit textures
  UpdateVertexColor3D();
  graph = MakeBlankGraph(32, 32, 0);
  const GraphRecord* g = GetGraphRecord(graph);
  if (g == nullptr || g->TextureFlag != 1 || g->PieceCount != 1) return false;

  GraphImage image{};
  CreateArgb32GraphImage(32, 32, &image);
  CreateColorFormat(&image.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  std::mt19937 rng(7);
  for (int y = 0; y < 32; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.Pixels + y * image.Pitch);
    for (int x = 0; x < 32; ++x) row[x] = static_cast<uint32_t>(rng());
  }
  UploadImageToGraphTextures(0, 0, *g, &image, nullptr);
  ReleaseGraphImage(&image);

  const Surface3D& piece = *GetSurface3DData(g->Pieces[0]);
  for (int i = 0; i < kDraws; ++i) {
    const int x = static_cast<int>(rng() % (kW - 32)), y = static_cast<int>(rng() % (kH - 32));
    xs.push_back(x);
    ys.push_back(y);
    const float fx = static_cast<float>(x) - 0.5f, fy = static_cast<float>(y) - 0.5f;
    const p3::VertexTextured c[4] = {
        {fx, fy, 0.2f, 1, 0xFFFFFFFF, piece.Corners[0].U, piece.Corners[0].V},
        {fx + 32, fy, 0.2f, 1, 0xFFFFFFFF, piece.Corners[1].U, piece.Corners[1].V},
        {fx, fy + 32, 0.2f, 1, 0xFFFFFFFF, piece.Corners[2].U, piece.Corners[2].V},
        {fx + 32, fy + 32, 0.2f, 1, 0xFFFFFFFF, piece.Corners[3].U, piece.Corners[3].V}};
    for (int k : {0, 1, 2, 3, 2, 1}) quads.push_back(c[k]);
  }
  return true;
}

void Report(benchmark::State& state) {
  const auto ratio = Registry().Compare(state, "direct_over_engine", "engine", "direct");
  if (!ratio) return;
  char line[160];
  std::snprintf(line, sizeof line, "%-40s direct_over_engine %6.2f", "10,000 BlitGraph of 32 x 32", *ratio);
  Registry().SetLine("blit", line);
}

void BM_BlitGraphEngine(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  const double ns = TimedNs(state, [&] {
    for (int i = 0; i < kDraws; ++i) BlitGraph(b.xs[static_cast<size_t>(i)], b.ys[static_cast<size_t>(i)], b.graph, 0);
    EndCurrentScene3D();
    glFinish();
  });
  Registry().Record("engine", ns);
  state.SetItemsProcessed(state.iterations() * kDraws);
  Report(state);
}

void BM_BlitGraphDirect(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  // The state the engine's draws leave: the graphic's texture on stage 0.
  BlitGraph(0, 0, b.graph, 0);
  EndCurrentScene3D();
  p3::Device3D& device = *GetCurrentDevice3D();
  const double ns = TimedNs(state, [&] {
    device.BeginScene();
    for (int q = 0; q < kDraws; q += kQuadsPerList) {
      const int n = std::min(kQuadsPerList, kDraws - q);
      device.DrawPrimitive(p3::kPrimTriangleList, p3::kFvfTextured, &b.quads[static_cast<size_t>(q) * 6],
                           static_cast<uint32_t>(n * 6), 0);
    }
    device.EndScene();
    glFinish();
  });
  Registry().Record("direct", ns);
  state.SetItemsProcessed(state.iterations() * kDraws);
  Report(state);
}

BENCHMARK(BM_BlitGraphDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitGraphEngine)->Unit(benchmark::kMillisecond);

}  // namespace
