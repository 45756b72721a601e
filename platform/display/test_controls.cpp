// Test controls of the display stand-in.
#include "platform/display/test_controls.h"

#include "platform/display/display_state.h"
#include "platform/display/surface_access.h"

namespace platform::display::test {

void ResetDisplayControls() {
  DisplayLock lock(DisplayMutex());
  RestoreDesktopMode();
  MutableControls() = Controls{};
  MutableCounters() = Counters{};
}

void FailDeviceCreation(int32_t calls) {
  DisplayLock lock(DisplayMutex());
  MutableControls().fail_device_creation = calls;
}

void FailSurfaceCreation(uint32_t caps_mask, Result result) {
  DisplayLock lock(DisplayMutex());
  MutableControls().fail_surface_caps = caps_mask;
  MutableControls().fail_surface_result = result;
}

void SetVideoMemoryExhausted(bool exhausted) {
  DisplayLock lock(DisplayMutex());
  MutableControls().video_memory_exhausted = exhausted;
}

void FailDisplayMode(int32_t width, int32_t height, int32_t bits) {
  DisplayLock lock(DisplayMutex());
  MutableControls().failing_modes.push_back(ModeKey{width, height, bits});
}

void FailLocks(int32_t calls, Result result) {
  DisplayLock lock(DisplayMutex());
  MutableControls().fail_locks = calls;
  MutableControls().lock_result = result;
}

void FailGetDC(int32_t calls) {
  DisplayLock lock(DisplayMutex());
  MutableControls().fail_get_dc = calls;
}

void FailBltFast(int32_t calls, Result result) {
  DisplayLock lock(DisplayMutex());
  MutableControls().fail_blt_fasts = calls;
  MutableControls().blt_fast_result = result;
}

void SetSixteenBitDisplay555(bool use_555) {
  DisplayLock lock(DisplayMutex());
  MutableControls().sixteen_bit_555 = use_555;
}

void SetDesktop(int32_t width, int32_t height, int32_t bits) {
  DisplayLock lock(DisplayMutex());
  Controls& c = MutableControls();
  c.desktop_set = true;
  c.desktop = ModeState{width, height, bits, false};
}

void MarkSurfaceLost(Surface& surface) {
  DisplayLock lock(DisplayMutex());
  SurfaceAccess::MarkLost(surface);
}

void MarkAllSurfacesLost() {
  DisplayLock lock(DisplayMutex());
  for (Surface* s : LiveSurfaces()) SurfaceAccess::MarkLost(*s);
}

DisplayCounts GetCounts() {
  DisplayLock lock(DisplayMutex());
  const Counters& c = MutableCounters();
  return DisplayCounts{c.locks, c.blts, c.blt_fasts};
}

void ResetCounts() {
  DisplayLock lock(DisplayMutex());
  MutableCounters() = Counters{};
}

void SetRasterPhase(uint64_t microseconds) {
  DisplayLock lock(DisplayMutex());
  MutableControls().raster_phase_us = microseconds;
}

}  // namespace platform::display::test
