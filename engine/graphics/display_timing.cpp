#include "engine/graphics/display_timing.h"

#include <vector>

#include "engine/core/base/library_state.h"
#include "engine/core/base/library_timing.h"
#include "engine/core/base/log.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/screens.h"
#include "platform/clock.h"
#include "platform/display/device_context.h"
#include "platform/display/display_settings.h"

namespace pd = platform::display;

namespace {

int g_measured_refresh = -1;

uint32_t NowMs() { return platform::GetClock().Milliseconds(); }

// Raster reads of the display object; false when there is none.
bool InBlank() {
  bool in = false;
  const DisplayState& d = GetDisplayState();
  if (d.DirectDrawObject != nullptr) d.DirectDrawObject->GetVerticalBlankStatus(&in);
  return in;
}
uint32_t ScanLine() {
  uint32_t line = 0;
  const DisplayState& d = GetDisplayState();
  if (d.DirectDrawObject != nullptr) d.DirectDrawObject->GetScanLine(&line);
  return line;
}

// Polls until done() holds or kRasterPollLimitMs of clock time passed (a
// raster that never answers cannot hold the caller). False on the limit.
template <typename Done>
bool PollRaster(Done done) {
  const uint32_t start = NowMs();
  while (!done()) {
    if (NowMs() - start >= kRasterPollLimitMs) return false;
  }
  return true;
}

void WaitBlankOver() {
  PollRaster([] { return !InBlank(); });
}
// Reads s0, then polls until the scan line is above s0 or the blank begins.
void WaitLineWrapOrBlank() {
  const uint32_t s0 = ScanLine();
  PollRaster([s0] { return InBlank() || ScanLine() < s0; });
}

}  // namespace

void PaceModeChange() {
  DisplayState& d = GetDisplayState();
  platform::Clock& clock = platform::GetClock();
  const uint32_t now = clock.Milliseconds();
  if (d.LastModeChangeTime != 0 && now - d.LastModeChangeTime < 2000) {
    clock.Sleep(d.LastModeChangeTime + 2060 - now);
  } else {
    clock.Sleep(60);
  }
  d.LastModeChangeTime = clock.Milliseconds();
}

int MinFlipIntervalFor(int frameTimeMs) {
  if (frameTimeMs < 0) return -1;
  return (frameTimeMs * 2 - 4) / 3;
}

int RefreshRateFromFrame(int64_t totalMicroseconds, int64_t count) {
  if (count <= 0) return -1;
  const int64_t frame = totalMicroseconds / count;
  if (frame <= 0) return -1;
  const int64_t q = 10000000 / frame;
  return static_cast<int>(q / 10 + (q % 10 > 5 ? 1 : 0));
}

void MeasureFrameTime() {
  DisplayState& d = GetDisplayState();
  int refresh = -1;
  if (GetOsVersionCode() >= kOsWindowsNt351) {
    pd::DeviceContextPtr dc = pd::GetWindowDC();
    if (dc != nullptr) refresh = dc->GetDeviceCaps(pd::DeviceCapIndex::kVerticalRefresh);
    if (refresh < 60) refresh = -1;
  }
  if (IsHardwareBanned() != 0) {
    g_measured_refresh = 60;
    d.MinFlipInterval = -1;
    return;
  }
  const int n = refresh != -1 ? 4 : 20;
  WriteLogF("スキャンラインの数:%d", pd::GetSystemMetric(pd::SystemMetric::kScreenHeight));
  for (int i = 0; i < 3; ++i) {
    WaitLineWrapOrBlank();
    WaitBlankOver();
  }
  WaitLineWrapOrBlank();

  platform::Clock& clock = platform::GetClock();
  std::vector<int> times(static_cast<size_t>(n));
  int64_t total = 0, count = 0;
  int frame = -1;
  for (int batch = 0; batch < 5 && frame == -1; ++batch) {
    for (int i = 0; i < n; ++i) {
      const uint32_t ms = clock.Milliseconds();
      const uint64_t us = GetMicroseconds(0);
      WaitBlankOver();
      WaitLineWrapOrBlank();
      times[static_cast<size_t>(i)] = static_cast<int>(clock.Milliseconds() - ms);
      total += static_cast<int64_t>(GetMicroseconds(0) - us);
    }
    count += n;
    for (int i = 0; i < n && frame == -1; ++i) {
      for (int j = i + 1; j < n; ++j) {
        if (times[static_cast<size_t>(j)] == times[static_cast<size_t>(i)]) {
          frame = times[static_cast<size_t>(i)];
          break;
        }
      }
    }
  }
  if (refresh == -1) refresh = RefreshRateFromFrame(total, count);
  g_measured_refresh = refresh;
  if (frame != -1) {
    WriteLogF("１フレーム当たりの時間は %d msecです", frame);
  } else {
    WriteLog("１フレームの時間を正常に取得できませんでした\n");
  }
  for (int i = 0; i < n; ++i) WriteLogF("\tTri%02d:%d msec", i, times[static_cast<size_t>(i)]);
  d.MinFlipInterval = MinFlipIntervalFor(frame);
}

