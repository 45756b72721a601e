// ApiLock: recursion, strict hand-over in arrival order, the full queue's
// polling, the message thread's variant, teardown and re-creation.
#include "engine/core/base/api_lock.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/support/fresh_state_test.h"

namespace {

// Spins (yielding) until pred holds; false when it never does.
bool SpinUntil(const std::function<bool()>& pred) {
  for (long i = 0; i < 200000000L; ++i) {
    if (pred()) return true;
    std::this_thread::yield();
  }
  return false;
}

bool QueueLengthIs(int n) {
  return SpinUntil([n] { return GetApiLockState().waiter_count == n; });
}

class ApiLockTest : public FreshStateTest {
 protected:

  // Records which thread took the lock, in order.
  void Record(char who) {
    std::lock_guard<std::mutex> hold(order_mutex_);
    order_.push_back(who);
  }
  std::vector<char> Order() {
    std::lock_guard<std::mutex> hold(order_mutex_);
    return order_;
  }

  std::mutex order_mutex_;
  std::vector<char> order_;
};

TEST_F(ApiLockTest, CreatedAtFirstAcquisitionAndTornDown) {
  EXPECT_FALSE(GetApiLockState().initialised);
  AcquireApiLock();
  ApiLockState s = GetApiLockState();
  EXPECT_TRUE(s.initialised);
  EXPECT_TRUE(s.held);
  EXPECT_EQ(s.depth, 1);
  EXPECT_EQ(s.owner, CurrentApiLockThreadId());
  ReleaseApiLock();
  s = GetApiLockState();
  EXPECT_FALSE(s.held);
  EXPECT_EQ(s.owner, 0xFFFFFFFFu);
  DestroyApiLock();
  EXPECT_FALSE(GetApiLockState().initialised);
  DestroyApiLock();  // a second teardown does nothing
  // A later acquisition creates the lock anew.
  AcquireApiLock();
  EXPECT_TRUE(GetApiLockState().held);
  ReleaseApiLock();
}

TEST_F(ApiLockTest, ThreadIdentifiersAreDistinctAndNeverReserved) {
  uint32_t other = 0;
  std::thread t([&] { other = CurrentApiLockThreadId(); });
  t.join();
  const uint32_t mine = CurrentApiLockThreadId();
  EXPECT_NE(mine, other);
  EXPECT_EQ(mine, CurrentApiLockThreadId());
  for (uint32_t id : {mine, other}) {
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, 0xFFFFFFFFu);
  }
}

TEST_F(ApiLockTest, OwnerReentersAtOnceAndOnlyLastReleaseFrees) {
  AcquireApiLock();
  std::atomic<bool> b_has{false};
  std::thread b([&] {
    AcquireApiLock();
    b_has = true;
    ReleaseApiLock();
  });
  ASSERT_TRUE(QueueLengthIs(1));
  // Re-entry while another thread queues does not wait.
  AcquireApiLock();
  AcquireApiLock();
  EXPECT_EQ(GetApiLockState().depth, 3);
  ReleaseApiLock();
  ReleaseApiLock();
  EXPECT_EQ(GetApiLockState().depth, 1);
  EXPECT_TRUE(GetApiLockState().held);
  EXPECT_FALSE(b_has.load());
  EXPECT_EQ(GetApiLockState().waiter_count, 1);
  ReleaseApiLock();
  b.join();
  EXPECT_TRUE(b_has.load());
  EXPECT_FALSE(GetApiLockState().held);
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
}

// A owns; B and C queue in that order; A releases and at once asks again:
// the lock goes to B, then C, and A comes last.
TEST_F(ApiLockTest, ReleaseThenReacquireQueuesBehindTheWokenThread) {
  AcquireApiLock();
  Record('A');
  auto worker = [this](char who) {
    AcquireApiLock();
    Record(who);
    ReleaseApiLock();
  };
  std::thread b(worker, 'B');
  ASSERT_TRUE(QueueLengthIs(1));
  std::thread c(worker, 'C');
  ASSERT_TRUE(QueueLengthIs(2));
  ReleaseApiLock();
  AcquireApiLock();
  Record('A');
  ReleaseApiLock();
  b.join();
  c.join();
  EXPECT_EQ(Order(), (std::vector<char>{'A', 'B', 'C', 'A'}));
}

