// The message pass with injected events: sweeps, per-pass work, activation,
// close, keys, typed characters, the wheel and display changes.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/input/input_any_check.h"
#include "platform/display/device_context.h"
#include "platform/display/window_presenter.h"
#include "platform/scan_codes.h"
#include "tests/core/window_test_fixture.h"

namespace {

using Kind = platform::WindowEventKind;

class MessagePassTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
      services_.text_input.push_input_char = [this](uint8_t code) { pushed_.push_back(code); };
  }
  std::vector<uint8_t> pushed_;
};

TEST_F(MessagePassTest, ActiveWindowWithEmptyQueueRunsOneSweepAndThePerPassWork) {
  OpenWindow();
  std::vector<std::string> calls;
  services_.sound.refill_all_stream_sounds = [&] { calls.push_back("refill"); };
  services_.sound.update_midi_play_state = [&] { calls.push_back("midi"); };
  services_.network.pump_network_window = [&](int flag) { calls.push_back("network" + std::to_string(flag)); };
  services_.network.run_http_tasks = [&] { calls.push_back("http"); };
  services_.text_input.update_key_input = [&] {
    calls.push_back("keyinput");
    // The text-input step may pump again: that call must not recurse.
    EXPECT_EQ(ProcessMessage(), 0);
  };
  const uint64_t slept = clock_.SleptMilliseconds();
  EXPECT_EQ(ProcessMessage(), 0);
  EXPECT_EQ(GetLastMessagePassTrace().sweeps, 1);
  EXPECT_EQ(clock_.SleptMilliseconds(), slept);  // an active window never sleeps
  EXPECT_EQ(calls, (std::vector<std::string>{"refill", "midi", "network1", "http", "keyinput"}));
}

// A repaint before start-up has finished paints the client area black; after
// it, with the back screen as the target, shows the back screen; in full
// screen draws nothing.
TEST_F(MessagePassTest, PaintBeforeStartUpFillsTheClientAreaBlack) {
  struct Case {
    const char* what;
    bool full_screen;
    int initialised;
    bool black;
    int presents;
  } cases[] = {
      {"before start-up", false, 0, true, 0},
      {"after start-up", false, 1, false, 1},
      {"full screen", true, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenWindow(c.full_screen);
    int presents = 0;
    services_.graphics.present_back_screen_for_paint = [&] { ++presents; };
    services_.graphics.get_draw_target = [] { return -2; };
    // Whatever the window showed before: a white client area.
    platform::display::WindowImageCopy before;
    ASSERT_TRUE(platform::display::CopyWindowImage(&before));
    platform::display::DibDescription white;
    white.width = before.width;
    white.height = -before.height;
    white.bit_count = 32;
    const std::vector<uint32_t> pixels(static_cast<size_t>(before.width) * static_cast<size_t>(before.height),
                                       0x00FFFFFFu);
    platform::display::DeviceContextPtr dc = platform::display::GetWindowDC();
    ASSERT_EQ(platform::display::SetDIBitsToDevice(dc.get(), 0, 0, before.width, before.height, 0, 0, 0,
                                                   before.height, pixels.data(), white),
              before.height);
    SetInitializedFlag(c.initialised);
    Push(Kind::kExposed);
    EXPECT_EQ(ProcessMessage(), 0);
    platform::display::WindowImageCopy after;
    ASSERT_TRUE(platform::display::CopyWindowImage(&after));
    const uint32_t expected = c.black ? 0x000000u : 0xFFFFFFu;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{after.width - 1, after.height - 1},
                               std::pair{after.width / 2, after.height / 3}}) {
      EXPECT_EQ(after.Rgb(x, y), expected) << x << "," << y;
    }
    EXPECT_EQ(presents, c.presents);
    SetInitializedFlag(0);
    services_.graphics = FakeGraphics();
    DestroyMainWindow();
    ResetWindowData();
    SetQuitFlag(0);
    SetWindowCaption(title_.c_str());
  }
}