void ChooseCopyMethod() {
  DisplayState& d = GetDisplayState();
  pd::Surface* front = GetFrontSurface();
  pd::Surface* work = GetWorkSurface();
  double bitBlt = 0, bltFast = 0;
  if (front != nullptr && work != nullptr) {
    int width = 0, height = 0;
    GetScreenSize(&width, &height);
    IntRect source{0, 0, width, height};
    if (front == GetMainSurfaces().PrimarySurface.get()) GetPresentRect(&source);
    uint64_t start = GetMicroseconds(0);
    for (int i = 0; i < 8; ++i) BltSurfaceOrGdi(work, front, 0, 0, source, 0);
    bltFast = static_cast<double>(GetMicroseconds(0) - start);
    start = GetMicroseconds(0);
    for (int i = 0; i < 8; ++i) BltSurfaceOrGdi(work, front, 0, 0, source, 1);
    bitBlt = static_cast<double>(GetMicroseconds(0) - start);
  }
  d.UseBitBltForCopies = bitBlt <= bltFast ? 1 : 0;
  WriteLogF("サーフェス間転送には %s を使用します", d.UseBitBltForCopies ? "BitBlt" : "BltFast");
  WriteLogF("BitBlt:%.0lfμs   BltFast:%.0lfμs", bitBlt, bltFast);
}

int WaitVSync(int count) {
  if (!HasDirectDraw()) return -1;
  if (IsGraphicsLost() != 0) return 0;
  WaitWhileInactive();
  // Each wait ends at the raster's answer, when the pass reports the end,
  // or after kRasterPollLimitMs.
  auto poll_until = [](bool wantBlank) {
    const uint32_t start = NowMs();
    while (InBlank() != wantBlank) {
      if (ProcessMessage() != 0) return false;
      if (NowMs() - start >= kRasterPollLimitMs) break;
    }
    return true;
  };
  if (count == 0) {
    if (ProcessMessage() != 0) return 0;
    poll_until(true);
    return 0;
  }
  for (int i = 0; i < count; ++i) {
    if (ProcessMessage() != 0) return -1;
    if (!poll_until(false)) return -1;
    if (ProcessMessage() != 0) return -1;
    if (!poll_until(true)) return -1;
    if (ProcessMessage() < 0) return -1;
  }
  return 0;
}

void WaitFlipInterval() {
  DisplayState& d = GetDisplayState();
  platform::Clock& clock = platform::GetClock();
  const int32_t elapsed = static_cast<int32_t>(clock.Milliseconds() - d.LastPresentTime);
  if (elapsed < d.MinFlipInterval) {
    while (static_cast<int32_t>(clock.Milliseconds() - d.LastPresentTime) < d.MinFlipInterval) {
      clock.Sleep(1);
    }
    if (d.DirectDrawObject != nullptr) d.DirectDrawObject->WaitForVerticalBlank(pd::kWaitBlankBegin);
  } else {
    clock.Sleep(0);
    if (!InBlank() && d.DirectDrawObject != nullptr) {
      d.DirectDrawObject->WaitForVerticalBlank(pd::kWaitBlankBegin);
    }
  }
  d.LastPresentTime = clock.Milliseconds();
}

int GetMeasuredRefreshRate() { return g_measured_refresh; }
