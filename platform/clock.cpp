// Real and virtual clocks, and the process-wide clock selection.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>
#include <sys/time.h>
#include <thread>

namespace platform {
namespace {

uint64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u +
         static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

std::atomic<Clock*> g_installed_clock{nullptr};

RealClock& TheRealClock() {
  static RealClock real_clock;
  return real_clock;
}

}  // namespace

void Clock::SleepMicroseconds(uint32_t microseconds) {
  Sleep(static_cast<uint32_t>((static_cast<uint64_t>(microseconds) + 999u) / 1000u));
}

RealClock::RealClock() : origin_us_(MonotonicMicroseconds()) {}

// The millisecond tick counts from the machine's start, as a system tick
// count does; it wraps after about 49.7 days.
uint32_t RealClock::Milliseconds() {
  return static_cast<uint32_t>(MonotonicMicroseconds() / 1000u);
}

uint64_t RealClock::Microseconds() { return MonotonicMicroseconds() - origin_us_; }

void RealClock::Sleep(uint32_t milliseconds) {
  timespec remaining{};
  remaining.tv_sec = static_cast<time_t>(milliseconds / 1000u);
  remaining.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void RealClock::SleepMicroseconds(uint32_t microseconds) {
  if (microseconds == 0) {
    std::this_thread::yield();
    return;
  }
  timespec remaining{};
  remaining.tv_sec = static_cast<time_t>(microseconds / 1000000u);
  remaining.tv_nsec = static_cast<long>(microseconds % 1000000u) * 1000L;
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

LocalDateTime RealClock::LocalTime() {
  timeval now{};
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  tm parts{};
  localtime_r(&seconds, &parts);
  LocalDateTime when;
  when.year = parts.tm_year + 1900;
  when.month = parts.tm_mon + 1;
  when.day = parts.tm_mday;
  when.hour = parts.tm_hour;
  when.minute = parts.tm_min;
  when.second = parts.tm_sec;
  when.millisecond = static_cast<int>(now.tv_usec / 1000);
  when.weekday = parts.tm_wday;
  return when;
}

int64_t RealClock::CalendarSeconds() { return static_cast<int64_t>(time(nullptr)); }

VirtualClock::VirtualClock(uint64_t start_microseconds) : now_us_(start_microseconds) {}

uint32_t VirtualClock::Milliseconds() {
  return static_cast<uint32_t>(now_us_.load() / 1000u);
}

uint64_t VirtualClock::Microseconds() { return now_us_.load(); }

void VirtualClock::Sleep(uint32_t milliseconds) {
  now_us_.fetch_add(static_cast<uint64_t>(milliseconds) * 1000u);
  slept_ms_.fetch_add(milliseconds);
  std::this_thread::yield();
}

void VirtualClock::SleepMicroseconds(uint32_t microseconds) {
  now_us_.fetch_add(microseconds);
  std::this_thread::yield();
}

LocalDateTime VirtualClock::LocalTime() { return local_; }

int64_t VirtualClock::CalendarSeconds() { return calendar_seconds_.load(); }

void VirtualClock::Advance(uint64_t milliseconds) { now_us_.fetch_add(milliseconds * 1000u); }

void VirtualClock::AdvanceMicroseconds(uint64_t microseconds) {
  now_us_.fetch_add(microseconds);
}

void VirtualClock::SetLocalTime(const LocalDateTime& when) { local_ = when; }

void VirtualClock::SetCalendarSeconds(int64_t seconds) { calendar_seconds_.store(seconds); }

Clock& GetClock() {
  Clock* installed = g_installed_clock.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : TheRealClock();
}

void SetClock(Clock* clock) { g_installed_clock.store(clock, std::memory_order_release); }

Clock* InstalledClock() { return g_installed_clock.load(std::memory_order_acquire); }

}  // namespace platform
