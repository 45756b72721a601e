// Movie frames: a 640 x 480 MPEG-1 clip of the clip tool (50 frames) played
// through the player's movie path (opening the movie graph, the stream's
// decoding, conversion to the screen's 32-bit format and the hand-over to
// the graph, one blocking update per frame at virtual times, nothing paced
// by real time) against FFmpeg's own decode and sws_scale of the same
// frames on one thread. Both sides open the clip every iteration, decode
// every picture single-threaded and convert it once with the same converter
// settings, set up once per picture form. The graph is a 2D graph in
// software rendering, or a texture graph on the OpenGL 3D device (Mesa's
// llvmpipe), plain or made for the alpha test (alpha from the colour key):
// after each update a one-triangle draw from each of its textures makes the
// device take the new texels, and glFinish ends each pass.
// Reports reference_over_ours = reference time / our time (goal >= 0.9).
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_graphs.h"
#include "platform/clock.h"
#include "platform/d3d/direct3d.h"
#include "platform/file_system.h"
#include "platform/movie/movie_clip_writer.h"
#include "platform/movie/movie_decode_reference.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

namespace pm = platform::movie;
namespace pd = platform::display;
namespace p3 = platform::d3d;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "Movie frames 640 x 480: FFmpeg decode + sws_scale vs the movie path (reference time / ours, goal >= 0.9)");
  return summary;
}

struct Clip {
  pm::ClipOptions options;
  std::vector<uint8_t> bytes;
  std::string native;
  std::string engine_path;
};

Clip& TheClip() {
  static Clip clip = [] {
    Clip c;
    c.options.codec = pm::ClipCodec::kLossy;
    c.options.width = 640;
    c.options.height = 480;
    c.options.frames = 50;
    c.options.sound = false;
    c.native = (std::filesystem::temp_directory_path() / "vesk_movie_bench.mpg").string();
    pm::WriteClipFile(c.native, c.options);
    c.bytes = pm::WriteClipBytes(c.options);
    c.engine_path = platform::NativeToEnginePath(c.native);
    return c;
  }();
  return clip;
}

void SetUpScreens() {
  GetScreenColorState() = ScreenColorState{};
  ResetGraphicsEngineState();
  SetGraphManagerInitialized(1);
  GetWindowData().active = 1;
  ScreenColorState& s = GetScreenColorState();
  s.SoftwareRendering = 1;
  s.HardwareBanned = 1;
  s.ScreenBits = 32;
  s.RequestedScreenBits = 32;
  s.ScreenColorFormat = *GetColorFormat(1, 0, 0);
}

