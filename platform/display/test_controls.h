// Controls for tests of the display stand-in and of the code above it:
// failures on demand, the display's format and size, lost surfaces, call
// counters and the raster's phase. ResetDisplayControls puts everything
// back (tests call it in their fixtures).
#pragma once

#include <cstdint>

#include "platform/display/display_types.h"
#include "platform/display/surface.h"

namespace platform::display::test {

// Every control off, counters 0, the desktop's mode back in force.
void ResetDisplayControls();

// calls: how many of the next calls fail; -1: every call until reset.
void FailDeviceCreation(int32_t calls);
// Surface creation asking for any of these caps fails with result (a mask
// of 0 stops it).
void FailSurfaceCreation(uint32_t caps_mask, Result result = Result::kGeneric);
// Surfaces that would lie in video memory fail with kOutOfVideoMemory.
void SetVideoMemoryExhausted(bool exhausted);
// The device's SetDisplayMode (kInvalidMode) and ChangeDisplaySettings
// (kBadMode) refuse this mode.
void FailDisplayMode(int32_t width, int32_t height, int32_t bits);
void FailLocks(int32_t calls, Result result = Result::kGeneric);
void FailGetDC(int32_t calls);
// BltFast (and the 3D device's Load, which copies through it).
void FailBltFast(int32_t calls, Result result = Result::kGeneric);

// 16-bit display formats are 5-5-5 instead of 5-6-5.
void SetSixteenBitDisplay555(bool use_555);
// The desktop a window sees, instead of SDL's.
void SetDesktop(int32_t width, int32_t height, int32_t bits = 32);

void MarkSurfaceLost(Surface& surface);
void MarkAllSurfacesLost();

struct DisplayCounts {
  uint64_t locks = 0;
  uint64_t blts = 0;
  uint64_t blt_fasts = 0;
};
DisplayCounts GetCounts();
void ResetCounts();

// Shifts the raster against the clock by this many microseconds.
void SetRasterPhase(uint64_t microseconds);

}  // namespace platform::display::test