TEST_F(MessagePassTest, TwelveMessagesGoInSweepsOfFiveFiveAndTwo) {
  OpenWindow();
  for (int i = 0; i < 12; ++i) Push(Kind::kCharacter, 'a' + i);
  EXPECT_EQ(ProcessMessage(), 0);
  const MessagePassTrace& trace = GetLastMessagePassTrace();
  ASSERT_EQ(trace.sweeps, 4);
  EXPECT_EQ(trace.messages[0], 5);
  EXPECT_EQ(trace.messages[1], 5);
  EXPECT_EQ(trace.messages[2], 2);
  EXPECT_EQ(trace.messages[3], 0);
  ASSERT_EQ(pushed_.size(), 12u);
  EXPECT_EQ(pushed_.front(), 'a');
  EXPECT_EQ(pushed_.back(), 'a' + 11);
}

TEST_F(MessagePassTest, TypedCharactersAreFilteredAndLineFeedBecomesReturn) {
  OpenWindow();
  struct Case {
    int typed;
    int pushed;  // -1: nothing
  } cases[] = {{0x0A, 0x0D}, {0x41, 0x41}, {0x20, 0x20}, {0x08, 0x08}, {0x09, 0x09},
               {0x0D, 0x0D}, {0x10, 0x10}, {0x1B, 0x1B}, {0x01, -1},   {0x1F, -1},
               {0x83, 0x83}, {0x5C, 0x5C}};
  for (const Case& c : cases) {
    pushed_.clear();
    Push(Kind::kCharacter, c.typed);
    ProcessMessage();
    if (c.pushed < 0) {
      EXPECT_TRUE(pushed_.empty()) << "typed " << c.typed;
    } else {
      EXPECT_EQ(pushed_, std::vector<uint8_t>{static_cast<uint8_t>(c.pushed)}) << "typed " << c.typed;
    }
  }
}

TEST_F(MessagePassTest, KeyDownPushesOnlyTheControlKeys) {
  OpenWindow();
  namespace dik = platform::dik;
  struct Case {
    uint8_t key;
    int pushed;
  } cases[] = {{dik::kLeft, 0x1D}, {dik::kRight, 0x1C}, {dik::kUp, 0x1E}, {dik::kDown, 0x1F},
               {dik::kDelete, 0x10}, {dik::kA, -1}, {dik::kReturn, -1}, {dik::kF1, -1}};
  for (const Case& c : cases) {
    pushed_.clear();
    Push(Kind::kKeyDown, c.key);
    ProcessMessage();
    if (c.pushed < 0) {
      EXPECT_TRUE(pushed_.empty()) << "key " << int{c.key};
    } else {
      EXPECT_EQ(pushed_, std::vector<uint8_t>{static_cast<uint8_t>(c.pushed)}) << "key " << int{c.key};
    }
  }
  // A full ring takes nothing.
  services_.text_input.is_input_char_ring_full = [] { return true; };
  pushed_.clear();
  Push(Kind::kKeyDown, dik::kLeft);
  ProcessMessage();
  EXPECT_TRUE(pushed_.empty());
}

TEST_F(MessagePassTest, WheelCountsOneNotchPerMessageAndIsResetWhenTaken) {
  OpenWindow();
  Push(Kind::kMouseWheel, 0, 1);
  Push(Kind::kMouseWheel, 0, 3);
  Push(Kind::kMouseWheel, 0, -2);
  Push(Kind::kMouseWheel, 0, 1);
  ProcessMessage();
  EXPECT_EQ(TakeMouseWheelCount(), 2);
  EXPECT_EQ(TakeMouseWheelCount(), 0);
}

TEST_F(MessagePassTest, CloseRequestDestroysTheWindowAndEveryLaterPassReportsQuit) {
  OpenWindow();
  EXPECT_EQ(ProcessMessage(), 0);
  Push(Kind::kCloseRequested);
  EXPECT_EQ(ProcessMessage(), -1);
  EXPECT_EQ(GetQuitFlag(), 1);
  EXPECT_EQ(GetWindowData().destroyed, 1);
  EXPECT_FALSE(HasMainWindowHandle());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ProcessMessage(), -1);
  EXPECT_EQ(DestroyMainWindow(), 0);
  EXPECT_EQ(ProcessMessage(), -1);
}

