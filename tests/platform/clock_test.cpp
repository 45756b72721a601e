// The virtual clock that tests install, and the process-wide clock slot.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

TEST(VirtualClockTest, SleepAdvancesTimeAtOnce) {
  VirtualClock clock(5'000'000);  // 5 s
  EXPECT_EQ(clock.Milliseconds(), 5000u);
  clock.Sleep(17);
  clock.Sleep(0);
  EXPECT_EQ(clock.Milliseconds(), 5017u);
  EXPECT_EQ(clock.Microseconds(), 5'017'000u);
  EXPECT_EQ(clock.SleptMilliseconds(), 17u);
  clock.AdvanceMicroseconds(999);
  EXPECT_EQ(clock.Milliseconds(), 5017u);  // whole milliseconds only
  clock.AdvanceMicroseconds(1);
  EXPECT_EQ(clock.Milliseconds(), 5018u);
  clock.Advance(2);
  EXPECT_EQ(clock.Microseconds(), 5'020'000u);
  EXPECT_EQ(clock.SleptMilliseconds(), 17u);  // advancing is not sleeping
}

// Microsecond sleeps: exact on the virtual clock (and not counted as
// millisecond sleeps), at least as long on the real one.
TEST(VirtualClockTest, MicrosecondSleepsAdvanceExactly) {
  VirtualClock clock(1'000);
  clock.SleepMicroseconds(25);
  clock.SleepMicroseconds(0);
  clock.SleepMicroseconds(999'975);
  EXPECT_EQ(clock.Microseconds(), 1'001'000u);
  EXPECT_EQ(clock.Milliseconds(), 1001u);
  EXPECT_EQ(clock.SleptMilliseconds(), 0u);
  RealClock real;
  const uint64_t before = real.Microseconds();
  real.SleepMicroseconds(300);
  EXPECT_GE(real.Microseconds() - before, 300u);
}

TEST(VirtualClockTest, MillisecondsWrapAt32Bits) {
  VirtualClock clock(((uint64_t{1} << 32) - 2000) * 1000);
  EXPECT_EQ(clock.Milliseconds(), 0xFFFFF830u);
  clock.Sleep(2000);
  EXPECT_EQ(clock.Milliseconds(), 0u);
  clock.Sleep(5);
  EXPECT_EQ(static_cast<uint32_t>(clock.Milliseconds() - 0xFFFFF830u), 2005u);
}

TEST(VirtualClockTest, CalendarIsWhatTheTestSets) {
  VirtualClock clock;
  LocalDateTime when;
  when.year = 2024;
  when.month = 2;
  when.day = 29;
  when.hour = 23;
  clock.SetLocalTime(when);
  EXPECT_EQ(clock.LocalTime().year, 2024);
  EXPECT_EQ(clock.LocalTime().day, 29);
  clock.SetCalendarSeconds(1234);
  EXPECT_EQ(clock.CalendarSeconds(), 1234);
}

TEST(ClockSlotTest, ScopedClockInstallsAndRestores) {
  Clock* real = &GetClock();
  {
    VirtualClock clock(42'000);
    ScopedClock scoped(clock);
    EXPECT_EQ(&GetClock(), &clock);
    GetClock().Sleep(100'000);  // a long sleep returns at once
    EXPECT_EQ(GetClock().Milliseconds(), 100'042u);
  }
  EXPECT_EQ(&GetClock(), real);

  // Nested: each puts back the clock it replaced, not the real one.
  VirtualClock outer(1'000);
  {
    ScopedClock scoped_outer(outer);
    {
      VirtualClock inner(2'000);
      ScopedClock scoped_inner(inner);
      EXPECT_EQ(&GetClock(), &inner);
    }
    EXPECT_EQ(&GetClock(), &outer);
  }
  EXPECT_EQ(&GetClock(), real);
}

TEST(ClockSlotTest, VirtualSleepsFromSeveralThreadsAddUp) {
  VirtualClock clock;
  std::thread a([&] { for (int i = 0; i < 1000; ++i) clock.Sleep(1); });
  std::thread b([&] { for (int i = 0; i < 1000; ++i) clock.Sleep(2); });
  a.join();
  b.join();
  EXPECT_EQ(clock.Milliseconds(), 3000u);
  EXPECT_EQ(clock.SleptMilliseconds(), 3000u);
}

TEST(RealClockTest, MicrosecondsDoNotGoBack) {
  RealClock clock;
  uint64_t previous = clock.Microseconds();
  for (int i = 0; i < 1000; ++i) {
    uint64_t now = clock.Microseconds();
    EXPECT_GE(now, previous);
    previous = now;
  }
  uint64_t before = clock.Microseconds();
  clock.Sleep(2);
  EXPECT_GE(clock.Microseconds() - before, 2000u);
  LocalDateTime when = clock.LocalTime();
  EXPECT_GE(when.year, 2020);
  EXPECT_GE(when.month, 1);
  EXPECT_LE(when.month, 12);
  EXPECT_GT(clock.CalendarSeconds(), 1'600'000'000);
}

}  // namespace
}  // namespace platform
