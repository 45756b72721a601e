// Public entry points of the library's own group: start and end, the log
// switch, the millisecond count, the two waiting entries and rectangle
// clipping. Locked entries take ApiLock around one inner operation and
// return its result unchanged; the waiting entries are built from other
// entries and take no lock of their own; the log indent entries, the
// screen-log query and ClipRectToRect run without the lock.
// Times are milliseconds of the platform clock.
#pragma once

#include "engine/core/base/format_string.h"  // FormatString
#include "engine/core/base/fatal_error.h"  // FatalErrorExit, EndProcessAfterError
#include "engine/core/base/log.h"           // IncreaseLogIndent, DecreaseLogIndent, IsScreenLogEnabled
#include "engine/core/base/rect_helpers.h"  // IntRect

// 0, or -1 when start-up failed.
int StartLibrary();
// Shuts the library down and tears ApiLock down. Returns 0.
int EndLibrary();
// flag 0 switches the log file off, anything else on. Returns 0.
int EnableLogOutput(int flag);
// Milliseconds of the system clock (wrapping); the argument is ignored.
int GetMillisecondCount(int ignored);
// Waits n milliseconds while pumping messages; returns early when the
// library quits. Returns 0.
int WaitMilliseconds(int milliseconds);
// Waits until every input is released, then returns the next pressed input
// code (0 when the library quit first). The inputs are read through
// FindPressedInput, the input layer's own check, whatever services are
// installed.
int WaitForAnyInput();
// Clips rect against clip (unlocked). Returns 0.
int ClipRectToRect(IntRect* rect, const IntRect* clip);
