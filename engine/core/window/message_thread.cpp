// The message thread: one message pass every 17 ms under ApiLock.
#include "engine/core/window/message_thread.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/window/message_pump.h"
#include "platform/clock.h"

namespace {

std::mutex g_thread_mutex;  // guards g_thread (start and join)
std::thread g_thread;
std::atomic<bool> g_enabled{true};
std::atomic<bool> g_ended{true};
std::atomic<uint64_t> g_passes{0};

void ProcessMessageThread() {
  while (GetQuitFlag() == 0) {
    if (!AcquireApiLockForMessageThread(LibraryQuitFlag())) break;
    const int result = ProcessMessage();
    g_passes.fetch_add(1);
    ReleaseApiLockForMessageThread();
    if (result < 0) break;
    platform::GetClock().Sleep(kMessageThreadPeriodMs);
  }
  LeaveApiLockQueue();
  g_ended.store(true);
}

}  // namespace

int StartMessageThread() {
  if (!g_enabled.load()) return -1;
  std::lock_guard<std::mutex> hold(g_thread_mutex);
  if (g_thread.joinable()) return 0;
  g_ended.store(false);
  try {
    g_thread = std::thread(ProcessMessageThread);
  } catch (const std::system_error&) {
    g_ended.store(true);
    return -1;
  }
  return 0;
}

bool IsMessageThreadRunning() { return !g_ended.load(); }
bool HasMessageThreadEnded() { return g_ended.load(); }

void JoinMessageThread() {
  std::lock_guard<std::mutex> hold(g_thread_mutex);
  if (!g_thread.joinable()) return;
  // Called on the message thread itself (a fatal exit during its pass): it
  // cannot wait for its own end; the process is about to end anyway.
  if (g_thread.get_id() == std::this_thread::get_id()) {
    g_thread.detach();
    return;
  }
  while (!g_ended.load()) {
    // The thread may be waiting for ApiLock, which the caller holds: let it
    // see the quit flag now rather than at the end of its wait slice.
    WakeApiLockMessageWaiter();
    platform::GetClock().Sleep(1);
  }
  g_thread.join();
}

void SetMessageThreadEnabled(bool enabled) { g_enabled.store(enabled); }
bool IsMessageThreadEnabled() { return g_enabled.load(); }
uint64_t MessageThreadPassCount() { return g_passes.load(); }
