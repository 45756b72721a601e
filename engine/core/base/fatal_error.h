// FatalErrorExit: the one road out of the process for failures that leave
// the library unusable. It logs the text and a line end, shuts the library
// down, tears ApiLock down (the caller may still own it) and ends the
// process with exit code -1 (all bits set; 255 as a process status).
// Any service may call it, on either thread that holds ApiLock. The shutdown
// itself belongs to the entry layer, which registers it at start-up.
#pragma once

// Does not return.
[[noreturn]] void FatalErrorExit(const char* text);
// Formats into a 1024-byte buffer (longer results are cut) and calls
// FatalErrorExit.
[[noreturn]] void FatalErrorExitF(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// The library shutdown FatalErrorExit runs; null runs none. A fatal error
// raised while that shutdown runs skips it and ends the process at once.
using FatalShutdownHook = void (*)();
void SetFatalShutdownHook(FatalShutdownHook hook);
