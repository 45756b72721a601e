// Capturing the 640 x 480 back screen into a texture graph on the OpenGL
// path (Mesa's llvmpipe): CaptureScreenToGraph after a one-triangle device
// draw (so the screen's pixels must come back from the GPU), against raw
// OpenGL in the same context reading the same rectangle of a 32-bit
// framebuffer with glReadPixels after a one-pixel clear, then converting it
// with ConvertColorBlt into the texture's format. Ours reads the rectangle
// from OpenGL into the work surface and converts it from there.
//
// Reports raw_over_ours = raw time / ours (above 1: ours is faster; the goal
// is 0.8 or more); the ratio is printed again at the end.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_format_table.h"
#include "engine/graphics/texture_split.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/test_controls.h"
#include "platform/window.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

using softrender_bench::TimedNs;
namespace d3d = platform::d3d;

constexpr int kW = 640, kH = 480;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Screen capture into a texture graph vs glReadPixels + ConvertColorBlt (time ratio, goal >= 0.8)");
  return summary;
}

void Report(benchmark::State& state) {
  const auto ratio = Registry().Compare(state, "raw_over_ours", "ours", "raw");
  if (!ratio) return;
  char line[128];
  std::snprintf(line, sizeof line, "640 x 480, 32-bit screen: raw/ours %.3f", *ratio);
  Registry().SetLine("capture", line);
}

// The window, hardware drawing at 32 bits with Direct3D on OpenGL, texture
// graphs on its device and one 640 x 480 texture graph; made from the
// library's reset state (whatever ran before) and taken down again at the
// end.
class CaptureSetUp {
  engine_bench::FreshLibrary fresh_;

 public:
  CaptureSetUp() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    engine_bench::OpenBenchWindow(kW, kH);
    GetScreenColorState().ScreenBits = 32;
    d3d::InstallOpenGlDirect3D();
    InitializeGraphics();
    SetDrawTarget(-2);
    if (GetDirect3DState().Initialized3D != 1) return;
    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(1, 1, 1024, 1024);
    ForceDirect3DUsableForTest(1);
    EnableTextureGraphsForTest(1);
    // Copies between surfaces by BltFast: the choice timed at start-up
    // changes from run to run (with BitBlt the ratio falls by about 0.05).
    GetDisplayState().UseBitBltForCopies = 0;
    graph_ = CreateBlankGraph(kW, kH, 1, 0, 0);
    const GraphRecord* g = GetGraphRecord(graph_);
    ok_ = g != nullptr && g->TextureFlag == 1;
  }
  ~CaptureSetUp() {
    EnableTextureGraphsForTest(0);
    ForceDirect3DUsableForTest(0);
    TerminateGraphics();
    engine_bench::CloseBenchWindow();
  }
  CaptureSetUp(const CaptureSetUp&) = delete;
  CaptureSetUp& operator=(const CaptureSetUp&) = delete;

  bool ok() const { return ok_; }
  int graph() const { return graph_; }
  // The first piece's texture format.
  const ColorFormat* TextureFormat() const {
    const Surface3D* p = GetSurface3DData(GetGraphRecord(graph_)->Pieces[0]);
    return GetTextureColorFormat(GetSurfaceData(p->SurfaceData)->FormatIndex);
  }

 private:
  bool ok_ = false;
  int graph_ = -1;
};

void BM_CaptureOurs(benchmark::State& state) {
  CaptureSetUp setUp;
  if (!setUp.ok()) return state.SkipWithError("no OpenGL 3D device");
  d3d::Device3D* device = GetCurrentDevice3D();
  const d3d::VertexColored triangle[3] = {{0.0f, 0.0f, 0.0f, 1.0f, 0xFF204060u},
                                          {2.0f, 0.0f, 0.0f, 1.0f, 0xFF204060u},
                                          {0.0f, 2.0f, 0.0f, 1.0f, 0xFF204060u}};
  const auto round = [&] {
    device->BeginScene();
    device->DrawPrimitive(d3d::kPrimTriangleList, d3d::kFvfColored, triangle, 3, 0);
    device->EndScene();
    return CaptureScreenToGraph(0, 0, kW, kH, setUp.graph(), 0);
  };
  // Untimed first round: the first draw and capture do GL's first-use work.
  if (round() != 0) return state.SkipWithError("capture failed");
  const double ns = TimedNs(state, round);
  Registry().Record("ours", ns);
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
  Report(state);
}

void BM_CaptureRaw(benchmark::State& state) {
  CaptureSetUp setUp;
  if (!setUp.ok()) return state.SkipWithError("no OpenGL 3D device");
  GLuint texture = 0, fbo = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kW, kH, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  ColorFormat screen{};
  CreateColorFormat(&screen, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  const ColorFormat* textureFormat = setUp.TextureFormat();
  std::vector<uint32_t> read(static_cast<size_t>(kW) * kH);
  std::vector<uint32_t> converted(static_cast<size_t>(1024) * 512);
  const ImageRect all{0, 0, kW, kH};
  const auto round = [&] {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glReadPixels(0, 0, kW, kH, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, read.data());
    ConvertColorBlt(converted.data(), 1024 * 4, textureFormat, read.data(), kW * 4, &screen, nullptr, 0,
                    nullptr, 0, 0, &all, 0, textureFormat->AlphaWidth != 0 ? 1 : 0, 0, kDitherNone, 0, 0, 0);
    benchmark::DoNotOptimize(converted[0]);
  };
  // Untimed first round, as ours has its first capture before the loop.
  round();
  const double ns = TimedNs(state, round);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &texture);
  Registry().Record("raw", ns);
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
  Report(state);
}

BENCHMARK(BM_CaptureRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaptureOurs)->Unit(benchmark::kMicrosecond);

}  // namespace