// Many threads queue one after another; the lock passes in arrival order,
// and a newcomer that finds the lock free between two owners joins the tail.
TEST_F(ApiLockTest, HandOverFollowsArrivalOrder) {
  constexpr int kThreads = 12;
  AcquireApiLock();
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([this, i] {
      AcquireApiLock();
      Record(static_cast<char>('a' + i));
      ReleaseApiLock();
    });
    ASSERT_TRUE(QueueLengthIs(i + 1));
  }
  ReleaseApiLock();
  // A newcomer after the release still comes after every queued thread.
  AcquireApiLock();
  Record('Z');
  ReleaseApiLock();
  for (auto& t : threads) t.join();
  std::vector<char> expected;
  for (int i = 0; i < kThreads; ++i) expected.push_back(static_cast<char>('a' + i));
  expected.push_back('Z');
  EXPECT_EQ(Order(), expected);
}

TEST_F(ApiLockTest, ReleaseByNonOwnerOfAFreeLockChangesNothing) {
  AcquireApiLock();
  ReleaseApiLock();
  ReleaseApiLock();  // one release too many
  const ApiLockState s = GetApiLockState();
  EXPECT_FALSE(s.held);
  EXPECT_EQ(s.depth, 0);
  AcquireApiLock();
  EXPECT_EQ(GetApiLockState().depth, 1);
  ReleaseApiLock();
}

TEST_F(ApiLockTest, MessageThreadTakesItsTurnAndReleasesWithoutYield) {
  std::atomic<int> quit{0};
  AcquireApiLock();
  std::atomic<int> result{-1};
  std::thread m([&] {
    result = AcquireApiLockForMessageThread(quit, 5) ? 1 : 0;
    if (result == 1) {
      Record('M');
      ReleaseApiLockForMessageThread();
    }
  });
  ASSERT_TRUE(QueueLengthIs(1));
  ReleaseApiLock();
  m.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(Order(), std::vector<char>{'M'});
  EXPECT_FALSE(GetApiLockState().held);
}

// The main thread holds the lock for good; the message thread notices the
// quit flag within its slice (or at once when woken), leaves the queue and
// can end.
TEST_F(ApiLockTest, MessageThreadGivesUpOnQuitWhileLockIsHeld) {
  for (bool wake : {false, true}) {
    SCOPED_TRACE(wake ? "woken" : "slice ends");
    std::atomic<int> quit{0};
    AcquireApiLock();
    std::atomic<int> result{-1};
    std::thread m([&] {
      result = AcquireApiLockForMessageThread(quit, wake ? 60000 : 2) ? 1 : 0;
      LeaveApiLockQueue();
    });
    ASSERT_TRUE(QueueLengthIs(1));
    quit = 1;
    if (wake) WakeApiLockMessageWaiter();
    m.join();
    EXPECT_EQ(result.load(), 0);
    const ApiLockState s = GetApiLockState();
    EXPECT_EQ(s.waiter_count, 0);
    EXPECT_TRUE(s.held);
    ReleaseApiLock();
    DestroyApiLock();
  }
}

// The message thread is the head and was handed the lock when it sees the
// quit flag; leaving the queue must pass the turn to the next thread.
TEST_F(ApiLockTest, MessageThreadLeavingAsHeadWakesTheNext) {
  std::atomic<int> quit{0};
  AcquireApiLock();
  std::atomic<int> m_result{-1};
  std::atomic<bool> m_may_leave{false};
  std::thread m([&] {
    m_result = AcquireApiLockForMessageThread(quit, 60000) ? 1 : 0;
    SpinUntil([&] { return m_may_leave.load(); });
    LeaveApiLockQueue();
  });
  ASSERT_TRUE(QueueLengthIs(1));
  std::thread b([this] {
    AcquireApiLock();
    Record('B');
    ReleaseApiLock();
  });
  ASSERT_TRUE(QueueLengthIs(2));
  quit = 1;
  ReleaseApiLock();  // wakes M, which gives up instead of taking the lock
  ASSERT_TRUE(SpinUntil([&] { return m_result.load() != -1; }));
  EXPECT_EQ(m_result.load(), 0);
  m_may_leave = true;
  m.join();
  b.join();
  EXPECT_EQ(Order(), std::vector<char>{'B'});
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
}

