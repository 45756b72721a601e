// The library group of public entry points.
#include "engine/api/library_entry_points.h"

#include <cstdint>

#include "engine/api/input_entry_points.h"
#include "engine/api/library_startup.h"
#include "engine/api/services/service_registry.h"
#include "engine/core/base/api_lock.h"
#include "platform/clock.h"

namespace {

// The message pass through its seam, under the lock as its public entry
// runs it.
int PumpMessagesLocked() {
  ApiLockGuard hold;
  return GetWindowService().ProcessMessage();
}

// Every input kind: keys, pads and mouse buttons.
constexpr int kAnyInputFlags = 7;

}  // namespace

int StartLibrary() {
  AcquireApiLock();
  const int result = InitializeLibrary();
  ReleaseApiLock();
  return result;
}

int EndLibrary() {
  AcquireApiLock();
  const int result = TerminateLibrary();
  ReleaseApiLock();
  DestroyApiLock();
  return result;
}

int EnableLogOutput(int flag) {
  ApiLockGuard hold;
  return EnableLogFile(flag);
}

int GetMillisecondCount(int /*ignored*/) {
  ApiLockGuard hold;
  return static_cast<int>(platform::GetClock().Milliseconds());
}

int WaitMilliseconds(int milliseconds) {
  const int start = GetMillisecondCount(0);
  if (PumpMessagesLocked() != 0) return 0;
  for (;;) {
    // Elapsed time in wrapping arithmetic, so the wait ends on time across
    // the counter's sign change and its wrap.
    const uint32_t elapsed = static_cast<uint32_t>(GetMillisecondCount(0)) - static_cast<uint32_t>(start);
    if (static_cast<int64_t>(elapsed) >= static_cast<int64_t>(milliseconds)) break;
    platform::GetClock().Sleep(1);
    if (PumpMessagesLocked() != 0) break;
  }
  return 0;
}

int WaitForAnyInput() {
  int result = 0;
  if (PumpMessagesLocked() == 0) {
    while (FindPressedInput(kAnyInputFlags) != 0) {
      platform::GetClock().Sleep(1);
      if (PumpMessagesLocked() != 0) break;
    }
  }
  if (PumpMessagesLocked() == 0) {
    for (;;) {
      result = FindPressedInput(kAnyInputFlags);
      if (result != 0) break;
      platform::GetClock().Sleep(1);
      if (PumpMessagesLocked() != 0) break;
    }
  }
  return result;
}

int ClipRectToRect(IntRect* rect, const IntRect* clip) { return ClipRect(rect, clip); }
