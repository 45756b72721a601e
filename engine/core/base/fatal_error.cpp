// FatalErrorExit: log, shut down, tear the lock down, exit with -1.
#include "engine/core/base/fatal_error.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "engine/core/base/api_lock.h"
#include "engine/core/base/log.h"
#include "platform/process.h"

namespace {

std::atomic<FatalShutdownHook> g_shutdown_hook{nullptr};
std::atomic<int> g_exiting{0};

}  // namespace

void SetFatalShutdownHook(FatalShutdownHook hook) { g_shutdown_hook.store(hook); }

void FatalErrorExit(const char* text) {
  WriteLog(text != nullptr ? text : "");
  WriteLog("\n");
  // A failure inside the shutdown would otherwise start it again.
  if (g_exiting.exchange(1) == 0) {
    if (FatalShutdownHook hook = g_shutdown_hook.load()) hook();
  }
  DestroyApiLock();
  platform::ExitProcess(-1);
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
