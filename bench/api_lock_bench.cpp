// ApiLock against the standard library's mutexes: the uncontended
// acquire/release pair that every locked entry point pays, a nested pair,
// and two threads taking turns (the main thread against the message thread).
#include <benchmark/benchmark.h>

#include <mutex>

#include "engine/core/base/api_lock.h"

namespace {

void BM_ApiLock_Uncontended(benchmark::State& state) {
  AcquireApiLock();  // creates the lock outside the timed loop
  ReleaseApiLock();
  for (auto _ : state) {
    AcquireApiLock();
    ReleaseApiLock();
  }
}
BENCHMARK(BM_ApiLock_Uncontended);

void BM_RecursiveMutex_Uncontended(benchmark::State& state) {
  std::recursive_mutex mutex;
  for (auto _ : state) {
    mutex.lock();
    mutex.unlock();
  }
}
BENCHMARK(BM_RecursiveMutex_Uncontended);

void BM_ApiLock_Nested(benchmark::State& state) {
  for (auto _ : state) {
    AcquireApiLock();
    AcquireApiLock();
    ReleaseApiLock();
    ReleaseApiLock();
  }
}
BENCHMARK(BM_ApiLock_Nested);

void BM_RecursiveMutex_Nested(benchmark::State& state) {
  std::recursive_mutex mutex;
  for (auto _ : state) {
    mutex.lock();
    mutex.lock();
    mutex.unlock();
    mutex.unlock();
  }
}
BENCHMARK(BM_RecursiveMutex_Nested);

std::recursive_mutex g_shared_mutex;

void BM_ApiLock_TwoThreads(benchmark::State& state) {
  for (auto _ : state) {
    AcquireApiLock();
    benchmark::ClobberMemory();
    ReleaseApiLock();
  }
}
BENCHMARK(BM_ApiLock_TwoThreads)->Threads(2)->UseRealTime();

void BM_RecursiveMutex_TwoThreads(benchmark::State& state) {
  for (auto _ : state) {
    g_shared_mutex.lock();
    benchmark::ClobberMemory();
    g_shared_mutex.unlock();
  }
}
BENCHMARK(BM_RecursiveMutex_TwoThreads)->Threads(2)->UseRealTime();

}  // namespace
