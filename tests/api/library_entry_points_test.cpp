// The library group of entry points: the millisecond count, the two waiting
// entries (pumping, early end on quit, the clock's wrap), the log switch,
// and the library's time sources.
#include "engine/api/library_entry_points.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/api/input_entry_points.h"
#include "engine/core/input/input_setup.h"
#include "platform/input_devices.h"
#include "platform/scan_codes.h"

#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/library_timing.h"
#include "engine/core/base/start_directory.h"
#include "tests/api/library_test_fixture.h"

namespace {

class LibraryEntryPointsTest : public LibraryFixture {
 protected:
  void SetUp() override {
    LibraryFixture::SetUp();
    services_.window.process_message = [this] {
      ++pumps_;
      EXPECT_TRUE(GetApiLockState().held) << "the pass runs under the lock";
      return (quit_after_ >= 0 && pumps_ >= quit_after_) ? -1 : 0;
    };
  }
  int pumps_ = 0;
  int quit_after_ = -1;  // the pass that reports quit, -1 never
};

TEST_F(LibraryEntryPointsTest, MillisecondCountReadsTheClockUnderTheLock) {
  clock_.Advance(1234);
  EXPECT_EQ(GetMillisecondCount(0), 5000 + 1234);
  EXPECT_EQ(GetMillisecondCount(99), 5000 + 1234) << "the argument is ignored";
  EXPECT_TRUE(GetApiLockState().initialised);
  EXPECT_FALSE(GetApiLockState().held);
}

TEST_F(LibraryEntryPointsTest, WaitMillisecondsSleepsAndPumps) {
  struct Case {
    int milliseconds;
    int quit_after;
    uint64_t slept;
    int pumps;
  };
  const Case cases[] = {
      {50, -1, 50, 51},  // one pass, then a pass after every 1 ms sleep
      {0, -1, 0, 1},
      {1, -1, 1, 2},
      {-5, -1, 0, 1},    // a negative wait ends at once
      {50, 1, 0, 1},     // the library quit before the wait began
      {50, 10, 9, 10},   // quit during the wait
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.milliseconds) + " quit after " + std::to_string(c.quit_after));
    pumps_ = 0;
    quit_after_ = c.quit_after;
    const uint64_t slept_before = clock_.SleptMilliseconds();
    EXPECT_EQ(WaitMilliseconds(c.milliseconds), 0);
    EXPECT_EQ(clock_.SleptMilliseconds() - slept_before, c.slept);
    EXPECT_EQ(pumps_, c.pumps);
    EXPECT_FALSE(GetApiLockState().held);
  }
}

// The wait ends on time where the millisecond count changes sign and where
// it wraps to 0 (a signed comparison with start + n would end the first at
// once and hold the second for weeks).
TEST_F(LibraryEntryPointsTest, WaitMillisecondsAcrossTheCountersSignChangeAndWrap) {
  for (uint64_t start_ms : {0x7FFFFFF0ull, 0xFFFFFFF0ull}) {
    SCOPED_TRACE(start_ms);
    platform::VirtualClock clock(start_ms * 1000);
    platform::SetClock(&clock);
    WaitMilliseconds(100);
    EXPECT_EQ(clock.SleptMilliseconds(), 100u);
    platform::SetClock(&clock_);
  }
}

// WaitForAnyInput reads the inputs through the input layer itself, whatever
// input service is installed (here the fakes, which open no device and have
// no window): each message pass moves a script of held inputs on.
class WaitForAnyInputTest : public LibraryEntryPointsTest {
 protected:
  void SetUp() override {
    LibraryEntryPointsTest::SetUp();
    platform::ReleaseAllFakeKeys();
    platform::SetFakeMouseButtons(0);
    services_.window.process_message = [this] {
      ++pumps_;
      EXPECT_TRUE(GetApiLockState().held) << "the pass runs under the lock";
      if (on_pass_) on_pass_(pumps_);
      return (quit_after_ >= 0 && pumps_ >= quit_after_) ? -1 : 0;
    };
    // The library starts the input devices at start-up; the first check
    // would otherwise only start them.
    ASSERT_EQ(FindPressedInput(7), 0);
  }
  void TearDown() override {
    TerminateInput();
    platform::ReleaseAllFakeKeys();
    platform::SetFakeMouseButtons(0);
    LibraryEntryPointsTest::TearDown();
  }
  std::function<void(int pass)> on_pass_;
};