TEST_F(MessagePassTest, QuitMessageSetsTheQuitFlag) {
  OpenWindow();
  Push(Kind::kQuit);
  EXPECT_EQ(ProcessMessage(), -1);
  EXPECT_EQ(ProcessMessage(), -1);
}

TEST_F(MessagePassTest, ShutdownClosesTheWindowThroughItsOwnCloseRequest) {
  OpenWindow();
  EXPECT_EQ(DestroyMainWindow(), 0);
  EXPECT_FALSE(HasMainWindowHandle());
  EXPECT_EQ(GetWindowData().exit_requested, 1);
  EXPECT_EQ(GetQuitFlag(), 1);
  // The window can be made again afterwards (a later start-up).
  ResetWindowData();
  SetWindowCaption(title_.c_str());
  OpenWindow();
  EXPECT_EQ(ProcessMessage(), 0);
}

TEST_F(MessagePassTest, HeadlessWindowIsActiveAndNothingWaits) {
  OpenWindow();
  EXPECT_EQ(ReadActiveFlag(), 1);
  const uint64_t slept = clock_.SleptMilliseconds();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ProcessMessage(), 0);
  EXPECT_EQ(WaitWhileInactive(), 0);
  EXPECT_EQ(clock_.SleptMilliseconds(), slept);
}

TEST_F(MessagePassTest, InactiveWindowHoldsTheMainThreadUntilReactivated) {
  OpenWindow();
  std::vector<std::string> calls;
  services_.graphics.pause_all_movies = [&] { calls.push_back("pause"); };
  services_.graphics.resume_all_movies = [&] { calls.push_back("resume"); };
  services_.graphics.restore_lost_surfaces_2d = [&] { calls.push_back("restore2d"); };
  Push(Kind::kDeactivated);
  const uint64_t slept_before = clock_.SleptMilliseconds();
  std::atomic<bool> reactivated{false};
  std::thread helper([&] {
    // Let the pass wait a few (virtual) milliseconds, then bring the window
    // back.
    while (clock_.SleptMilliseconds() < slept_before + 5) std::this_thread::yield();
    reactivated = true;
    Push(Kind::kActivated);
  });
  EXPECT_EQ(ProcessMessage(), 0);
  helper.join();
  EXPECT_TRUE(reactivated.load());
  EXPECT_EQ(ReadActiveFlag(), 1);
  EXPECT_EQ(GetWindowData().inactive, 1);
  EXPECT_NE(GetWindowData().inactive_since, 0xFFFFFFFFu);
  EXPECT_GE(clock_.SleptMilliseconds(), slept_before + 5);
  // Deactivation arrives as two messages (application and window), each
  // handled as a deactivation.
  EXPECT_EQ(calls, (std::vector<std::string>{"pause", "pause", "restore2d", "resume"}));
}

TEST_F(MessagePassTest, RunningInBackgroundDoesNotHoldTheMainThread) {
  OpenWindow();
  SetRunInBackground(1);
  Push(Kind::kDeactivated);
  EXPECT_EQ(ProcessMessage(), 0);
  EXPECT_EQ(ReadActiveFlag(), 0);
  EXPECT_EQ(ProcessMessage(), 0);
  // Drawing in window mode goes on as well.
  EXPECT_EQ(WaitWhileInactive(), 0);
}

TEST_F(MessagePassTest, WaitWhileInactiveWaitsAndThenRefreshesTheGraphics) {
  OpenWindow();
  SetInitializedFlag(1);
  int refreshed = 0;
  services_.graphics.refresh_all_graphs = [&] { ++refreshed; };
  SetRunInBackground(1);
  Push(Kind::kDeactivated);
  ProcessMessage();
  ASSERT_EQ(ReadActiveFlag(), 0);
  SetRunInBackground(0);
  Push(Kind::kActivated);
  EXPECT_EQ(WaitWhileInactive(), 0);
  EXPECT_EQ(ReadActiveFlag(), 1);
  EXPECT_EQ(refreshed, 1);
  SetInitializedFlag(0);
}

