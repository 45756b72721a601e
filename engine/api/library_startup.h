// Library start-up and shutdown. InitializeLibrary (behind StartLibrary)
// starts every service in a fixed order through the service seams
// (engine/api/services) and the file layer and, when the COM, window, input or graphics step
// fails, shuts everything down again and answers -1; TerminateLibrary
// (behind EndLibrary) shuts the services down in a fixed order. Start-up
// also records the machine facts (library_state.h) and logs the system
// information. Everything here runs on the main thread under ApiLock.
// The fatal exit road (FatalErrorExit) is declared in fatal_error.h; start-up
// registers TerminateLibrary as the shutdown it runs on the thread that
// started the library.
#pragma once

#include <cstdint>
#include <string>

#include "engine/api/services/service_registry.h"
#include "engine/core/base/fatal_error.h"

inline constexpr const char* kLibraryVersionText = "2.24c";

// 0, or -1 when start-up failed. Called only by StartLibrary.
int InitializeLibrary();
// Returns 0. Called by EndLibrary, FatalErrorExit and a failing start-up.
int TerminateLibrary();

// 0, or -1 when the library already initialised COM or the start-up of COM
// failed.
int InitializeCom();
// 1 while COM is initialised by the library.
int GetComFlag();

// Logs the library version, the operating system, the processor and its
// speed, and records OsVersionCode, the MMX and time-stamp-counter facts.
// Returns 0.
int LogSystemInformation();

// "Windows" followed by the version's name piece, joined without spaces
// ("WindowsXP", "Windows98SE", "WindowsVista"); *code receives the
// OsVersionCode, or keeps its value for a version not in the list.
std::string BuildOsName(const OsVersion& version, int32_t* code);

// What the processor reports through CPUID (the probe of this machine, or
// a value a test sets).
struct ProcessorInfo {
  bool has_cpuid = false;
  bool time_stamp_counter = false;
  bool mmx = false;
  std::string vendor;  // twelve characters
  std::string name;    // may be empty
};
ProcessorInfo ProbeProcessor();
// Tests: the processor start-up reports instead of the probe; null goes back
// to probing.
void SetProcessorInfoOverride(const ProcessorInfo* info);
// Tests: the folder start-up takes for the streams' current folder (drive
// form; "" stands for one that cannot be named); null goes back to asking
// the streams.
void SetStartDirectoryOverride(const std::string* directory);
