// The library's lifecycle flags and the facts about the machine that
// start-up records. One instance for the process; start-up and shutdown
// (the entry layer) write it, the window procedure, graphics and the other
// services read it. Flags are 0/1.
//
// Lifecycle: not started -> starting (start-up flag) -> running (initialised
// flag) -> ending (ending flag) -> ended. The quit flag is set when the main
// window is destroyed, a quit message is pumped or a second copy of the game
// is refused; the message thread reads it while it waits for ApiLock, so it
// is an atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Operating-system codes start-up derives from the reported version.
enum OsVersionCodes : int32_t {
  kOsWin32s = 0,
  kOsWindows95 = 1,
  kOsWindows98 = 2,
  kOsWindowsMe = 3,
  kOsWindowsNt351 = 0x104,
  kOsWindowsNt40 = 0x105,
  kOsWindows2000 = 0x106,
  kOsWindowsXp = 0x107,
  kOsWindowsVista = 0x108,
};

int GetStartupFlag();
void SetStartupFlag(int flag);
int GetInitializedFlag();
void SetInitializedFlag(int flag);
int GetEndingFlag();
void SetEndingFlag(int flag);

int GetQuitFlag();
void SetQuitFlag(int flag);
// The flag itself, for AcquireApiLockForMessageThread.
const std::atomic<int>& LibraryQuitFlag();

int32_t GetOsVersionCode();
void SetOsVersionCode(int32_t code);

// Processor and timer facts recorded by start-up.
struct MachineFacts {
  int time_stamp_counter = 0;        // the processor has a time-stamp counter
  int mmx = 0;                       // MMX packed operations may be used
  uint64_t cycles_per_second = 0;    // measured time-stamp-counter rate
  int performance_counter = 0;       // the high-resolution counter is used
  int64_t performance_frequency = 0; // its counts per second
};
MachineFacts GetMachineFacts();
void SetMachineFacts(const MachineFacts& facts);
int GetUseMmxFlag();
// The performance counter: the platform clock's microseconds, counted at
// kPerformanceFrequency per second.
inline constexpr int64_t kPerformanceFrequency = 1000000;
uint64_t ReadPerformanceCounter();
// The processor's time-stamp counter; 0 where there is none.
uint64_t ReadTimeStampCounter();

// "%s ( Build %d %s )" of the operating system, Shift-JIS; the first field
// of the window data.
const std::string& GetSystemInformationText();
void SetSystemInformationText(const std::string& text);

// Puts every field back to its state before any start-up (tests).
void ResetLibraryState();
