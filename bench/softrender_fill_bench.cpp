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
#include <map>
#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/rect_fill.h"
#include "platform/clock.h"

namespace {

constexpr int kW = 640, kH = 480;

struct FillTimings {
  std::map<std::string, double> ns;
  std::vector<std::string> order;            // first report of each ratio
  std::map<std::string, std::string> lines;  // latest report of each ratio
  ~FillTimings() {
    if (lines.empty()) return;
    std::printf("\nRectangle fill vs references (time ratio, above 1 = ours faster)\n");
    for (const std::string& k : order) std::printf("  %s\n", lines[k].c_str());
  }
};
FillTimings& Registry() {
  static FillTimings t;
  return t;
}

template <class F>
double TimedNs(benchmark::State& state, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  return state.iterations() ? double(t1 - t0) * 1000.0 / double(state.iterations()) : 0.0;
}

void Ratio(benchmark::State& state, const std::string& ours, const std::string& ref) {
  auto& m = Registry().ns;
  if (!m.count(ours) || !m.count(ref) || m[ours] <= 0) return;
  const double r = m[ref] / m[ours];
  state.counters["ref_over_ours"] = r;
  char line[160];
  std::snprintf(line, sizeof line, "%-20s vs %-22s %6.2f", ours.c_str(), ref.c_str(), r);
  const std::string key = ours + " " + ref;
  if (!Registry().lines.count(key)) Registry().order.push_back(key);
  Registry().lines[key] = line;
}

struct Target {
  MEMIMG img{};
  ColorFormat format{};
  std::vector<uint8_t> pixels;
  explicit Target(int kind) {
    const int bytes = kind ? 4 : 2;
    format.PixelByte = static_cast<uint16_t>(bytes);
    format.BitDepth = static_cast<uint16_t>(bytes * 8);
    img.Magic = kMemImgMagic;
    img.Width = kW;
    img.Height = kH;
    img.Pitch = kW * bytes;
    img.PitchShift = -1;
    img.Format = &format;
    img.Kind = kind;
    img.DrawPalette = img.PaletteStore1;
    img.SavedPalette = img.PaletteStore2;
    pixels.assign(static_cast<size_t>(img.Pitch) * kH, 0x33);
    img.Pixels = pixels.data();
  }
};

std::string Depth(int kind) { return kind ? "32" : "16"; }

void BM_FillOurs(benchmark::State& state, int kind, int mode) {
  BuildBlendTables();
  ResetDrawState();
  CurrentDrawState.BlendMode = mode;
  CurrentDrawState.BlendValue = 128;
  Target t(kind);
  const double ns = TimedNs(state, [&] {
    FillMemImgRect(&t.img, nullptr, kind ? 0x00406080u : 0x1234u);
    benchmark::ClobberMemory();
  });
  Registry().ns["ours " + Depth(kind) + (mode ? " alpha" : " plain")] = ns;
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
  ResetDrawState();
}

void BM_Memset(benchmark::State& state, int kind) {
  Target t(kind);
  const double ns = TimedNs(state, [&] {
    std::memset(t.pixels.data(), 0x5a, t.pixels.size());
    benchmark::ClobberMemory();
  });
  Registry().ns["memset " + Depth(kind)] = ns;
  Ratio(state, "ours " + Depth(kind) + " plain", "memset " + Depth(kind));
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
}

void BM_PixmanFill(benchmark::State& state, int kind) {
  Target t(kind);
  const double ns = TimedNs(state, [&] {
    pixman_fill(reinterpret_cast<uint32_t*>(t.pixels.data()), t.img.Pitch / 4, kind ? 32 : 16, 0,
                0, kW, kH, kind ? 0x00406080u : 0x1234u);
    benchmark::ClobberMemory();
  });
  Registry().ns["pixman_fill " + Depth(kind)] = ns;
  Ratio(state, "ours " + Depth(kind) + " plain", "pixman_fill " + Depth(kind));
  state.SetBytesProcessed(state.iterations() * int64_t(t.pixels.size()));
}

void BM_PixmanOverSolid(benchmark::State& state, int kind) {
  Target t(kind);
  pixman_image_t* d =
      pixman_image_create_bits(kind ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5, kW, kH,
                               reinterpret_cast<uint32_t*>(t.pixels.data()), t.img.Pitch);
  const pixman_color_t colour{0x4040, 0x6060, 0x8080, 0x8080};
  pixman_image_t* s = pixman_image_create_solid_fill(&colour);
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  Registry().ns["pixman over " + Depth(kind)] = ns;
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
