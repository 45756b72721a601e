// The library's message thread: every 17 ms of the platform clock it takes
// ApiLock (the message-thread variant, which gives up when the library
// quits), runs one message pass (per-pass work only: window messages belong
// to the main thread) and releases the lock. It ends when the quit flag is
// set or a pass reports quit. Tests switch it off so that a test's passes
// are the only ones.
#pragma once

#include <cstdint>

inline constexpr uint32_t kMessageThreadPeriodMs = 17;

// 0 started; -1 it could not start (the library runs without it) or it is
// switched off.
int StartMessageThread();
// True while a started thread has not ended.
bool IsMessageThreadRunning();
// True once the thread has ended (or none was started).
bool HasMessageThreadEnded();
// Waits (1 ms sleeps) until the thread has ended, then joins it.
void JoinMessageThread();
// The switch: false keeps StartMessageThread from starting a thread.
void SetMessageThreadEnabled(bool enabled);
bool IsMessageThreadEnabled();
// Passes the thread has run (tests).
uint64_t MessageThreadPassCount();
