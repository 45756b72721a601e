// ApiLock: a recursive first-come-first-served lock built from a guard mutex
// and one manual-reset event per waiter entry. Entries keep their events when
// the queue moves down; the event of an entry that leaves is parked in the
// freed last entry, so every entry always holds one distinct event.
#include "engine/core/base/api_lock.h"

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/clock.h"

namespace {

// A manual-reset event: stays signalled until reset.
class ManualResetEvent {
 public:
  void Set() {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = false;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> hold(mutex_);
    return signalled_;
  }
  void Wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return signalled_; });
  }
  // True when signalled within the time-out.
  bool WaitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(milliseconds),
                             [this] { return signalled_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

struct WaiterEntry {
  uint32_t thread = 0;
  ManualResetEvent* event = nullptr;
};

constexpr uint32_t kNoOwner = 0xFFFFFFFFu;

struct LockFields {
  int depth = 0;
  bool held = false;
  uint32_t owner = 0;
  std::array<WaiterEntry, kApiLockQueueCapacity> waiters{};
  int waiter_count = 0;
  // The event the message thread waits on while it queues, so it can be
  // woken to re-test its quit flag.
  ManualResetEvent* message_waiter_event = nullptr;
};

// The lock exists between the first acquisition and DestroyApiLock.
std::atomic<int> g_initialised{0};
// Serialises creation and teardown (the first acquisition may race with
// other threads' first acquisitions).
std::mutex g_lifecycle;
// Protects every field of the lock.
std::mutex g_guard;
LockFields g_fields;
std::unique_ptr<ManualResetEvent[]> g_events;

std::atomic<uint32_t> g_next_thread_id{1};

void EnsureLockExists() {
  if (g_initialised.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> hold(g_lifecycle);
  if (g_initialised.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> guard(g_guard);
  g_events = std::make_unique<ManualResetEvent[]>(kApiLockQueueCapacity);
  g_fields.depth = 0;
  g_fields.held = false;
  g_fields.owner = 0;
  g_fields.waiter_count = 0;
  g_fields.message_waiter_event = nullptr;
  for (int i = 0; i < kApiLockQueueCapacity; ++i) {
    g_fields.waiters[i].thread = 0;
    g_fields.waiters[i].event = &g_events[i];
  }
  g_initialised.store(1, std::memory_order_release);
}

// Removes entry `index`; the entries behind it move down by one place and its
// event is parked, cleared, in the freed last entry. Guard held.
void RemoveWaiterLocked(int index) {
  LockFields& f = g_fields;
  ManualResetEvent* parked = f.waiters[index].event;
  for (int i = index; i + 1 < f.waiter_count; ++i) f.waiters[i] = f.waiters[i + 1];
  const int last = f.waiter_count - 1;
  f.waiters[last].thread = 0;
  f.waiters[last].event = parked;
  // A parked event may have been signalled for a thread that left; the next
  // thread to take the entry must not wake from that.
  parked->Reset();
  --f.waiter_count;
}

void TakeLocked(uint32_t me) {
  ++g_fields.depth;
  g_fields.held = true;
  g_fields.owner = me;
}

enum class Step { kTaken, kWait, kQueueFull };

// Steps 3 and 4 of an acquisition, guard held: takes the lock when the
// thread may, else says how to wait. `queued_event` is the event of the
// thread's entry when it already queues.
Step TryTakeLocked(uint32_t me, ManualResetEvent*& queued_event) {
  LockFields& f = g_fields;
  if (f.held) {
    if (f.owner == me) {
      TakeLocked(me);
      return Step::kTaken;
    }
  } else if (f.waiter_count == 0) {
    TakeLocked(me);
    return Step::kTaken;
  } else if (f.waiters[0].thread == me) {
    RemoveWaiterLocked(0);
    queued_event = nullptr;
    TakeLocked(me);
    return Step::kTaken;
  }
  if (queued_event != nullptr) return Step::kWait;  // keeps its place
  // A thread that gave up waiting without leaving the queue (the message
  // thread on quit) keeps its one entry rather than queueing twice.
  for (int i = 0; i < f.waiter_count; ++i) {
    if (f.waiters[i].thread == me) {
      queued_event = f.waiters[i].event;
      return Step::kWait;
    }
  }
  if (f.waiter_count == kApiLockQueueCapacity) return Step::kQueueFull;
  WaiterEntry& entry = f.waiters[f.waiter_count++];
  entry.thread = me;
  queued_event = entry.event;
  return Step::kWait;
}

// Step 1 of a release, guard taken inside: the event to signal, if any.
ManualResetEvent* ReleaseLevel() {
  std::lock_guard<std::mutex> guard(g_guard);
  LockFields& f = g_fields;
  ManualResetEvent* wake = nullptr;
  if (f.depth <= 0) return nullptr;  // not held: nothing to give up
  if (f.depth == 1) {
    f.held = false;
    f.owner = kNoOwner;
    if (f.waiter_count > 0) wake = f.waiters[0].event;
    // Signal under the guard so the event cannot be parked and reused in
    // between by a thread leaving the queue.
    if (wake != nullptr) wake->Set();
  }
  --f.depth;
  return wake;
}

}  // namespace

uint32_t CurrentApiLockThreadId() {
  thread_local uint32_t id = 0;
  if (id == 0) {
    uint32_t next;
    do {
      next = g_next_thread_id.fetch_add(1, std::memory_order_relaxed);
    } while (next == 0 || next == kNoOwner);
    id = next;
  }
  return id;
}

void AcquireApiLock() {
  EnsureLockExists();
  const uint32_t me = CurrentApiLockThreadId();
  ManualResetEvent* queued_event = nullptr;
  for (;;) {
    Step step;
    {
      std::lock_guard<std::mutex> guard(g_guard);
      step = TryTakeLocked(me, queued_event);
    }
    if (step == Step::kTaken) return;
    if (step == Step::kQueueFull) {
      // Waits outside the queue; retries every millisecond.
      platform::GetClock().Sleep(1);
      continue;
    }
    queued_event->Wait();
    queued_event->Reset();
  }
}

void ReleaseApiLock() {
  if (!g_initialised.load(std::memory_order_acquire)) return;
  if (ReleaseLevel() != nullptr) platform::GetClock().Sleep(0);
}

bool AcquireApiLockForMessageThread(const std::atomic<int>& quit_flag,
                                    uint32_t slice_milliseconds) {
  EnsureLockExists();
  const uint32_t me = CurrentApiLockThreadId();
  ManualResetEvent* queued_event = nullptr;
  for (;;) {
    Step step;
    {
      std::lock_guard<std::mutex> guard(g_guard);
      step = TryTakeLocked(me, queued_event);
      if (step == Step::kWait) g_fields.message_waiter_event = queued_event;
    }
    if (step == Step::kTaken) return true;
    if (step == Step::kQueueFull) {
      if (quit_flag.load() != 0) return false;
      platform::GetClock().Sleep(1);
      continue;
    }
    while (!queued_event->IsSet() && quit_flag.load() == 0) {
      queued_event->WaitFor(slice_milliseconds);
    }
    {
      std::lock_guard<std::mutex> guard(g_guard);
      if (g_fields.message_waiter_event == queued_event) g_fields.message_waiter_event = nullptr;
    }
    queued_event->Reset();
    if (quit_flag.load() != 0) return false;
  }
}

void ReleaseApiLockForMessageThread() {
  if (!g_initialised.load(std::memory_order_acquire)) return;
  ReleaseLevel();
}

void LeaveApiLockQueue() {
  if (!g_initialised.load(std::memory_order_acquire)) return;
  const uint32_t me = CurrentApiLockThreadId();
  std::lock_guard<std::mutex> guard(g_guard);
  LockFields& f = g_fields;
  for (int i = 0; i < f.waiter_count; ++i) {
    if (f.waiters[i].thread != me) continue;
    if (f.message_waiter_event == f.waiters[i].event) f.message_waiter_event = nullptr;
    RemoveWaiterLocked(i);
    // The head left while the lock may be free: the next in line must not
    // sleep through its turn.
    if (i == 0 && f.waiter_count > 0 && !f.held) f.waiters[0].event->Set();
    return;
  }
}

void WakeApiLockMessageWaiter() {
  if (!g_initialised.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> guard(g_guard);
  if (g_fields.message_waiter_event != nullptr) g_fields.message_waiter_event->Set();
}

void DestroyApiLock() {
  std::lock_guard<std::mutex> hold(g_lifecycle);
  if (!g_initialised.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> guard(g_guard);
  g_initialised.store(0, std::memory_order_release);
  for (auto& entry : g_fields.waiters) entry = WaiterEntry{};
  g_fields.waiter_count = 0;
  g_fields.depth = 0;
  g_fields.held = false;
  g_fields.owner = 0;
  g_fields.message_waiter_event = nullptr;
  g_events.reset();
}

ApiLockState GetApiLockState() {
  ApiLockState state;
  std::lock_guard<std::mutex> hold(g_lifecycle);
  if (!g_initialised.load(std::memory_order_acquire)) return state;
  std::lock_guard<std::mutex> guard(g_guard);
  state.initialised = true;
  state.held = g_fields.held;
  state.depth = g_fields.depth;
  state.owner = g_fields.owner;
  state.waiter_count = g_fields.waiter_count;
  state.head = g_fields.waiter_count > 0 ? g_fields.waiters[0].thread : 0;
  state.message_thread_waiting = g_fields.message_waiter_event != nullptr;
  return state;
}
