// The one clock of the program: every read of the time and every sleep goes
// through Clock. Units: milliseconds (wrapping 32-bit tick count, as the
// game's timing code expects) and microseconds (64-bit, monotonic).
// Tests install a VirtualClock, whose sleeps advance virtual time at once, so
// frame pacing, fades, waits and time-outs are exact and fast.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

// Calendar time in the local zone (for file names and date texts).
struct LocalDateTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int weekday = 6;  // 0 = Sunday
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() = 0;  // wraps after 2^32 ms
  virtual uint64_t Microseconds() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // A short sleep for polling loops (raster queries, say); the real clock
  // sleeps at least that long, the virtual clock advances by exactly that.
  // Clocks that do not override it sleep whole milliseconds, rounded up.
  virtual void SleepMicroseconds(uint32_t microseconds);
  virtual LocalDateTime LocalTime() = 0;
  virtual int64_t CalendarSeconds() = 0;  // seconds since 1970-01-01 UTC
};

class RealClock final : public Clock {
 public:
  RealClock();
  uint32_t Milliseconds() override;
  uint64_t Microseconds() override;
  void Sleep(uint32_t milliseconds) override;
  void SleepMicroseconds(uint32_t microseconds) override;
  LocalDateTime LocalTime() override;
  int64_t CalendarSeconds() override;

 private:
  uint64_t origin_us_;
};

// Time stands still until a test advances it; Sleep and SleepMicroseconds
// advance it by the requested amount and return at once (yielding to other
// threads).
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint64_t start_microseconds = 0);
  uint32_t Milliseconds() override;
  uint64_t Microseconds() override;
  void Sleep(uint32_t milliseconds) override;
  void SleepMicroseconds(uint32_t microseconds) override;
  LocalDateTime LocalTime() override;
  int64_t CalendarSeconds() override;

  void Advance(uint64_t milliseconds);
  void AdvanceMicroseconds(uint64_t microseconds);
  void SetLocalTime(const LocalDateTime& when);
  void SetCalendarSeconds(int64_t seconds);
  uint64_t SleptMilliseconds() const { return slept_ms_.load(); }

 private:
  std::atomic<uint64_t> now_us_;
  std::atomic<uint64_t> slept_ms_{0};
  std::atomic<int64_t> calendar_seconds_{946684800};
  LocalDateTime local_;
};

// The clock in use; a RealClock unless a test installed another.
Clock& GetClock();
// Installs a clock (not owned); nullptr restores the real clock.
void SetClock(Clock* clock);
// The clock SetClock installed (null: the real clock).
Clock* InstalledClock();

// Installs a clock for the lifetime of the object.
class ScopedClock {
 public:
  // Installs clock; the destructor puts back the clock it replaced.
  explicit ScopedClock(Clock& clock) : replaced_(InstalledClock()) { SetClock(&clock); }
  ~ScopedClock() { SetClock(replaced_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* replaced_;
};

}  // namespace platform
