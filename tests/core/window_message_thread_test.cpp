// The message thread: passes under ApiLock while the window lives, and its
// end at shutdown while the main thread holds the lock.
#include <atomic>
#include <thread>

#include "engine/core/base/api_lock.h"
#include "tests/core/window_test_fixture.h"

namespace {

using MessageThreadTest = WindowFixture;

TEST_F(MessageThreadTest, RunsPerPassWorkAndEndsAtShutdownWhileTheLockIsHeld) {
  std::atomic<int> refills{0};
  std::atomic<int> pushed_off_main{0};
  const std::thread::id main_id = std::this_thread::get_id();
  services_.sound.refill_all_stream_sounds = [&] { ++refills; };
  services_.text_input.push_input_char = [&](uint8_t) {
    if (std::this_thread::get_id() != main_id) ++pushed_off_main;
  };
  SetMessageThreadEnabled(true);
  {
    ApiLockGuard lock;
    OpenWindow();
  }
  ASSERT_TRUE(IsMessageThreadRunning());
  const uint64_t start = MessageThreadPassCount();
  while (MessageThreadPassCount() < start + 3) std::this_thread::yield();
  EXPECT_GE(refills.load(), 3);
  // Window messages stay for the main thread.
  Push(platform::WindowEventKind::kCharacter, 'x');
  for (int i = 0; i < 5; ++i) {
    const uint64_t seen = MessageThreadPassCount();
    while (MessageThreadPassCount() == seen) std::this_thread::yield();
  }
  EXPECT_EQ(pushed_off_main.load(), 0);
  {
    // Shutdown holds the lock for good while it waits for the thread.
    ApiLockGuard lock;
    EXPECT_EQ(DestroyMainWindow(), 0);
    EXPECT_TRUE(HasMessageThreadEnded());
  }
  EXPECT_FALSE(IsMessageThreadRunning());
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
}

TEST_F(MessageThreadTest, WindowClosedByTheUserStillHasItsThreadWaitedFor) {
  SetMessageThreadEnabled(true);
  {
    ApiLockGuard lock;
    OpenWindow();
    Push(platform::WindowEventKind::kCloseRequested);
    EXPECT_EQ(ProcessMessage(), -1);
  }
  EXPECT_FALSE(HasMainWindowHandle());
  {
    ApiLockGuard lock;
    EXPECT_EQ(DestroyMainWindow(), 0);
  }
  EXPECT_TRUE(HasMessageThreadEnded());
  // A later start-up starts a new thread.
  ResetWindowData();
  SetWindowCaption(title_.c_str());
  {
    ApiLockGuard lock;
    OpenWindow();
  }
  EXPECT_TRUE(IsMessageThreadRunning());
  {
    ApiLockGuard lock;
    EXPECT_EQ(DestroyMainWindow(), 0);
  }
  EXPECT_TRUE(HasMessageThreadEnded());
}

TEST_F(MessageThreadTest, SwitchedOffItDoesNotStart) {
  SetMessageThreadEnabled(false);
  OpenWindow();
  EXPECT_FALSE(IsMessageThreadRunning());
  EXPECT_EQ(StartMessageThread(), -1);
}

}  // namespace
