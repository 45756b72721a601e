// Display settings without a display device.
#include "platform/display/display_settings.h"

#include "platform/display/display_state.h"
#include "platform/display/raster.h"

namespace platform::display {

DisplayChange ChangeDisplaySettings(const DisplaySettings* settings, uint32_t flags) {
  DisplayLock lock(DisplayMutex());
  if (settings == nullptr) {
    RestoreDesktopMode();
    MarkWindowImageDirty();
    return DisplayChange::kSuccessful;
  }
  const int32_t bits = settings->bits;
  if ((bits != 8 && bits != 16 && bits != 32) || settings->width <= 0 || settings->height <= 0 ||
      settings->width > 16384 || settings->height > 16384 ||
      ModeFails(settings->width, settings->height, bits)) {
    return DisplayChange::kBadMode;
  }
  if ((flags & kSettingsTest) != 0) return DisplayChange::kSuccessful;
  SetModeInForce(settings->width, settings->height, bits);
  MarkWindowImageDirty();
  return DisplayChange::kSuccessful;
}

DisplayMode CurrentDisplayMode() {
  DisplayLock lock(DisplayMutex());
  const ModeState mode = CurrentMode();
  DisplayMode out;
  out.width = mode.width;
  out.height = mode.height;
  out.bits = mode.bits;
  out.refresh_rate = static_cast<int32_t>(kRefreshRateHz);
  out.pixel_format = DisplayFormatForBits(mode.bits);
  return out;
}

int32_t GetSystemMetric(SystemMetric metric) {
  const DisplayMode mode = CurrentDisplayMode();
  return metric == SystemMetric::kScreenWidth ? mode.width : mode.height;
}

}  // namespace platform::display
