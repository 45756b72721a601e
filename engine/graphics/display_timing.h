// Timing of the display layer, all on the clock interface: the pause
// between two mode changes, the frame-time measurement on the raster, the
// choice between BltFast and BitBlt for surface copies, and the waits for
// the vertical blank. Milliseconds unless named otherwise; every raster poll
// gives up after kRasterPollLimitMs of clock time.
#pragma once

#include <cstdint>

// Sleeps 60 ms, or until 2,060 ms after the last change when that was less
// than 2,000 ms ago; then stamps the change.
void PaceModeChange();
// (frame time x 2 - 4) / 3; -1 for no frame time.
int MinFlipIntervalFor(int frameTimeMs);
// Refresh rate from the average frame in microseconds, rounded at .5 up.
int RefreshRateFromFrame(int64_t totalMicroseconds, int64_t count);
// Measures the frame time on the raster, sets MinFlipInterval and logs.
void MeasureFrameTime();
// Times eight BltFast and eight BitBlt copies of the front surface into the
// first work surface and chooses the faster (BitBlt on a tie).
void ChooseCopyMethod();
int WaitVSync(int count);
void WaitFlipInterval();
// The refresh rate found at the last measurement (-1 none).
int GetMeasuredRefreshRate();
