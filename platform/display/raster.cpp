// The simulated raster. Time inside a period is counted in thirds of a
// microsecond, so that the 16,666.67 us period is an exact 50,000.
#include "platform/display/raster.h"

#include "platform/clock.h"
#include "platform/display/display_state.h"

namespace platform::display {
namespace {

constexpr uint64_t kPeriodThirds = 50'000;  // 3 x 16,666.67 us
constexpr uint64_t kBlankThirds = 2'500;    // 5 % of the period

uint64_t Phase() {
  DisplayLock lock(DisplayMutex());
  return MutableControls().raster_phase_us;
}

// The first whole microsecond at or after the instant given in thirds.
uint64_t CeilToMicroseconds(uint64_t thirds) { return (thirds + 2) / 3; }

void SleepUntil(uint64_t target_us) {
  platform::Clock& clock = platform::GetClock();
  for (;;) {
    const uint64_t now = clock.Microseconds();
    if (now >= target_us) return;
    const uint64_t wait = target_us - now;
    clock.SleepMicroseconds(static_cast<uint32_t>(wait > 1'000'000 ? 1'000'000 : wait));
  }
}

}  // namespace

RasterState RasterAt(uint64_t microseconds, uint32_t lines) {
  const uint64_t position = ((microseconds + Phase()) * 3) % kPeriodThirds;
  RasterState state;
  if (position < kBlankThirds) {
    state.in_blank = true;
    state.line = lines;
    return state;
  }
  state.line = static_cast<uint32_t>((position - kBlankThirds) * lines /
                                     (kPeriodThirds - kBlankThirds));
  return state;
}

uint64_t NextBlankBegin(uint64_t microseconds) {
  const uint64_t phase = Phase();
  const uint64_t shifted = (microseconds + phase) * 3;
  const uint64_t begin = (shifted / kPeriodThirds + 1) * kPeriodThirds;
  return CeilToMicroseconds(begin) - phase;
}

uint64_t NextBlankEnd(uint64_t microseconds) {
  const uint64_t phase = Phase();
  const uint64_t shifted = (microseconds + phase) * 3;
  uint64_t end = shifted / kPeriodThirds * kPeriodThirds + kBlankThirds;
  if (CeilToMicroseconds(end) - phase <= microseconds) end += kPeriodThirds;
  return CeilToMicroseconds(end) - phase;
}

RasterState QueryRaster(uint32_t lines) {
  platform::Clock& clock = platform::GetClock();
  clock.SleepMicroseconds(kRasterQueryYieldMicroseconds);
  return RasterAt(clock.Microseconds(), lines);
}

void WaitForBlankBegin() { SleepUntil(NextBlankBegin(platform::GetClock().Microseconds())); }

void WaitForBlankEnd() { SleepUntil(NextBlankEnd(platform::GetClock().Microseconds())); }

}  // namespace platform::display
