// Speed of the pixel-format converter on a 640 x 480 frame, each conversion
// beside a memcpy of the same source bytes in the same run. The counter
// "x_memcpy" is the conversion's time divided by the memcpy's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "platform/clock.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Frame {
  ColorFormat format;
  int pitch;
  std::vector<uint8_t> bytes;
  Frame(const ColorFormat& f, uint32_t seed) : format(f), pitch(kWidth * f.PixelByte) {
    bytes.resize(static_cast<size_t>(pitch) * kHeight);
    std::mt19937 rng(seed);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
};

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  ColorFormat f{};
  CreateColorFormat(&f, bits, r, g, b, a);
  return f;
}

struct Conversion {
  ColorFormat src;
  ColorFormat dst;
  bool alphaImage = false;
  int dither = kDitherNone;
  bool keyToAlpha = false;
};

void RunConversion(benchmark::State& state, const Conversion& c) {
  Frame src(c.src, 1), dst(c.dst, 2);
  ColorFormat grey{};
  SetGray8ColorFormat(&grey);
  Frame alpha(grey, 3);
  std::vector<uint8_t> copy(src.bytes.size());
  const ImageRect rect{0, 0, kWidth, kHeight};
  platform::Clock& clock = platform::GetClock();
  uint64_t convertUs = 0, memcpyUs = 0;
  for (auto _ : state) {
    const uint64_t t0 = clock.Microseconds();
    ConvertColorBlt(dst.bytes.data(), dst.pitch, &dst.format, src.bytes.data(), src.pitch,
                    &src.format, c.alphaImage ? alpha.bytes.data() : nullptr, alpha.pitch,
                    c.alphaImage ? &alpha.format : nullptr, 0, 0, &rect, 0, c.keyToAlpha, 0xFF00FF,
                    c.dither, 0, 0, 0);
    benchmark::ClobberMemory();
    const uint64_t t1 = clock.Microseconds();
    state.PauseTiming();
    const uint64_t t2 = clock.Microseconds();
    std::memcpy(copy.data(), src.bytes.data(), copy.size());
    benchmark::ClobberMemory();
    const uint64_t t3 = clock.Microseconds();
    state.ResumeTiming();
    convertUs += t1 - t0;
    memcpyUs += t3 - t2;
  }
  state.counters["x_memcpy"] =
      memcpyUs == 0 ? 0.0 : static_cast<double>(convertUs) / static_cast<double>(memcpyUs);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(src.bytes.size()));
}

const ColorFormat kX888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kA888 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat k565 = Format(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat k555 = Format(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat k888 = Format(24, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat k565A8 = Format(32, 0xF800, 0x7E0, 0x1F, 0xFF0000);

void BM_Memcpy32(benchmark::State& state) {
  std::vector<uint8_t> a(kWidth * kHeight * 4, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_Memcpy32);

void BM_X888To565(benchmark::State& s) { RunConversion(s, {kX888, k565}); }
void BM_X888To565Ordered(benchmark::State& s) {
  RunConversion(s, {kX888, k565, false, kDitherOrdered});
}
void BM_X888To565Carry(benchmark::State& s) {
  RunConversion(s, {kX888, k565, false, kDitherErrorCarry});
}
void BM_565ToX888(benchmark::State& s) { RunConversion(s, {k565, kX888}); }
void BM_555To565(benchmark::State& s) { RunConversion(s, {k555, k565}); }
void BM_A888ToA888(benchmark::State& s) { RunConversion(s, {kA888, kA888}); }
void BM_A888To565A8(benchmark::State& s) { RunConversion(s, {kA888, k565A8}); }
void BM_888WithAlphaImageToA888(benchmark::State& s) { RunConversion(s, {k888, kA888, true}); }
void BM_888KeyToA888(benchmark::State& s) {
  RunConversion(s, {k888, kA888, false, kDitherNone, true});
}
void BM_X888KeyToA888(benchmark::State& s) {
  RunConversion(s, {kX888, kA888, false, kDitherNone, true});
}

BENCHMARK(BM_X888To565);
BENCHMARK(BM_X888To565Ordered);
BENCHMARK(BM_X888To565Carry);
BENCHMARK(BM_565ToX888);
BENCHMARK(BM_555To565);
BENCHMARK(BM_A888ToA888);
BENCHMARK(BM_A888To565A8);
BENCHMARK(BM_888WithAlphaImageToA888);
BENCHMARK(BM_888KeyToA888);
BENCHMARK(BM_X888KeyToA888);

}  // namespace