TEST_F(WaitForAnyInputTest, WaitsForReleaseThenPress) {
  struct Case {
    const char* what;
    std::function<void()> press;
    int result;
  } cases[] = {
      {"a key", [] { platform::SetFakeKey(platform::dik::kReturn, true); }, platform::dik::kReturn},
      {"a mouse button", [] { platform::SetFakeMouseButtons(1); }, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pumps_ = 0;
    quit_after_ = 1000;  // a wait that never ends fails rather than hangs
    const uint64_t slept_before = clock_.SleptMilliseconds();
    // Passes 1-3: A is still held from before; 4-5: nothing; 6: the press.
    on_pass_ = [&](int pass) {
      if (pass == 1) platform::SetFakeKey(platform::dik::kA, true);
      if (pass == 4) platform::SetFakeKey(platform::dik::kA, false);
      if (pass == 6) c.press();
    };
    EXPECT_EQ(WaitForAnyInput(), c.result);
    EXPECT_EQ(pumps_, 6);
    // Sleeps: three while A was held, one while nothing was pressed.
    EXPECT_EQ(clock_.SleptMilliseconds() - slept_before, 4u);
    EXPECT_FALSE(GetApiLockState().held);
    platform::ReleaseAllFakeKeys();
    platform::SetFakeMouseButtons(0);
  }
}

TEST_F(WaitForAnyInputTest, EndsWithZeroWhenTheLibraryQuits) {
  quit_after_ = 1;
  EXPECT_EQ(WaitForAnyInput(), 0);
  EXPECT_EQ(pumps_, 2);

  // A key held until the library quits.
  pumps_ = 0;
  quit_after_ = 5;
  platform::SetFakeKey(platform::dik::kEscape, true);
  EXPECT_EQ(WaitForAnyInput(), 0);
  EXPECT_EQ(pumps_, 6) << "the pass that quit, then the pass before the press phase";
}

TEST_F(LibraryEntryPointsTest, EnableLogOutputSwitchesTheLog) {
  SetStartDirectory(start_dir_);
  EXPECT_EQ(EnableLogOutput(0), 0);
  CreateLogFile();
  WriteLog("hidden\n");
  EXPECT_EQ(ReadLog(), "");
  EXPECT_EQ(EnableLogOutput(1), 0);
  CreateLogFile();
  WriteLog("shown\n");
  EXPECT_NE(ReadLog().find("shown\r\n"), std::string::npos);
  EXPECT_FALSE(GetApiLockState().held);
}

TEST_F(LibraryEntryPointsTest, MicrosecondsFollowTheChosenSource) {
  clock_.AdvanceMicroseconds(789);  // 5,000,789 µs
  MachineFacts facts;
  facts.performance_counter = 1;
  facts.performance_frequency = kPerformanceFrequency;
  SetMachineFacts(facts);
  EXPECT_EQ(GetMicroseconds(0), 5000789u);
  facts.performance_counter = 0;
  SetMachineFacts(facts);
  EXPECT_EQ(GetMicroseconds(0), 5000000u) << "the millisecond clock × 1000";
  // The time-stamp counter only counts for an initialised library.
  facts.time_stamp_counter = 1;
  facts.cycles_per_second = 1;
  SetMachineFacts(facts);
  EXPECT_EQ(GetMicroseconds(1), 5000000u);
}

TEST_F(LibraryEntryPointsTest, LocalDateTime) {
  platform::LocalDateTime when;
  when.year = 2024;
  when.month = 2;
  when.day = 29;
  when.hour = 23;
  when.minute = 59;
  when.second = 58;
  when.millisecond = 999;
  clock_.SetLocalTime(when);
  DateTimeRecord record;
  EXPECT_EQ(GetLocalDateTime(&record), 0);
  EXPECT_EQ(record.year, 2024);
  EXPECT_EQ(record.month, 2);
  EXPECT_EQ(record.day, 29);
  EXPECT_EQ(record.hour, 23);
  EXPECT_EQ(record.minute, 59);
  EXPECT_EQ(record.second, 58);
}

int g_timer_passes = 0;
platform::VirtualClock* g_timer_clock = nullptr;
int StillClockPass() {
  ++g_timer_passes;
  return 0;
}
int MicrosecondPass() {
  ++g_timer_passes;
  g_timer_clock->AdvanceMicroseconds(1);
  return 0;
}

// The precision test ends even when the clock stands still, and keeps the
// performance counter when it changed at least as often as the millisecond
// clock.
TEST_F(LibraryEntryPointsTest, TimerPrecisionTestEnds) {
  SetStartDirectory(start_dir_);
  CreateLogFile();
  g_timer_clock = &clock_;
  g_timer_passes = 0;
  TestTimerPrecision(&StillClockPass);
  EXPECT_GT(g_timer_passes, 1);
  EXPECT_EQ(GetMachineFacts().performance_counter, 1);

  g_timer_passes = 0;
  TestTimerPrecision(&MicrosecondPass);
  EXPECT_EQ(g_timer_passes, 61) << "60 counter changes end the test";
  const std::string log = ReadLog();
  EXPECT_NE(log.find("マルチメディアタイマー：0  パフォーマンスカウンター：0"), std::string::npos);
  EXPECT_NE(log.find("マルチメディアタイマー：0  パフォーマンスカウンター：60"), std::string::npos);
  EXPECT_NE(log.find("パフォーマンスカウンターを使用します タイマー分解能 : 1000.000000 KHz "),
            std::string::npos);
  EXPECT_EQ(GetMachineFacts().performance_counter, 1);
}

}  // namespace
