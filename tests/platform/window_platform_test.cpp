// The platform window without a display: the Shift-JIS title, the injected
// event queue, the single-instance lock across processes, and the fake
// devices.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>
#include <string>

#include "platform/input_devices.h"
#include "platform/sdl_main_window.h"
#include "platform/window.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"

namespace {

class PlatformWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("vesk-platform-window-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    platform::SetInstanceLockFolder(folder_.string());
    platform::ClearInjectedWindowEvents();
  }
  void TearDown() override {
    platform::CloseMainWindow();
    platform::ClearInjectedWindowEvents();
    platform::SetInstanceLockFolder("");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path folder_;
};

TEST_F(PlatformWindowTest, TitleIsConvertedFromShiftJis) {
  ASSERT_TRUE(platform::StartVideo());
  EXPECT_TRUE(platform::IsHeadlessVideo());
  // "ソ表" in Shift-JIS: both trail bytes are 0x5C.
  const std::string title = "\x83\x5C\x95\x5C";
  ASSERT_TRUE(platform::OpenMainWindow(title, 10, 20, 640, 480, false));
  EXPECT_STREQ(SDL_GetWindowTitle(platform::GetSdlMainWindow()), "\xE3\x82\xBD\xE8\xA1\xA8");
  const platform::ClientRect rect = platform::GetMainWindowClientRect();
  EXPECT_EQ(rect.right - rect.left, 640);
  EXPECT_EQ(rect.bottom - rect.top, 480);
  EXPECT_EQ(platform::GetDesktopMode().bits_per_pixel, 32);
}

TEST_F(PlatformWindowTest, InjectedEventsComeFirstAndInOrder) {
  ASSERT_TRUE(platform::StartVideo());
  platform::WindowEvent event;
  event.kind = platform::WindowEventKind::kCharacter;
  for (int i = 0; i < 3; ++i) {
    event.key = 'a' + i;
    platform::PushWindowEvent(event);
  }
  for (int i = 0; i < 3; ++i) {
    platform::WindowEvent out;
    ASSERT_TRUE(platform::PollWindowEvent(&out));
    EXPECT_EQ(out.kind, platform::WindowEventKind::kCharacter);
    EXPECT_EQ(out.key, 'a' + i);
  }
}

TEST_F(PlatformWindowTest, DesktopKeysAndTextAreTranslated) {
  ASSERT_TRUE(platform::StartVideo());
  ASSERT_TRUE(platform::OpenMainWindow("t", 0, 0, 64, 48, false));
  platform::WindowEvent drain;
  while (platform::PollWindowEvent(&drain)) {
  }
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = SDL_GetWindowID(platform::GetSdlMainWindow());
  key.key.keysym.scancode = SDL_SCANCODE_RETURN;
  SDL_PushEvent(&key);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  std::strcpy(text.text.text, "\xE3\x82\xBD");  // "ソ"
  SDL_PushEvent(&text);
  const uint32_t changes = platform::KeyboardChangeCount();
  std::vector<platform::WindowEvent> events;
  platform::WindowEvent out;
  while (platform::PollWindowEvent(&out)) events.push_back(out);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].kind, platform::WindowEventKind::kKeyDown);
  EXPECT_EQ(events[0].key, 0x1C);
  EXPECT_EQ(events[1].kind, platform::WindowEventKind::kCharacter);
  EXPECT_EQ(events[1].key, 0x0D);  // Enter types a carriage return
  EXPECT_EQ(events[2].key, 0x83);  // then the Shift-JIS bytes of the text
  EXPECT_EQ(events[3].key, 0x5C);
  EXPECT_NE(platform::KeyboardChangeCount(), changes);
}

TEST_F(PlatformWindowTest, SecondAttemptOnTheSameNameIsRefused) {
  platform::InstanceLock first, second, other;
  EXPECT_EQ(first.TryAcquire("Game"), platform::InstanceLock::Result::kAcquired);
  EXPECT_EQ(second.TryAcquire("Game"), platform::InstanceLock::Result::kAlreadyRunning);
  EXPECT_EQ(other.TryAcquire("Other Game"), platform::InstanceLock::Result::kAcquired);
  first.Release();
  EXPECT_EQ(second.TryAcquire("Game"), platform::InstanceLock::Result::kAcquired);
}

TEST_F(PlatformWindowTest, SecondProcessIsRefused) {
  platform::InstanceLock first;
  ASSERT_EQ(first.TryAcquire("Game"), platform::InstanceLock::Result::kAcquired);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::InstanceLock mine;
    const auto result = mine.TryAcquire("Game");
    ::_exit(result == platform::InstanceLock::Result::kAlreadyRunning ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PlatformWindowTest, UnwritableFolderLeavesTheCheckOut) {
  platform::SetInstanceLockFolder("/nonexistent/vesk-folder");
  platform::InstanceLock lock;
  EXPECT_EQ(lock.TryAcquire("Game"), platform::InstanceLock::Result::kUnavailable);
  EXPECT_FALSE(lock.held());
}

TEST_F(PlatformWindowTest, FakePadAxisPropertiesAreChecked) {
  platform::InstallFakePads(1);
  ASSERT_EQ(platform::CountPads(), 1);
  auto pad = platform::OpenPad(0);
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(platform::OpenPad(1), nullptr);
  EXPECT_FALSE(pad->SetAxisRange(platform::PadAxis::kX, 5, 5));
  EXPECT_FALSE(pad->SetDeadZone(platform::PadAxis::kX, 10001));
  EXPECT_FALSE(pad->SetDeadZone(platform::PadAxis::kX, -1));
  // Unset properties give the raw value back.
  EXPECT_EQ(pad->ScaleAxis(platform::PadAxis::kZ, 1234), 1234);
  EXPECT_EQ(pad->ScaleAxis(platform::PadAxis::kZ, -32768), -32768);
  // A full dead zone holds the centre.
  ASSERT_TRUE(pad->SetAxisRange(platform::PadAxis::kX, -1000, 1000));
  ASSERT_TRUE(pad->SetDeadZone(platform::PadAxis::kX, 10000));
  EXPECT_EQ(pad->ScaleAxis(platform::PadAxis::kX, 32767), 0);
  platform::RawPadInput input;
  input.hat = 2;
  input.buttons[31] = true;
  platform::SetFakePadInput(0, input);
  platform::PadState state;
  ASSERT_TRUE(pad->Poll(&state));
  EXPECT_EQ(state.pov[0], 9000u);
  EXPECT_EQ(state.buttons[31], 0x80);
  platform::InstallFakePads(0);
  EXPECT_FALSE(pad->Poll(&state));
}

}  // namespace
