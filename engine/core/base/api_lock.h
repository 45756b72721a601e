// ApiLock: the one library-wide lock. Every locked public entry point and
// every message pass of the message thread runs under it. It is recursive
// (the owner may take it again at once; only its last release frees it) and
// strictly first-come-first-served: threads that find it taken queue in
// arrival order, a release hands it to the head of the queue, and a thread
// that releases and at once acquires again queues behind the thread it woke.
// The queue holds at most kApiLockQueueCapacity threads; later arrivals poll
// every millisecond (through the platform clock) until an entry is free.
//
// The lock comes into being at the first acquisition and lives until
// DestroyApiLock; any later acquisition creates it anew. Nothing here
// reports errors or times out.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kApiLockQueueCapacity = 4096;

// Takes the lock for the calling thread; returns once the thread owns it.
void AcquireApiLock();
// Gives up one level of ownership; only the owner calls it. The last level
// wakes the head of the queue and yields the processor once.
void ReleaseApiLock();
// Tears the lock down when it exists. Called after the library has shut down,
// when no other thread holds or waits for the lock (the fatal exit road
// leaves the lock as it is).
void DestroyApiLock();

// The message thread's variant. It waits for its turn in slices of
// slice_milliseconds and gives up when quit_flag becomes non-zero, so that it
// can end while another thread holds the lock for good during shutdown.
// Returns true when the thread owns the lock, false when it gave up because
// of the quit flag (it may still be queued: call LeaveApiLockQueue as it
// ends).
bool AcquireApiLockForMessageThread(const std::atomic<int>& quit_flag,
                                    uint32_t slice_milliseconds = 1000);
// Gives up one level of ownership, waking the head without yielding.
void ReleaseApiLockForMessageThread();
// Removes the calling thread from the queue when it is queued; if it was the
// head and others still queue, wakes the new head. Called by the message
// thread as it ends.
void LeaveApiLockQueue();
// Wakes the message thread when it waits in AcquireApiLockForMessageThread,
// so it re-tests its quit flag at once instead of at the end of its slice.
// Whoever sets the quit flag may call it; it changes nothing else.
void WakeApiLockMessageWaiter();

// The calling thread's identifier as the lock records it: non-zero and never
// all bits set.
uint32_t CurrentApiLockThreadId();

// A consistent view of the lock's fields, for tests and diagnostics.
struct ApiLockState {
  bool initialised = false;
  bool held = false;
  int depth = 0;
  uint32_t owner = 0;      // 0 before the first acquisition, ~0u after a release
  int waiter_count = 0;    // queued threads, 0 to kApiLockQueueCapacity
  uint32_t head = 0;       // thread identifier of the queue head, 0 when empty
  bool message_thread_waiting = false;  // in AcquireApiLockForMessageThread's wait
};
ApiLockState GetApiLockState();

// RAII holder for code that takes the lock around a block.
class ApiLockGuard {
 public:
  ApiLockGuard() { AcquireApiLock(); }
  ~ApiLockGuard() { ReleaseApiLock(); }
  ApiLockGuard(const ApiLockGuard&) = delete;
  ApiLockGuard& operator=(const ApiLockGuard&) = delete;
};
