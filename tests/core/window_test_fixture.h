// A fixture for tests of the main window, the message pass and input: on
// top of the fresh state of every module, a virtual clock, no message
// thread, fake services, lock files in a folder of the test's own, and a
// window title (so a class name) unique to the process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/core/input/input_setup.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/message_thread.h"
#include "engine/core/window/window_procedure.h"
#include "platform/clock.h"
#include "platform/input_devices.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"
#include "tests/support/fake_services.h"
#include "tests/support/fresh_state_test.h"

class WindowFixture : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    platform::SetClock(&clock_);
    SetMessageThreadEnabled(false);
    services_.Install();
    lock_folder_ = std::filesystem::temp_directory_path() /
                   ("vesk-window-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(lock_folder_);
    platform::SetInstanceLockFolder(lock_folder_.string());
    title_ = "window-test-" + std::to_string(::getpid());
    SetWindowCaption(title_.c_str());
  }

  void TearDown() override {
    // Fakes may point into the finished test's locals.
    services_ = FakeServices();
    FreshStateTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(lock_folder_, ignored);
  }

  // Creates the window (window mode unless full_screen) and checks it came.
  void OpenWindow(bool full_screen = false) {
    if (full_screen) GetWindowData().window_mode = 0;
    ASSERT_EQ(CreateMainWindow(), 0);
    ASSERT_TRUE(HasMainWindowHandle());
    // What creation left in the queue (cursor updates) goes first.
    ProcessMessage();
  }

  static void Push(platform::WindowEventKind kind, int32_t key = 0, int32_t value = 0) {
    platform::WindowEvent event;
    event.kind = kind;
    event.key = key;
    event.value = value;
    platform::PushWindowEvent(event);
  }

  FakeServices services_;
  platform::VirtualClock clock_{1000000};
  std::filesystem::path lock_folder_;
  std::string title_;
};