// A message thread that gave up on quit but asks again before leaving the
// queue keeps its one entry.
TEST_F(ApiLockTest, AskingAgainAfterGivingUpKeepsOneEntry) {
  std::atomic<int> quit{0};
  AcquireApiLock();
  std::atomic<int> phase{0};
  std::atomic<int> second{-1};
  std::thread m([&] {
    const bool first = AcquireApiLockForMessageThread(quit, 60000);
    phase = first ? 2 : 1;
    SpinUntil([&] { return quit.load() == 0; });
    second = AcquireApiLockForMessageThread(quit, 60000) ? 1 : 0;
    if (second == 1) ReleaseApiLockForMessageThread();
  });
  ASSERT_TRUE(QueueLengthIs(1));
  quit = 1;
  WakeApiLockMessageWaiter();
  ASSERT_TRUE(SpinUntil([&] { return phase.load() != 0; }));
  EXPECT_EQ(phase.load(), 1);
  EXPECT_FALSE(GetApiLockState().message_thread_waiting);
  quit = 0;
  ASSERT_TRUE(SpinUntil([] { return GetApiLockState().message_thread_waiting; }));
  EXPECT_EQ(GetApiLockState().waiter_count, 1);
  ReleaseApiLock();
  m.join();
  EXPECT_EQ(second.load(), 1);
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
}

TEST_F(ApiLockTest, LeavingWhenNotQueuedChangesNothing) {
  LeaveApiLockQueue();  // no lock yet
  AcquireApiLock();
  LeaveApiLockQueue();
  EXPECT_TRUE(GetApiLockState().held);
  ReleaseApiLock();
  WakeApiLockMessageWaiter();  // no one waits
}

TEST_F(ApiLockTest, GuardHoldsForTheBlock) {
  {
    ApiLockGuard hold;
    EXPECT_TRUE(GetApiLockState().held);
    ApiLockGuard again;
    EXPECT_EQ(GetApiLockState().depth, 2);
  }
  EXPECT_FALSE(GetApiLockState().held);
}

// Threads with small stacks, so that thousands of them fit.
class SmallThread {
 public:
  explicit SmallThread(std::function<void()> body) : body_(std::move(body)) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    started_ = pthread_create(&thread_, &attr, &SmallThread::Run, this) == 0;
    pthread_attr_destroy(&attr);
  }
  ~SmallThread() { Join(); }
  void Join() {
    if (started_) pthread_join(thread_, nullptr);
    started_ = false;
  }
  bool started() const { return started_; }

 private:
  static void* Run(void* self) {
    static_cast<SmallThread*>(self)->body_();
    return nullptr;
  }
  std::function<void()> body_;
  pthread_t thread_{};
  bool started_ = false;
};

// With every waiter entry taken, a further thread neither blocks on an event
// nor fails: it polls every millisecond (through the clock) and gets an entry
// once one is free; it is served after all the threads that queued.
TEST_F(ApiLockTest, FullQueuePollsEveryMillisecond) {
  platform::VirtualClock clock;
  platform::ScopedClock use_clock(clock);
  AcquireApiLock();
  std::atomic<int> served{0};
  std::atomic<int> last_served_by_extra{-1};
  std::vector<std::unique_ptr<SmallThread>> queued;
  queued.reserve(kApiLockQueueCapacity);
  for (int i = 0; i < kApiLockQueueCapacity; ++i) {
    queued.push_back(std::make_unique<SmallThread>([&served] {
      AcquireApiLock();
      ++served;
      ReleaseApiLock();
    }));
    ASSERT_TRUE(queued.back()->started()) << "thread " << i;
  }
  ASSERT_TRUE(QueueLengthIs(kApiLockQueueCapacity));
  const uint64_t slept_before = clock.SleptMilliseconds();
  SmallThread extra([&] {
    AcquireApiLock();
    last_served_by_extra = served.load();
    ReleaseApiLock();
  });
  ASSERT_TRUE(SpinUntil([&] { return clock.SleptMilliseconds() >= slept_before + 3; }));
  EXPECT_EQ(GetApiLockState().waiter_count, kApiLockQueueCapacity);
  ReleaseApiLock();
  extra.Join();
  for (auto& t : queued) t->Join();
  EXPECT_EQ(served.load(), kApiLockQueueCapacity);
  // The extra thread found a free entry only once the queue moved, at its
  // tail, so every queued thread was served before it.
  EXPECT_EQ(last_served_by_extra.load(), kApiLockQueueCapacity);
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
  EXPECT_FALSE(GetApiLockState().held);
}

// Several threads take the lock many times; the protected counter must come
// out exact and the depth must never be seen above the owner's own nesting.
TEST_F(ApiLockTest, MutualExclusionUnderContention) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 300;
  long counter = 0;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int r = 0; r < kRounds; ++r) {
        AcquireApiLock();
        AcquireApiLock();
        if (inside.fetch_add(1) != 0) overlap = true;
        ++counter;
        inside.fetch_sub(1);
        ReleaseApiLock();
        ReleaseApiLock();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  EXPECT_FALSE(GetApiLockState().held);
  EXPECT_EQ(GetApiLockState().waiter_count, 0);
}

}  // namespace
