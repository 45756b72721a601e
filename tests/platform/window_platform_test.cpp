// The platform window without a display: the Shift-JIS title, the injected
// event queue, the single-instance lock across processes, and the fake
// devices.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <filesystem>
#include <vector>
#include <string>

#include "platform/ime.h"
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
  platform::SetImeEnabled(true);
  platform::WindowEvent drain;
  while (platform::PollWindowEvent(&drain)) {
  }
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = SDL_GetWindowID(platform::GetSdlMainWindow());
  key.key.keysym.scancode = SDL_SCANCODE_RETURN;
  SDL_PushEvent(&key);
  SDL_Event editing{};
  editing.type = SDL_TEXTEDITING;
  std::strcpy(editing.edit.text, "\xE3\x82\xBD");  // "ソ" being composed
  editing.edit.start = 1;
  SDL_PushEvent(&editing);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  std::strcpy(text.text.text, "\xE3\x82\xBD");  // and committed
  SDL_PushEvent(&text);
  const uint32_t changes = platform::KeyboardChangeCount();
  std::vector<platform::WindowEvent> events;
  platform::WindowEvent out;
  while (platform::PollWindowEvent(&out)) {
    events.push_back(out);
    // The input context shows what the event just handed out carried.
    if (out.kind == platform::WindowEventKind::kImeComposition) {
      EXPECT_EQ(platform::CurrentImeComposition().text, "\x83\x5C");
      EXPECT_EQ(platform::CurrentImeComposition().cursor, 2);
    }
  }
  using Kind = platform::WindowEventKind;
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].kind, Kind::kKeyDown);
  EXPECT_EQ(events[0].key, 0x1C);
  EXPECT_EQ(events[1].kind, Kind::kCharacter);
  EXPECT_EQ(events[1].key, 0x0D);  // Enter types a carriage return
  EXPECT_EQ(events[2].kind, Kind::kImeStartComposition);
  EXPECT_EQ(events[3].kind, Kind::kImeComposition);
  EXPECT_EQ(events[4].kind, Kind::kImeResult);  // the text whole, as Shift-JIS
  EXPECT_EQ(events[4].text, "\x83\x5C");
  EXPECT_EQ(events[5].kind, Kind::kImeEndComposition);
  EXPECT_EQ(platform::CurrentImeResult(), "\x83\x5C");
  EXPECT_FALSE(platform::IsImeComposing());
  EXPECT_NE(platform::KeyboardChangeCount(), changes);
  // Switched off, the desktop sends no text.
  platform::SetImeEnabled(false);
  EXPECT_EQ(SDL_IsTextInputActive(), SDL_FALSE);
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

// Restores an environment variable when it goes.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The lock lives in the user's run-time folder, keyed by the title alone: a
// copy of the game started from another folder is refused too, and no game
// folder gets a file.
TEST_F(PlatformWindowTest, CopyInAnotherFolderIsRefusedAndGameFoldersStayUntouched) {
  namespace fs = std::filesystem;
  const fs::path runtime = folder_ / "runtime", first_copy = folder_ / "first", second_copy = folder_ / "second";
  for (const fs::path& p : {runtime, first_copy, second_copy}) fs::create_directories(p);
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
  platform::SetInstanceLockFolder("");
  char saved_cwd[4096];
  ASSERT_NE(::getcwd(saved_cwd, sizeof saved_cwd), nullptr);
  ASSERT_EQ(::chdir(first_copy.c_str()), 0);
  platform::InstanceLock first;
  ASSERT_EQ(first.TryAcquire("Game"), platform::InstanceLock::Result::kAcquired);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(second_copy.c_str()) != 0) ::_exit(2);
    platform::InstanceLock mine;
    ::_exit(mine.TryAcquire("Game") == platform::InstanceLock::Result::kAlreadyRunning ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(::chdir(saved_cwd), 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the copy in another folder must be refused";
  EXPECT_TRUE(fs::is_empty(first_copy));
  EXPECT_TRUE(fs::is_empty(second_copy));
  EXPECT_EQ(fs::path(platform::InstanceLockPath("Game")).parent_path(), runtime);
}

// Without a run-time folder the lock goes to a private folder of the user's
// own below the temporary folder, never to one someone else could swap.
TEST_F(PlatformWindowTest, LockFolderWithoutARuntimeFolder) {
  namespace fs = std::filesystem;
  platform::SetInstanceLockFolder("");
  const fs::path tmp = folder_ / "tmp";
  fs::create_directories(tmp);
  ScopedEnv tmpdir("TMPDIR", tmp.c_str());
  const fs::path private_folder = tmp / ("vesk-" + std::to_string(::getuid()));
  struct Case {
    const char* what;
    const char* runtime;
    std::function<void()> prepare;
    bool usable;
  };
  const std::vector<Case> cases = {
      {"no run-time folder", nullptr, [] {}, true},
      {"a run-time folder that does not exist", "/nonexistent/vesk-runtime", [] {}, true},
      {"a private folder left open to others",
       nullptr, [&] { fs::create_directories(private_folder); fs::permissions(private_folder, fs::perms::all); }, true},
      {"a link in place of the private folder",
       nullptr, [&] { fs::create_directory_symlink(folder_, private_folder); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ignored;
    fs::remove_all(private_folder, ignored);
    c.prepare();
    ScopedEnv xdg("XDG_RUNTIME_DIR", c.runtime);
    platform::InstanceLock lock;
    if (!c.usable) {
      EXPECT_EQ(lock.TryAcquire("Game"), platform::InstanceLock::Result::kUnavailable);
      continue;
    }
    EXPECT_EQ(lock.TryAcquire("Game"), platform::InstanceLock::Result::kAcquired);
    EXPECT_EQ(fs::path(platform::InstanceLockPath("Game")).parent_path(), private_folder);
    EXPECT_EQ(fs::status(private_folder).permissions() & fs::perms::all, fs::perms::owner_all);
  }
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
