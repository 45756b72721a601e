// Timers of the main window: a timer fires once its interval (milliseconds
// of the clock interface) has passed, inside the main thread's message pass,
// like a timer message; it keeps firing every interval until it is killed.
// Setting a timer that exists restarts it with the new interval and
// procedure. Everything runs under ApiLock.
#pragma once

#include <cstdint>

using WindowTimerProc = void (*)(uint32_t id);

int SetWindowTimer(uint32_t id, uint32_t milliseconds, WindowTimerProc proc);
int KillWindowTimer(uint32_t id);  // 0, also for a timer that does not exist
bool IsWindowTimerSet(uint32_t id);
// Runs the procedure of every timer that is due (main thread's message pass).
void RunDueWindowTimers();
// Drops every timer (window shutdown, tests).
void KillAllWindowTimers();
