// Microsecond clock, local date and time, and the timer-precision test.
#include "engine/core/base/library_timing.h"

#include <cstdio>

#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "platform/clock.h"

namespace {

// The multimedia timer's minimum period here, in milliseconds.
constexpr int kMinimumTimerPeriod = 1;
// Upper bound of message passes in the precision test.
constexpr uint32_t kMaxPrecisionPasses = 200000;

uint64_t ScaleToMicroseconds(uint64_t count, uint64_t per_second) {
  if (per_second == 0) return 0;
  const unsigned __int128 product = static_cast<unsigned __int128>(count) * 1000000u;
  return static_cast<uint64_t>(product / per_second);
}

}  // namespace

uint64_t GetMicroseconds(int use_time_stamp_counter) {
  const MachineFacts facts = GetMachineFacts();
  if (use_time_stamp_counter == 1 && facts.time_stamp_counter != 0 &&
      GetInitializedFlag() != 0 && facts.cycles_per_second != 0) {
    return ScaleToMicroseconds(ReadTimeStampCounter(), facts.cycles_per_second);
  }
  if (facts.performance_counter != 0 && facts.performance_frequency > 0) {
    return ScaleToMicroseconds(ReadPerformanceCounter(),
                               static_cast<uint64_t>(facts.performance_frequency));
  }
  return static_cast<uint64_t>(platform::GetClock().Milliseconds()) * 1000u;
}

int GetLocalDateTime(DateTimeRecord* record) {
  if (record == nullptr) return 0;
  const platform::LocalDateTime now = platform::GetClock().LocalTime();
  record->year = now.year;
  record->month = now.month;
  record->day = now.day;
  record->hour = now.hour;
  record->minute = now.minute;
  record->second = now.second;
  return 0;
}

void TestTimerPrecision(int (*process_message)()) {
  MachineFacts facts = GetMachineFacts();
  facts.performance_frequency = kPerformanceFrequency;
  facts.performance_counter = facts.performance_frequency != 0 ? 1 : 0;
  SetMachineFacts(facts);
  if (facts.performance_counter == 0) return;

  WriteLog("タイマーの精度を検査します\n");
  platform::Clock& clock = platform::GetClock();
  int millisecond_changes = 0;
  int counter_changes = 0;
  uint32_t last_ms = clock.Milliseconds();
  uint64_t last_counter = ReadPerformanceCounter();
  const uint32_t start = last_ms;
  uint32_t passes = 0;
  int pumped = process_message != nullptr ? process_message() : 0;
  while (pumped == 0) {
    if (millisecond_changes >= 60 || counter_changes >= 60) break;
    if (clock.Milliseconds() - start >= 1000u) break;
    if (++passes > kMaxPrecisionPasses) break;
    const uint64_t counter = ReadPerformanceCounter();
    if (counter != last_counter) {
      ++counter_changes;
      last_counter = counter;
    }
    const uint32_t ms = clock.Milliseconds();
    if (ms != last_ms) {
      ++millisecond_changes;
      last_ms = ms;
    }
    pumped = process_message != nullptr ? process_message() : 0;
  }

  char text[256];
  std::snprintf(text, sizeof text,
                "精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d",
                millisecond_changes, counter_changes);
  WriteLog(text);
  WriteLog(" ");
  if (millisecond_changes > counter_changes) {
    std::snprintf(text, sizeof text, "マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ",
                  kMinimumTimerPeriod);
    facts.performance_counter = 0;
    SetMachineFacts(facts);
  } else {
    std::snprintf(text, sizeof text,
                  "パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                  static_cast<double>(facts.performance_frequency) * 0.001);
  }
  WriteLog(text);
  WriteLog(" ");
}
