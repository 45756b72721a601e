// The display settings as the desktop's own calls see them: the mode in
// force, its size, and changing it without a display device (the software
// renderer's full screen). Nothing here touches the real display: a mode
// set here is what the window image, the primary surface and the queries
// follow, and the presenter scales it to the window.
#pragma once

#include <cstdint>

#include "platform/display/display_types.h"

namespace platform::display {

enum class DisplayChange : int32_t {
  kSuccessful = 0,
  kFailed = -1,
  kBadMode = -2,
};

enum DisplaySettingsFlags : uint32_t {
  kSettingsTest = 0x2,        // only check that the mode could be set
  kSettingsFullScreen = 0x4,  // a temporary mode for a full-screen program
};

struct DisplaySettings {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;       // 8, 16 or 32; 24 is refused
  int32_t frequency = 0;  // ignored
};

// settings null: back to the desktop's mode.
DisplayChange ChangeDisplaySettings(const DisplaySettings* settings, uint32_t flags);

// The mode in force (the desktop's unless a mode was set), at 60 Hz.
DisplayMode CurrentDisplayMode();

enum class SystemMetric { kScreenWidth, kScreenHeight };
int32_t GetSystemMetric(SystemMetric metric);

}  // namespace platform::display
