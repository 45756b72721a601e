// The simulated 60 Hz raster in virtual time: blank and scan line at chosen
// instants, the queries' yield, vertical-blank waits and flips.
#include <cstdint>
#include <vector>

#include "display/display_fixture.h"
#include "platform/display/raster.h"

namespace display_test {
namespace {

// The first 5 % of each 16,666.67 us period is the blank; the line then
// runs linearly; the phase shifts the raster against the clock.
TEST(RasterTest, BlankAndLineAtChosenInstants) {
  test::ResetDisplayControls();
  struct Case {
    uint64_t phase;
    uint64_t us;
    uint32_t lines;
    bool in_blank;
    uint32_t line;
  };
  const Case cases[] = {
      {0, 0, 480, true, 480},         {0, 833, 480, true, 480},     {0, 834, 480, false, 0},
      {0, 8750, 480, false, 240},     {0, 16666, 480, false, 479},  {0, 16667, 480, true, 480},
      {0, 50000, 480, true, 480},     {0, 8750, 768, false, 384},   {100, 733, 480, true, 480},
      {100, 734, 480, false, 0},      {100, 16566, 480, false, 479}, {100, 16567, 480, true, 480},
  };
  for (const Case& c : cases) {
    test::SetRasterPhase(c.phase);
    const RasterState state = RasterAt(c.us, c.lines);
    EXPECT_EQ(state.in_blank, c.in_blank) << c.phase << " " << c.us;
    EXPECT_EQ(state.line, c.line) << c.phase << " " << c.us;
  }
  test::ResetDisplayControls();
}

// Each query yields 25 us of clock time and answers for the instant after.
TEST_F(DisplayTest, QueriesYieldAndAnswerFromTheRaster) {
  ASSERT_EQ(clock_.Microseconds(), 1'000'000u);  // a blank begins here at phase 0
  bool in_blank = false;
  ASSERT_EQ(device_->GetVerticalBlankStatus(&in_blank), Result::kOk);
  EXPECT_TRUE(in_blank);
  EXPECT_EQ(clock_.Microseconds(), 1'000'025u);
  uint32_t line = 0;
  EXPECT_EQ(device_->GetScanLine(&line), Result::kVerticalBlankInProgress);
  EXPECT_EQ(line, 768u);  // the desktop's height
  clock_.AdvanceMicroseconds(8'750 - 75);
  ASSERT_EQ(device_->GetScanLine(&line), Result::kOk);
  EXPECT_EQ(clock_.Microseconds(), 1'008'750u);
  EXPECT_EQ(line, 384u);
  EXPECT_EQ(device_->GetVerticalBlankStatus(nullptr), Result::kInvalidParams);
}

// Waiting for the next blank from one blank to the next measures 16 or
// 17 ms by where the blank falls within a millisecond.
TEST_F(DisplayTest, BlankToBlankMeasures16Or17MillisecondsByPhase) {
  struct Case {
    uint64_t phase;
    uint32_t first_blank_ms;
    uint32_t measured_ms;
  };
  for (const Case& c : {Case{667, 1016, 16}, Case{167, 1016, 17}}) {
    platform::VirtualClock clock(1'000'000);
    platform::SetClock(&clock);
    test::SetRasterPhase(c.phase);
    ASSERT_EQ(device_->WaitForVerticalBlank(kWaitBlankBegin), Result::kOk);
    const uint32_t start = clock.Milliseconds();
    EXPECT_EQ(start, c.first_blank_ms);
    ASSERT_EQ(device_->WaitForVerticalBlank(kWaitBlankBegin), Result::kOk);
    EXPECT_EQ(clock.Milliseconds() - start, c.measured_ms) << c.phase;
    platform::SetClock(&clock_);
  }
  EXPECT_EQ(device_->WaitForVerticalBlank(0), Result::kInvalidParams);
}

// A frame-time loop that polls the raster, as a mode change measures it:
// every poll advances virtual time, so the loop ends. At this phase blanks
// begin at 999.333, 1016.000, 1032.667, 1049.333, 1066.000, 1082.667 and
// 1099.333 ms; the loop starts at 1000 ms inside the first one.
TEST_F(DisplayTest, PollingLoopsEndInVirtualTime) {
  test::SetRasterPhase(667);
  std::vector<uint32_t> times;
  uint64_t polls = 0;
  bool in_blank = false;
  uint32_t line = 0;
  do {
    device_->GetVerticalBlankStatus(&in_blank);
    ++polls;
  } while (!in_blank);
  for (int frame = 0; frame < 6; ++frame) {
    const uint32_t t0 = clock_.Milliseconds();
    do {
      device_->GetVerticalBlankStatus(&in_blank);
      ++polls;
    } while (in_blank);
    device_->GetScanLine(&line);
    const uint32_t s0 = line;
    for (;;) {
      device_->GetVerticalBlankStatus(&in_blank);
      const Result r = device_->GetScanLine(&line);
      polls += 2;
      if (in_blank || r == Result::kVerticalBlankInProgress || line < s0) break;
    }
    times.push_back(clock_.Milliseconds() - t0);
  }
  EXPECT_LT(polls, 6u * 1000u);
  EXPECT_EQ(times, (std::vector<uint32_t>{16, 16, 17, 17, 16, 17}));
}

// Flip waits for the next blank unless told not to; the blank-end wait ends
// at the next blank's end.
TEST_F(DisplayTest, FlipWaitsForTheNextBlank) {
  EnterFullScreen(640, 480, 32);
  SurfacePtr front = MakePrimary(kCapsPrimary | kCapsFlip | kCapsComplex, 1);
  clock_.AdvanceMicroseconds(5'000);
  ASSERT_EQ(front->Flip(kFlipNoVSync), Result::kOk);
  EXPECT_EQ(clock_.Microseconds(), 1'005'000u);
  ASSERT_EQ(front->Flip(kFlipWait), Result::kOk);
  EXPECT_EQ(clock_.Microseconds(), 1'016'667u);
  ASSERT_EQ(front->Flip(kFlipWait), Result::kOk);  // at a blank's start: the next one
  EXPECT_EQ(clock_.Microseconds(), 1'033'334u);
  ASSERT_EQ(device_->WaitForVerticalBlank(kWaitBlankEnd), Result::kOk);
  EXPECT_EQ(clock_.Microseconds(), 1'034'167u);
  ASSERT_EQ(device_->WaitForVerticalBlank(kWaitBlankEnd), Result::kOk);
  EXPECT_EQ(clock_.Microseconds(), 1'050'834u);
}

}  // namespace
}  // namespace display_test