TEST_F(MessagePassTest, DisplayChangeToTwentyFourBitsClosesTheProgram) {
  OpenWindow();
  services_.graphics.is_graph_reloader_set = [] { return true; };
  platform::WindowEvent change;
  change.kind = Kind::kDisplayChanged;
  change.value = 24;
  change.x = 1920;
  change.y = 1080;
  platform::PushWindowEvent(change);
  EXPECT_EQ(ProcessMessage(), -1);
  EXPECT_EQ(GetWindowData().exit_requested, 1);
  EXPECT_FALSE(HasMainWindowHandle());
}

TEST_F(MessagePassTest, DisplayChangeToTheSameModeOnlyNotesIt) {
  OpenWindow();
  services_.graphics.query_screen_mode = [](int32_t* w, int32_t* h, int32_t* bits) {
    *w = 640;
    *h = 480;
    *bits = 16;
  };
  platform::WindowEvent change;
  change.kind = Kind::kDisplayChanged;
  change.value = 16;
  change.x = 640;
  change.y = 480;
  platform::PushWindowEvent(change);
  EXPECT_EQ(ProcessMessage(), 0);
  EXPECT_EQ(GetWindowData().display_change_seen, 1);
  EXPECT_TRUE(HasMainWindowHandle());
}

TEST_F(MessagePassTest, AcceptedDisplayChangeRebuildsTheGraphics) {
  OpenWindow();
  std::vector<std::string> calls;
  services_.graphics.is_graph_reloader_set = [] { return true; };
  services_.graphics.release_all_movie_streams = [&] { calls.push_back("release"); };
  services_.graphics.setup_screen_color_format = [&] { calls.push_back("format"); };
  services_.graphics.rebuild_graphics_after_loss = [&] { calls.push_back("rebuild"); };
  services_.graphics.resume_all_movies = [&] { calls.push_back("resume"); };
  platform::WindowEvent change;
  change.kind = Kind::kDisplayChanged;
  change.value = 32;
  change.x = 1920;
  change.y = 1080;
  platform::PushWindowEvent(change);
  EXPECT_EQ(ProcessMessage(), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"release", "format", "rebuild", "resume"}));
  EXPECT_EQ(GetWindowData().display_change_seen, 1);
}

TEST_F(MessagePassTest, F10MessageSetsTheFlagThatTheAnyInputCheckReports) {
  OpenWindow();
  ASSERT_EQ(InitializeInput(), 0);
  WindowMessage message;
  message.message = kWmF10Flag;
  message.wparam = 1;
  PostWindowMessage(message);
  ProcessMessage();
  EXPECT_EQ(GetInputBlock().f10_flag, 1);
  EXPECT_EQ(CheckAnyInput(7), 0x44);
  message.wparam = 0;
  PostWindowMessage(message);
  ProcessMessage();
  EXPECT_EQ(CheckAnyInput(7), 0);
}

TEST_F(MessagePassTest, DroppedFilesAreKeptUntilCleared) {
  OpenWindow();
  platform::WindowEvent drop;
  drop.kind = Kind::kFileDropped;
  drop.text = "C:\\game\\a.png";
  platform::PushWindowEvent(drop);
  ProcessMessage();
  ASSERT_EQ(GetDroppedFileCount(), 1);
  EXPECT_STREQ(GetDroppedFileName(0), "C:\\game\\a.png");
  ClearDroppedFiles();
  EXPECT_EQ(GetDroppedFileCount(), 0);
}

TEST_F(MessagePassTest, NoWindowMeansNoWorkAndTheQuitFlagDecides) {
  int refills = 0;
  services_.sound.refill_all_stream_sounds = [&] { ++refills; };
  EXPECT_EQ(ProcessMessage(), 0);
  SetQuitFlag(1);
  EXPECT_EQ(ProcessMessage(), -1);
  EXPECT_EQ(refills, 0);
}

}  // namespace
