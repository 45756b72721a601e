// The simulated raster of a 60 Hz display, on the clock interface: each
// period of 16,666.67 us starts with the vertical blank (its first 5 %), and
// the scan line then runs linearly from 0 to the last line over the rest.
// A test may shift the raster against the clock (test_controls.h).
//
// The queries never fail; each one first sleeps kRasterQueryYieldMicroseconds
// through the clock, so a loop that polls the raster ends in virtual time
// too.
#pragma once

#include <cstdint>

namespace platform::display {

inline constexpr uint32_t kRefreshRateHz = 60;
inline constexpr uint32_t kRasterQueryYieldMicroseconds = 25;

struct RasterState {
  bool in_blank = false;
  uint32_t line = 0;  // 0 .. lines - 1 outside the blank; lines inside it
};

// Pure functions of a clock reading in microseconds (the test phase added).
RasterState RasterAt(uint64_t microseconds, uint32_t lines);
// The first instant after microseconds at which a blank begins (ends).
uint64_t NextBlankBegin(uint64_t microseconds);
uint64_t NextBlankEnd(uint64_t microseconds);

// The raster now, after the query's yield.
RasterState QueryRaster(uint32_t lines);
// Sleep through the clock until the next blank begins (ends).
void WaitForBlankBegin();
void WaitForBlankEnd();

}  // namespace platform::display
