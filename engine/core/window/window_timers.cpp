#include "engine/core/window/window_timers.h"

#include <vector>

#include "platform/clock.h"

namespace {

struct WindowTimer {
  uint32_t id;
  uint32_t interval;
  uint32_t start;  // clock milliseconds when (re)started
  WindowTimerProc proc;
};

std::vector<WindowTimer>& Timers() {
  static std::vector<WindowTimer>* timers = new std::vector<WindowTimer>;
  return *timers;
}

}  // namespace

int SetWindowTimer(uint32_t id, uint32_t milliseconds, WindowTimerProc proc) {
  const uint32_t now = platform::GetClock().Milliseconds();
  for (WindowTimer& t : Timers()) {
    if (t.id == id) {
      t = WindowTimer{id, milliseconds, now, proc};
      return 0;
    }
  }
  Timers().push_back(WindowTimer{id, milliseconds, now, proc});
  return 0;
}

int KillWindowTimer(uint32_t id) {
  std::vector<WindowTimer>& timers = Timers();
  for (size_t i = 0; i < timers.size(); ++i) {
    if (timers[i].id == id) {
      timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  return 0;
}

bool IsWindowTimerSet(uint32_t id) {
  for (const WindowTimer& t : Timers()) {
    if (t.id == id) return true;
  }
  return false;
}

void RunDueWindowTimers() {
  const uint32_t now = platform::GetClock().Milliseconds();
  // A procedure may set or kill timers: collect the due ones first.
  std::vector<WindowTimer> due;
  for (WindowTimer& t : Timers()) {
    if (now - t.start >= t.interval) {
      due.push_back(t);
      t.start = now;
    }
  }
  for (const WindowTimer& t : due) {
    if (IsWindowTimerSet(t.id) && t.proc != nullptr) t.proc(t.id);
  }
}

void KillAllWindowTimers() { Timers().clear(); }