// A 32-bit screen on the OpenGL 3D device with texture graphs: movie
// graphs opened with 3D asked for are texture graphs.
bool SetUpTextureGraphs(pd::SurfacePtr* target) {
  *target = engine_bench::StartEngineDevice3D(32, 640, 480, p3::TextureFormatX8R8G8B8());
  if (*target == nullptr) return false;
  // Graphs made for the alpha test (the draw state's default) have 32-bit
  // textures with alpha, taken from the colour key.
  engine_bench::SetTextureFormat(5, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
  InstallTextureGraphHooks();
  ResetDrawState();
  CurrentDrawState.Use3D = 1;
  GetWindowData().active = 1;
  return true;
}

void Report(benchmark::State& state, const char* ours, const char* line_key, const char* what) {
  if (auto ratio = Registry().Compare(state, "reference_over_ours", ours, "reference")) {
    char line[128];
    std::snprintf(line, sizeof line, "%-22s reference/ours %.3f", what, *ratio);
    Registry().SetLine(line_key, line);
  }
}

void ReportAll(benchmark::State& state) {
  Report(state, "ours", "2d", "into a 2D graph");
  Report(state, "ours texture", "texture", "into a texture graph");
  Report(state, "ours texture alpha", "texture alpha", "  with the alpha test");
}

// The device takes a texture's new texels when it is next drawn from: one
// small triangle from each texture of the graph.
void DrawFromEachTexture(const GraphRecord& graph) {
  static const p3::VertexTextured kTriangle[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                                  {2, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                                  {0, 2, 0, 1, 0xFFFFFFFF, 0, 1}};
  p3::Device3D& device = *GetCurrentDevice3D();
  device.BeginScene();
  for (int i = 0; i < graph.PieceCount; ++i) {
    const SurfaceData* data = GetSurfaceData(GetSurface3DData(graph.Pieces[static_cast<size_t>(i)])->SurfaceData);
    device.SetTexture(0, data->Surface);
    device.DrawPrimitive(p3::kPrimTriangleList, p3::kFvfTextured, kTriangle, 3, 0);
  }
  device.EndScene();
  device.SetTexture(0, nullptr);
}

// Plays the clip once through a movie graph opened with want3D, every
// frame taken by a blocking update at its time on movie_time; false when
// the graph is not of the kind asked for.
bool PlayClipOnce(const Clip& clip, int want3D, platform::VirtualClock& movie_time) {
  const int graph = OpenMovieGraph(clip.engine_path.c_str(), want3D, 0);
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->TextureFlag != want3D) {
    if (record != nullptr) ReleaseGraph(graph, 0);
    return false;
  }
  PlayGraphMovie(graph);
  for (int i = 0; i < clip.options.frames; ++i) {
    UpdateMovieFrame(graph, 1);
    if (want3D != 0) DrawFromEachTexture(*record);
    movie_time.Advance(40);
  }
  if (want3D != 0) glFinish();
  ReleaseGraph(graph, 0);
  return true;
}

// The time per pass in ns, or a negative value when the graph is not of
// the kind asked for. A first pass is not timed: the set-up is fresh, and
// the 3D device builds its drawing code on first use.
double PlayClipPasses(benchmark::State& state, int want3D) {
  Clip& clip = TheClip();
  platform::RealClock real;
  platform::VirtualClock movie_time;
  platform::ScopedClock scoped(movie_time);
  if (!PlayClipOnce(clip, want3D, movie_time)) return -1;
  const uint64_t t0 = real.Microseconds();
  for (auto _ : state) {
    if (!PlayClipOnce(clip, want3D, movie_time)) return -1;
  }
  const uint64_t t1 = real.Microseconds();
  return static_cast<double>(t1 - t0) * 1000.0 / static_cast<double>(state.iterations());
}

void BM_MovieReferenceDecode(benchmark::State& state) {
  Clip& clip = TheClip();
  platform::RealClock real;
  std::vector<uint8_t> frame;
  int frames = 0;
  const uint64_t t0 = real.Microseconds();
  for (auto _ : state) {
    frames = pm::DecodeAllFramesReference(clip.bytes, pm::FrameLayout::kXrgb8888, &frame);
    benchmark::DoNotOptimize(frame.data());
  }
  const uint64_t t1 = real.Microseconds();
  if (frames != clip.options.frames) state.SkipWithError("reference decoded another number of frames");
  Registry().Record("reference", static_cast<double>(t1 - t0) * 1000.0 / static_cast<double>(state.iterations()));
  ReportAll(state);
}

void BM_MoviePathIntoGraph(benchmark::State& state) {
  TheClip();
  // Before the movie clock: the reset puts back the real clock.
  engine_bench::FreshLibrary fresh;
  SetUpScreens();
  const double ns = PlayClipPasses(state, 0);
  ResetGraphicsEngineState();
  if (ns < 0) return state.SkipWithError("the clip does not open as a 2D graph");
  Registry().Record("ours", ns);
  Report(state, "ours", "2d", "into a 2D graph");
}

// range(0): 1 when graphs are made for the alpha test (the draw state's
// default), their textures then taking alpha from the colour key.
void BM_MoviePathIntoTextureGraph(benchmark::State& state) {
  TheClip();
  engine_bench::FreshLibrary fresh;
  pd::SurfacePtr target;
  if (!SetUpTextureGraphs(&target)) return state.SkipWithError("no OpenGL 3D device");
  const bool alpha_test = state.range(0) != 0;
  CurrentDrawState.CreateAlphaTest = alpha_test ? 1 : 0;
  const double ns = PlayClipPasses(state, 1);
  if (ns < 0) return state.SkipWithError("the clip does not open as a texture graph");
  const char* ours = alpha_test ? "ours texture alpha" : "ours texture";
  Registry().Record(ours, ns);
  if (alpha_test) {
    Report(state, ours, "texture alpha", "  with the alpha test");
  } else {
    Report(state, ours, "texture", "into a texture graph");
  }
}

}  // namespace

// Both sides play the clip for a while before they are timed: the first
// pass loads the decoders' code and tables and sets up the engine's file
// and graph state, which a short run would otherwise time as one iteration.
BENCHMARK(BM_MovieReferenceDecode)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1);
BENCHMARK(BM_MoviePathIntoGraph)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1);
BENCHMARK(BM_MoviePathIntoTextureGraph)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1);
