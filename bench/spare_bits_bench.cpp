// What setting the spare bits costs after a same-layout copy into a 2D
// store (a movie frame of the screen's depth, an image of the screen's
// layout): a 640 x 480 X8R8G8B8 frame copied row by row, then its spare
// bits set, each timed in the same run. The counter "fill_over_copy" is the
// fill's time divided by the copy's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/graphics/image/color_format.h"
#include "engine/graphics/screens.h"
#include "platform/clock.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void BM_SpareBitsAfterFrameCopy(benchmark::State& state) {
  ColorFormat format{};
  CreateColorFormat(&format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  const int pitch = kWidth * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(pitch) * kHeight);
  std::vector<uint8_t> store(frame.size());
  std::mt19937 rng(7);
  for (auto& b : frame) b = static_cast<uint8_t>(rng());
  const IntRect all{0, 0, kWidth, kHeight};
  platform::Clock& clock = platform::GetClock();
  uint64_t copyUs = 0, fillUs = 0;
  for (auto _ : state) {
    const uint64_t t0 = clock.Microseconds();
    for (int y = 0; y < kHeight; ++y) {
      std::memcpy(store.data() + static_cast<size_t>(y) * pitch,
                  frame.data() + static_cast<size_t>(y) * pitch, static_cast<size_t>(pitch));
    }
    benchmark::ClobberMemory();
    const uint64_t t1 = clock.Microseconds();
    FillSpareBits(all, store.data(), pitch, &format, 255);
    benchmark::ClobberMemory();
    const uint64_t t2 = clock.Microseconds();
    copyUs += t1 - t0;
    fillUs += t2 - t1;
  }
  state.counters["fill_over_copy"] =
      copyUs == 0 ? 0.0 : static_cast<double>(fillUs) / static_cast<double>(copyUs);
  state.counters["fill_us"] =
      benchmark::Counter(static_cast<double>(fillUs), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SpareBitsAfterFrameCopy);

}  // namespace
