// The per-draw preparation of the 3D back end (PrepareDraw3D with the blend
// commit behind it) on the OpenGL device (Mesa's llvmpipe, headless),
// against an uncached back end in the same run: one that sends the whole
// state of a draw (the render states the cache keeps, the colour key, the
// depth, shade and cull states, the texture and the six stage values of
// each stage in use) before every draw, with the same values.
//
// Two patterns of 1,000 draws: "unchanged" draws one texture graphic in one
// state again and again; "changing" alternates between a transparent
// alpha-tested texture drawn plainly and another texture alpha-blended at
// 128, so every draw changes the texture, the blend inputs and the stage
// programs. No vertices are appended, so the batch flushes that real
// changes cause cost nothing and only the state path is timed.
//
// Each pattern reports raw_over_ours = the uncached sender's time / ours
// (above 1: ours is faster); the ratios are printed again at the end.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/render_state_cache.h"
#include "platform/d3d/direct3d.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/display/display_device.h"
#include "engine_bench_support.h"
#include "softrender_bench_support.h"

namespace {

namespace d3d = platform::d3d;
namespace pd = platform::display;
using softrender_bench::TimedNs;

constexpr int kDraws = 1000;

softrender_bench::RatioSummary& Registry() {
  static softrender_bench::RatioSummary summary(
      "3D draw preparation: render-state cache vs sending every state (time ratio, above 1 = ours faster)");
  return summary;
}

// One draw's state as the draw state gives it, and everything an uncached
// back end would send for it.
struct DrawSetup {
  DrawTexture3D texture;
  int blendMode = 0;
  int blendValue = 255;
  int flags = 0;
  CachedRenderStates3D states;
  int colorKey = 0;
  int stageCount = 0;
  std::array<StageSetting3D, d3d::kStageCount> stages;
};

void Apply(const DrawSetup& s) {
  CurrentDrawState.BlendMode = s.blendMode;
  CurrentDrawState.BlendValue = s.blendValue;
  PrepareDraw3D(&s.texture, s.flags);
}

// What the cache holds after a draw of s: the values the uncached sender
// sends.
void Capture(DrawSetup& s) {
  Apply(s);
  const DeviceRecord3D& r = CurrentDeviceRecord3D();
  s.states = r.States;
  s.colorKey = r.ColorKeyEnable;
  s.stageCount = r.StageCount;
  s.stages = r.Stages;
}

// The display device, the OpenGL Direct3D object, the target, the two
// textures and the engine's device record on them, made for each benchmark
// from the library's reset state; the reset at its end puts back the draw
// state and the engine's Direct3D state (not running in the benchmark
// program).
class Bench {
  engine_bench::FreshLibrary fresh_;

 public:
  Bench() { ok = Start(); }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  pd::DevicePtr display;
  std::shared_ptr<d3d::Direct3D> d3d;
  pd::SurfacePtr target;
  std::array<DrawSetup, 2> setups;
  bool ok = false;

