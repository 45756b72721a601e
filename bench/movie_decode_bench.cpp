// Movie frames: a 640 x 480 MPEG-1 clip of the clip tool (50 frames) played
// through the player's movie path (opening the movie graph, the stream's
// decoding, conversion to the screen's 32-bit format and the transfer into
// a 2D graph, one blocking update per frame at virtual times, nothing paced
// by real time) against FFmpeg's own decode and sws_scale of the same
// frames on one thread. Both sides open the clip every iteration, decode
// every picture single-threaded and convert it once with the same converter
// settings, set up once per picture form.
// Reports reference_over_ours = reference time / our time (goal >= 0.9).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/window/main_window.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/movie_graph.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/movie/movie_clip_writer.h"
#include "platform/movie/movie_decode_reference.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

namespace pm = platform::movie;

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

void Report(benchmark::State& state) {
  if (auto ratio = Registry().Compare(state, "reference_over_ours", "ours", "reference")) {
    char line[96];
    std::snprintf(line, sizeof line, "reference/ours %.3f", *ratio);
    Registry().SetLine("line", line);
  }
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
  Report(state);
}

void BM_MoviePathIntoGraph(benchmark::State& state) {
  Clip& clip = TheClip();
  // Before the movie clock: the reset puts back the real clock.
  engine_bench::FreshLibrary fresh;
  platform::RealClock real;
  platform::VirtualClock movie_time;
  platform::ScopedClock scoped(movie_time);
  SetUpScreens();
  const uint64_t t0 = real.Microseconds();
  for (auto _ : state) {
    const int graph = OpenMovieGraph(clip.engine_path.c_str(), 0, 0);
    if (graph == -1) {
      state.SkipWithError("the clip does not open");
      break;
    }
    PlayGraphMovie(graph);
    for (int i = 0; i < clip.options.frames; ++i) {
      UpdateMovieFrame(graph, 1);
      movie_time.Advance(40);
    }
    ReleaseGraph(graph, 0);
  }
  const uint64_t t1 = real.Microseconds();
  ResetGraphicsEngineState();
  Registry().Record("ours", static_cast<double>(t1 - t0) * 1000.0 / static_cast<double>(state.iterations()));
  Report(state);
}

}  // namespace

// Both sides play the clip for a while before they are timed: the first
// pass loads the decoders' code and tables and sets up the engine's file
// and graph state, which a short run would otherwise time as one iteration.
BENCHMARK(BM_MovieReferenceDecode)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1);
BENCHMARK(BM_MoviePathIntoGraph)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1);
