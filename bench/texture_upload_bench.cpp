// A 640 x 480 image into a texture graphic (two textures, 512 x 512 and
// 128 x 512, plain 16-bit) the way movie frames and glyph caches fill
// theirs: UploadImageToGraphTextures, then a bind and a one-triangle draw
// of each texture so the OpenGL device takes the new texels. The reference
// in the same run: ConvertColorBlt of the image into a 5-6-5 buffer and
// glTexSubImage2D of those bytes into two raw textures of the same sizes.
// glFinish ends every round of both. Reported as raw_over_ours (above 1:
// ours is faster).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_split.h"
#include "engine/graphics/texture_upload.h"
#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

namespace pd = platform::display;
namespace p3 = platform::d3d;
using softrender_bench::TimedNs;

constexpr int kW = 640, kH = 480;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Texture upload vs ConvertColorBlt + glTexSubImage2D (time ratio, above 1 = ours faster)");
  return summary;
}

// The display, a 16-bit GL device on a small target, texture graphs on it
// and one 640 x 480 texture graph with its image; made for each benchmark
// from the library's reset state and taken down again at its end, so what
// ran before does not matter.
class Bench {
  engine_bench::FreshLibrary fresh_;

 public:
  Bench() { ok = Start(); }
  ~Bench() {
    if (raw[0] != 0 || raw[1] != 0) glDeleteTextures(2, raw);
    if (image.Pixels != nullptr) ReleaseGraphImage(&image);
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  p3::Device3DPtr device;
  pd::SurfacePtr target;
  GraphImage image{};
  int graph = -1;
  std::vector<uint16_t> buffer;
  GLuint raw[2] = {};
  bool ok = false;

 private:
  bool Start() {
    if (!engine_bench::OpenDisplayOnOpenGl(16)) return false;
    std::shared_ptr<p3::Direct3D> d3d;
    if (p3::QueryDirect3D(*GetDisplayState().DirectDrawObject, &d3d) != pd::Result::kOk) return false;
    pd::SurfaceDesc desc;
    desc.caps = pd::kCapsTexture | pd::kCaps3DDevice;
    desc.width = 32;
    desc.height = 32;
    desc.has_pixel_format = true;
    desc.pixel_format = p3::TextureFormatR5G6B5();
    GetDisplayState().DirectDrawObject->CreateSurface(desc, &target);
    if (target == nullptr || d3d->CreateDevice(p3::DeviceKind::kTnLHal, target, &device) != pd::Result::kOk) {
      return false;
    }
    p3::Device3D& d = *device;
    d.SetRenderState(p3::kRsShadeMode, p3::kShadeFlat);
    d.SetTextureStageState(0, p3::kTssColorOp, p3::kTopSelectArg1);
    d.SetTextureStageState(0, p3::kTssAlphaOp, p3::kTopSelectArg1);

    TextureDevice& t = GetTextureDevice();
    t.Running = 1;
    SetTextureSizeLimits(1, 1, 2048, 2048);
    engine_bench::SetTextureFormat(0, 16, 0xF800, 0x7E0, 0x1F, 0);
    engine_bench::SetTextureFormat(1, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    p3::Device3D* loader = device.get();
    t.Load = [loader](const pd::SurfacePtr& dst, int x, int y, const pd::SurfacePtr& src, const pd::Rect& r) {
      return loader->Load(dst, x, y, src, &r, 0);
    };
    SetGraphManagerInitialized(1);
    ForceDirect3DUsableForTest(1);
    EnableTextureGraphsForTest(1);
    CurrentDrawState.Use3D = 1;
    CurrentDrawState.CreateAlphaTest = 0;  // plain 16-bit textures
    graph = CreateBlankGraph(kW, kH, 1, 0, 0);
    if (graph == -1 || GetGraphRecord(graph)->PieceCount != 2) return false;

    CreateArgb32GraphImage(kW, kH, &image);
    CreateColorFormat(&image.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    std::mt19937 rng(11);
    for (int y = 0; y < kH; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(image.Pixels + y * image.Pitch);
      for (int x = 0; x < kW; ++x) row[x] = static_cast<uint32_t>(rng());
    }
    buffer.resize(static_cast<size_t>(kW) * kH);
    glGenTextures(2, raw);
    const int widths[2] = {512, 128};
    for (int i = 0; i < 2; ++i) {
      glBindTexture(GL_TEXTURE_2D, raw[i]);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, widths[i], 512, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
    }
    return true;
  }
};

void Report(benchmark::State& state) {
  const auto ratio = Registry().Compare(state, "raw_over_ours", "ours upload", "raw upload");
  if (!ratio) return;
  char line[160];
  std::snprintf(line, sizeof line, "%-34s raw_over_ours %6.2f", "640x480 into two textures", *ratio);
  Registry().SetLine("upload", line);
}

void BM_TextureUploadOurs(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  const GraphRecord& graph = *GetGraphRecord(b.graph);
  const p3::VertexTextured tri[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                     {2, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                     {0, 2, 0, 1, 0xFFFFFFFF, 0, 1}};
  const auto round = [&] {
    UploadImageToGraphTextures(0, 0, graph, &b.image, nullptr);
    b.device->BeginScene();
    for (int i = 0; i < graph.PieceCount; ++i) {
      const SurfaceData* data = GetSurfaceData(GetSurface3DData(graph.Pieces[static_cast<size_t>(i)])->SurfaceData);
      b.device->SetTexture(0, data->Surface);
      b.device->DrawPrimitive(p3::kPrimTriangleList, p3::kFvfTextured, tri, 3, 0);
    }
    b.device->EndScene();
    glFinish();
  };
  // The set-up is fresh: a first untimed round gives GL its first-use work.
  round();
  const double ns = TimedNs(state, round);
  b.device->SetTexture(0, nullptr);
  Registry().Record("ours upload", ns);
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4);
  Report(state);
}

void BM_TextureUploadRaw(benchmark::State& state) {
  Bench b;
  if (!b.ok) return state.SkipWithError("no OpenGL 3D device");
  const ColorFormat& f565 = GetDirect3DState().TextureFormats.Entries[0].Format;
  const ImageRect whole{0, 0, kW, kH};
  const auto round = [&] {
    ConvertColorBlt(b.buffer.data(), kW * 2, &f565, b.image.Pixels, b.image.Pitch, &b.image.Format, nullptr,
                    0, nullptr, 0, 0, &whole, 0, 0, 0, 0, 0, 0, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, kW);
    glBindTexture(GL_TEXTURE_2D, b.raw[0]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 512, kH, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, b.buffer.data());
    glBindTexture(GL_TEXTURE_2D, b.raw[1]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 128, kH, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, b.buffer.data() + 512);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glFinish();
  };
  round();
  const double ns = TimedNs(state, round);
  Registry().Record("raw upload", ns);
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4);
  Report(state);
}

BENCHMARK(BM_TextureUploadRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextureUploadOurs)->Unit(benchmark::kMicrosecond);

}  // namespace
