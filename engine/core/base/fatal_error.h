// The one road out of the process after an error.
//
// FatalErrorExit is for failures that leave the library unusable: it logs
// the text and a line end, runs the library shutdown that start-up
// registered, and ends the process with exit code -1 (all bits set; 255 as a
// process status). Any service may call it, on either thread that holds
// ApiLock, and it ends the process every time:
// - The shutdown runs only on the thread that registered it (the thread that
//   started the library and owns its window and the system libraries behind
//   it). Raised on another thread (the message thread's pass), the road logs
//   and ends the process without it: the owner thread may be blocked on the
//   lock this thread holds, and the window is not this thread's to destroy.
// - Nothing another thread may be blocked on is freed (the lock stays as it
//   is), and the process ends without running static destructors or exit
//   handlers, so threads still running never meet destroyed objects. The
//   log is written through to its file line by line, so nothing is lost.
//
// EndProcessAfterError is the road's last step, also taken by callers that
// did their own shutdown first (the game's data errors end with code 1).
// Tests replace that step with SetProcessEndHook.
#pragma once

// Does not return.
[[noreturn]] void FatalErrorExit(const char* text);
// Formats into a 1024-byte buffer (longer results are cut) and calls
// FatalErrorExit.
[[noreturn]] void FatalErrorExitF(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// The library shutdown FatalErrorExit runs, on the calling thread only; null
// runs none. A fatal error raised while that shutdown runs skips it and ends
// the process at once.
using FatalShutdownHook = void (*)();
void SetFatalShutdownHook(FatalShutdownHook hook);

// Ends the process with exit_code (the C streams flushed first, no static
// destructors). Does not return.
[[noreturn]] void EndProcessAfterError(int exit_code);

// Tests: called in place of ending the process; it must not return (it
// throws, or ends the process itself); if it does return, the process ends
// as usual. Null restores the real ending. Installing a hook also re-arms
// the fatal shutdown for the next FatalErrorExit.
using ProcessEndHook = void (*)(int exit_code);
void SetProcessEndHook(ProcessEndHook hook);
