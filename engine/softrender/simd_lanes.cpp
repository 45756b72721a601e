#include "engine/softrender/simd_lanes.h"

#include <algorithm>
#include <atomic>

namespace softrender {
namespace {

SimdPath BestSimdPath() {
#if SOFTRENDER_HAVE_SSE2
  return __builtin_cpu_supports("avx2") ? SimdPath::kAvx2 : SimdPath::kSse2;
#else
  return SimdPath::kPortable;
#endif
}

std::atomic<int> simd_limit{static_cast<int>(SimdPath::kAvx2)};

}  // namespace

SimdPath ActiveSimdPath() {
  static const SimdPath best = BestSimdPath();
  return static_cast<SimdPath>(
      std::min(static_cast<int>(best), simd_limit.load(std::memory_order_relaxed)));
}

SimdPath SetSimdPathLimit(SimdPath limit) {
  return static_cast<SimdPath>(
      simd_limit.exchange(static_cast<int>(limit), std::memory_order_relaxed));
}

}  // namespace softrender
