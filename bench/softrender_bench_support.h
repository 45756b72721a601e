// Set-up shared by the software renderer's benchmarks: timing of a
// benchmark's iterations by the platform clock (nanoseconds per iteration),
// a summary of reference-over-ours time ratios (above 1: ours is faster)
// printed in first-report order when the program ends, and memory images
// owning their pixels for the draws and for pixman to wrap.
#pragma once

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/image/memimg.h"
#include "platform/clock.h"

namespace softrender_bench {

// Runs body for every iteration and returns the mean nanoseconds per iteration.
template <class F>
double TimedNs(benchmark::State& state, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  return state.iterations() ? double(t1 - t0) * 1000.0 / double(state.iterations()) : 0.0;
}

// Times by key, and the summary lines by key (the latest line of a key is
// printed at the place of its first report).
class RatioSummary {
 public:
  explicit RatioSummary(const char* title) : title_(title) {}
  ~RatioSummary() {
    if (order_.empty()) return;
    std::printf("\n%s\n", title_);
    for (const std::string& k : order_) std::printf("  %s\n", lines_[k].c_str());
  }
  RatioSummary(const RatioSummary&) = delete;
  RatioSummary& operator=(const RatioSummary&) = delete;

  void Record(const std::string& key, double ns) { ns_[key] = ns; }
  double Ns(const std::string& key) const {
    const auto it = ns_.find(key);
    return it == ns_.end() ? 0.0 : it->second;
  }

  // ref / ours, set as the counter of state, when both are recorded and ours
  // took some time; nothing otherwise.
  std::optional<double> Compare(benchmark::State& state, const char* counter,
                                const std::string& ours, const std::string& ref) {
    if (!ns_.count(ours) || !ns_.count(ref) || ns_[ours] <= 0) return std::nullopt;
    const double ratio = ns_[ref] / ns_[ours];
    state.counters[counter] = ratio;
    return ratio;
  }

  void SetLine(const std::string& key, const std::string& line) {
    if (!lines_.count(key)) order_.push_back(key);
    lines_[key] = line;
  }

 private:
  const char* title_;
  std::map<std::string, double> ns_;
  std::vector<std::string> order_;            // first report of each line
  std::map<std::string, std::string> lines_;  // latest report of each line
};

struct BenchImage {
  std::unique_ptr<MEMIMG> img = std::make_unique<MEMIMG>();
  std::unique_ptr<ColorFormat> format = std::make_unique<ColorFormat>();
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> runs;
};

// A w x h image of colour kind 1 (4 bytes a pixel) or 0 (2 bytes, 4 for an
// alpha source), rows packed, every pixel byte `fill`, no palette, no run
// table, transparent colour 0.
inline BenchImage MakeBenchImage(int kind, bool alpha, int w, int h, uint8_t fill = 0) {
  BenchImage b;
  MEMIMG& m = *b.img;
  std::memset(&m, 0, sizeof m);
  const int bytes = kind == 1 || alpha ? 4 : 2;
  b.format->PixelByte = static_cast<uint16_t>(bytes);
  b.format->BitDepth = static_cast<uint16_t>(bytes * 8);
  m.Magic = kMemImgMagic;
  m.Width = w;
  m.Height = h;
  m.Pitch = w * bytes;
  m.PitchShift = -1;
  m.Format = b.format.get();
  m.Kind = kind;
  m.UseAlpha = alpha ? 1 : 0;
  m.DrawPalette = m.PaletteStore1;
  m.SavedPalette = m.PaletteStore2;
  b.pixels.assign(static_cast<size_t>(m.Pitch) * h, fill);
  m.Pixels = b.pixels.data();
  return b;
}

// Every pixel byte from a generator seeded with seed.
inline void FillRandomBytes(BenchImage& b, uint32_t seed) {
  std::mt19937 rng(seed);
  for (auto& v : b.pixels) v = static_cast<uint8_t>(rng());
}

// pixman's view of the image's pixels (the caller unrefs it).
inline pixman_image_t* PixmanOf(BenchImage& b, pixman_format_code_t format) {
  return pixman_image_create_bits(format, b.img->Width, b.img->Height,
                                  reinterpret_cast<uint32_t*>(b.pixels.data()), b.img->Pitch);
}

}  // namespace softrender_bench