 private:
  bool Start();
};

bool Bench::Start() {
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
  d3d::InstallOpenGlDirect3D();
  if (pd::CreateDevice(&display) != pd::Result::kOk) return false;
  if (d3d::QueryDirect3D(*display, &d3d) != pd::Result::kOk) return false;
  target = engine_bench::MakeSurface(*display, pd::kCapsOffscreenPlain | pd::kCaps3DDevice, 640, 480,
                                     d3d::TextureFormatR5G6B5());
  const uint32_t textureCaps = pd::kCapsTexture;
  DrawSetup& plain = setups[0];
  plain.texture = DrawTexture3D{engine_bench::MakeSurface(*display, textureCaps, 32, 32, d3d::TextureFormatA1R5G5B5()), 0, 1};
  plain.flags = kPrepareTransparent | kPrepareIntegerCoords;
  DrawSetup& blended = setups[1];
  blended.texture = DrawTexture3D{engine_bench::MakeSurface(*display, textureCaps, 32, 32, d3d::TextureFormatA8R8G8B8()), 1, 0};
  blended.blendMode = 1;
  blended.blendValue = 128;
  blended.flags = kPrepareTransparent | kPrepareIntegerCoords;
  if (target == nullptr || plain.texture.Texture == nullptr || blended.texture.Texture == nullptr) return false;
  Direct3DState& s = GetDirect3DState();
  s.Direct3D = d3d;
  s.DeviceDesc.kind = d3d::DeviceKind::kTnLHal;
  if (CreateDevice3D(target) != 0) return false;
  s.CurrentDevice = 0;
  SetRenderTarget3D(CurrentDeviceRecord3D(), target);
  for (DrawSetup& setup : setups) Capture(setup);
  return true;
}

// The whole state of a draw, straight to the device.
void SendEverything(d3d::Device3D& d, const DrawSetup& s) {
  const CachedRenderStates3D& r = s.states;
  d.SetRenderState(d3d::kRsTexturePerspective, 0);
  d.SetRenderState(d3d::kRsShadeMode, d3d::kShadeFlat);
  d.SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
  d.SetRenderState(d3d::kRsZEnable, 0);
  d.SetRenderState(d3d::kRsColorKeyEnable, static_cast<uint32_t>(s.colorKey));
  d.SetRenderState(d3d::kRsAlphaFunc, static_cast<uint32_t>(r.AlphaFunc));
  d.SetRenderState(d3d::kRsAlphaRef, static_cast<uint32_t>(r.AlphaRef));
  d.SetRenderState(d3d::kRsAlphaTestEnable, static_cast<uint32_t>(r.AlphaTestEnable));
  d.SetRenderState(d3d::kRsAlphaBlendEnable, static_cast<uint32_t>(r.AlphaBlendEnable));
  d.SetRenderState(d3d::kRsTextureFactor, r.TextureFactor);
  d.SetRenderState(d3d::kRsSrcBlend, static_cast<uint32_t>(r.SrcBlend));
  d.SetRenderState(d3d::kRsDestBlend, static_cast<uint32_t>(r.DestBlend));
  // The stages in use and the one after, which is switched off.
  const int applied = s.stageCount < static_cast<int>(d3d::kStageCount) ? s.stageCount + 1 : s.stageCount;
  for (int i = 0; i < applied; ++i) {
    const StageSetting3D& st = s.stages[static_cast<size_t>(i)];
    const auto stage = static_cast<uint32_t>(i);
    d.SetTexture(stage, st.Texture);
    d.SetTextureStageState(stage, d3d::kTssAlphaOp, static_cast<uint32_t>(st.AlphaOp));
    d.SetTextureStageState(stage, d3d::kTssAlphaArg1, static_cast<uint32_t>(st.AlphaArg1));
    d.SetTextureStageState(stage, d3d::kTssAlphaArg2, static_cast<uint32_t>(st.AlphaArg2));
    d.SetTextureStageState(stage, d3d::kTssColorOp, static_cast<uint32_t>(st.ColorOp));
    d.SetTextureStageState(stage, d3d::kTssColorArg1, static_cast<uint32_t>(st.ColorArg1));
    d.SetTextureStageState(stage, d3d::kTssColorArg2, static_cast<uint32_t>(st.ColorArg2));
  }
}

const char* PatternName(int pattern) { return pattern == 0 ? "unchanged" : "changing"; }

void Report(benchmark::State& state, int pattern) {
  const std::string name = PatternName(pattern);
  auto ratio = Registry().Compare(state, "raw_over_ours", "ours " + name, "raw " + name);
  if (ratio) {
    const double perDraw = Registry().Ns("ours " + name) / kDraws;
    char line[160];
    std::snprintf(line, sizeof line, "%-9s  raw/ours %6.2f   ours %.1f ns a draw   raw %.1f ns a draw",
                  name.c_str(), *ratio, perDraw, Registry().Ns("raw " + name) / kDraws);
    Registry().SetLine(name, line);
  }
}

void BM_PrepareDrawOurs(benchmark::State& state) {
  Bench b;
  if (!b.ok) {
    state.SkipWithError("no OpenGL device");
    return;
  }
  const int pattern = static_cast<int>(state.range(0));
  const double ns = TimedNs(state, [&] {
    for (int i = 0; i < kDraws; ++i) Apply(b.setups[pattern == 0 ? 0 : static_cast<size_t>(i & 1)]);
  });
  Registry().Record(std::string("ours ") + PatternName(pattern), ns);
  Report(state, pattern);
}

void BM_PrepareDrawRaw(benchmark::State& state) {
  Bench b;
  if (!b.ok) {
    state.SkipWithError("no OpenGL device");
    return;
  }
  const int pattern = static_cast<int>(state.range(0));
  d3d::Device3D& device = *CurrentDeviceRecord3D().Device;
  const double ns = TimedNs(state, [&] {
    for (int i = 0; i < kDraws; ++i) {
      SendEverything(device, b.setups[pattern == 0 ? 0 : static_cast<size_t>(i & 1)]);
    }
  });
  Registry().Record(std::string("raw ") + PatternName(pattern), ns);
  Report(state, pattern);
}

BENCHMARK(BM_PrepareDrawRaw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrepareDrawOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
