// FatalErrorExit and EndProcessAfterError: log, shut down on the owner
// thread, end the process.
#include "engine/core/base/fatal_error.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

#include "engine/core/base/log.h"
#include "platform/process.h"

namespace {

// The shutdown and the thread it belongs to, set together.
std::mutex g_hook_mutex;
FatalShutdownHook g_shutdown_hook = nullptr;
std::thread::id g_shutdown_thread;

std::atomic<ProcessEndHook> g_end_hook{nullptr};
std::atomic<int> g_exiting{0};

// The shutdown to run on the calling thread: null on any other thread.
FatalShutdownHook ShutdownForThisThread() {
  std::lock_guard<std::mutex> hold(g_hook_mutex);
  if (g_shutdown_hook == nullptr || g_shutdown_thread != std::this_thread::get_id()) return nullptr;
  return g_shutdown_hook;
}

}  // namespace

void SetFatalShutdownHook(FatalShutdownHook hook) {
  std::lock_guard<std::mutex> hold(g_hook_mutex);
  g_shutdown_hook = hook;
  g_shutdown_thread = std::this_thread::get_id();
}

void SetProcessEndHook(ProcessEndHook hook) {
  g_end_hook.store(hook);
  g_exiting.store(0);
}

void EndProcessAfterError(int exit_code) {
  if (ProcessEndHook hook = g_end_hook.load()) hook(exit_code);
  platform::ExitProcess(exit_code);
}

void FatalErrorExit(const char* text) {
  WriteLog(text != nullptr ? text : "");
  WriteLog("\n");
  // A failure inside the shutdown would otherwise start it again.
  if (g_exiting.exchange(1) == 0) {
    if (FatalShutdownHook hook = ShutdownForThisThread()) hook();
  }
  EndProcessAfterError(-1);
}

void FatalErrorExitF(const char* format, ...) {
  char buffer[1024] = {};
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) buffer[0] = '\0';
  }
  FatalErrorExit(buffer);
}
