// The stretched blit (BltStretchMemImg) at 2x and 0.5x onto a 640 x 480
// target, at 32 and 16 bits, against pixman's nearest-neighbour scaled
// composite doing the same traffic in the same run: SRC for the plain copy,
// OVER of an a8r8g8b8 source for an alpha source drawn with its alpha.
//
// Each of our benchmarks reports pixman_over_ours = pixman's time / our time
// (above 1: ours is faster); all ratios are printed again when the program
// ends.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/softrender/stretch_blit.h"
#include "platform/clock.h"

namespace {

struct StretchTimings {
  std::map<std::string, double> ns;
  std::vector<std::string> order;            // first report of each ratio
  std::map<std::string, std::string> lines;  // latest report of each ratio
  ~StretchTimings() {
    if (lines.empty()) return;
    std::printf("\nStretched blit vs pixman nearest (time ratio, above 1 = ours faster)\n");
    for (const std::string& k : order) std::printf("  %s\n", lines[k].c_str());
  }
};
StretchTimings& Registry() {
  static StretchTimings t;
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

struct Image {
  std::unique_ptr<MEMIMG> img = std::make_unique<MEMIMG>();
  std::unique_ptr<ColorFormat> format = std::make_unique<ColorFormat>();
  std::vector<uint8_t> pixels;
};

// kind 1: 32-bit (alpha in the fourth byte); kind 0: 16-bit, with alpha 4
// bytes per pixel. Random pixels; alpha images get a spread of alphas.
std::unique_ptr<Image> MakeImage(int kind, bool alpha, int w, int h, uint32_t seed) {
  auto b = std::make_unique<Image>();
  MEMIMG& m = *b->img;
  std::memset(&m, 0, sizeof m);
  const int bytes = kind == 1 || alpha ? 4 : 2;
  b->format->PixelByte = static_cast<uint16_t>(bytes);
  b->format->BitDepth = static_cast<uint16_t>(bytes * 8);
  m.Magic = kMemImgMagic;
  m.Width = w;
  m.Height = h;
  m.Pitch = w * bytes;
  m.PitchShift = -1;
  m.Format = b->format.get();
  m.Kind = kind;
  m.UseAlpha = alpha ? 1 : 0;
  m.TransColor = 0xf81f;
  m.DrawPalette = m.PaletteStore1;
  m.SavedPalette = m.PaletteStore2;
  b->pixels.resize(static_cast<size_t>(m.Pitch) * h);
  std::mt19937 rng(seed);
  for (auto& v : b->pixels) v = static_cast<uint8_t>(rng());
  m.Pixels = b->pixels.data();
  return b;
}

struct Case {
  std::string name;
  int kind;    // 1: 32-bit, 0: 16-bit
  bool alpha;  // alpha source drawn with its alpha (pixman OVER), else a copy (SRC)
  int source_w, source_h;
};

constexpr int kW = 640, kH = 480;

void BM_StretchOurs(benchmark::State& state, Case c) {
  BuildBlendTables();
  ResetDrawState();
  auto dst = MakeImage(c.kind, false, kW, kH, 1);
  auto src = MakeImage(c.kind, c.alpha, c.source_w, c.source_h, 2);
  const ImageRect r{0, 0, kW, kH};
  const double ns = TimedNs(state, [&] {
    BltStretchMemImg(dst->img.get(), src->img.get(), &r, c.alpha ? 1 : 0, nullptr);
    benchmark::ClobberMemory();
  });
  Registry().ns["ours " + c.name] = ns;
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_StretchPixman(benchmark::State& state, Case c) {
  auto dst = MakeImage(c.kind, false, kW, kH, 1);
  // pixman's 16-bit alpha counterpart is an a8r8g8b8 source over r5g6b5.
  auto src = MakeImage(c.kind == 1 || c.alpha ? 1 : 0, c.alpha, c.source_w, c.source_h, 2);
  pixman_image_t* d = pixman_image_create_bits(c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5, kW,
                                               kH, reinterpret_cast<uint32_t*>(dst->pixels.data()),
                                               dst->img->Pitch);
  const pixman_format_code_t sf =
      c.alpha ? PIXMAN_a8r8g8b8 : (c.kind == 1 ? PIXMAN_x8r8g8b8 : PIXMAN_r5g6b5);
  pixman_image_t* s =
      pixman_image_create_bits(sf, c.source_w, c.source_h,
                               reinterpret_cast<uint32_t*>(src->pixels.data()), src->img->Pitch);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(c.source_w) / kW),
                              pixman_double_to_fixed(double(c.source_h) / kH));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const pixman_op_t op = c.alpha ? PIXMAN_OP_OVER : PIXMAN_OP_SRC;
  const double ns = TimedNs(state, [&] {
    pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  });
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(state.iterations() * kW * kH);
  auto& m = Registry().ns;
  m["pixman " + c.name] = ns;
  if (m.count("ours " + c.name) && m["ours " + c.name] > 0) {
    const double ratio = ns / m["ours " + c.name];
    state.counters["pixman_over_ours"] = ratio;
    char line[160];
    std::snprintf(line, sizeof line, "%-28s pixman_over_ours %6.2f", c.name.c_str(), ratio);
    if (!Registry().lines.count(c.name)) Registry().order.push_back(c.name);
    Registry().lines[c.name] = line;
  }
}

const Case kCases[] = {
    {"32 copy 2x", 1, false, kW / 2, kH / 2},    {"32 copy 0.5x", 1, false, kW * 2, kH * 2},
    {"32 alpha 2x", 1, true, kW / 2, kH / 2},    {"32 alpha 0.5x", 1, true, kW * 2, kH * 2},
    {"16 copy 2x", 0, false, kW / 2, kH / 2},    {"16 copy 0.5x", 0, false, kW * 2, kH * 2},
    {"16 alpha 2x", 0, true, kW / 2, kH / 2},    {"16 alpha 0.5x", 0, true, kW * 2, kH * 2},
};

int RegisterAll() {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark(("Stretch/ours/" + c.name).c_str(), BM_StretchOurs, c);
    benchmark::RegisterBenchmark(("Stretch/pixman/" + c.name).c_str(), BM_StretchPixman, c);
  }
  return 0;
}
const int kRegistered = RegisterAll();

}  // namespace
