// The library's time sources built on the facts start-up records: the
// microsecond clock (time-stamp counter, performance counter or millisecond
// clock), the local date and time, and the timer-precision test the main
// window runs at start-up to choose between the millisecond clock and the
// performance counter. Every read of the time goes through the platform
// clock.
#pragma once

#include <cstdint>

// Microseconds. With use_time_stamp_counter 1, a time-stamp counter and an
// initialised library: counter × 1,000,000 / cycles per second; else, with
// the performance counter in use: counter × 1,000,000 / its frequency; else
// the millisecond clock × 1000. Products are formed in 128 bits.
uint64_t GetMicroseconds(int use_time_stamp_counter);

struct DateTimeRecord {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Local year, month, day, hour, minute and second. Returns 0.
int GetLocalDateTime(DateTimeRecord* record);

// Counts how often the millisecond clock and the performance counter change
// while the message pump runs (at most 60 changes of either, 1000 ms, or
// until process_message returns non-zero) and keeps the performance counter
// in use only when it changed at least as often; logs the result. The
// number of passes is bounded as well, so a clock that stands still (a test
// clock) cannot hold start-up.
void TestTimerPrecision(int (*process_message)());
