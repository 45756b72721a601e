// Storage of the library's lifecycle flags and recorded machine facts.
#include "engine/core/base/library_state.h"

#include <mutex>

#include "platform/clock.h"

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {

std::atomic<int> g_startup{0};
std::atomic<int> g_initialized{0};
std::atomic<int> g_ending{0};
std::atomic<int> g_quit{0};
std::atomic<int32_t> g_os_version_code{0};

std::mutex g_facts_mutex;
MachineFacts g_facts;
std::string g_system_information;

}  // namespace

int GetStartupFlag() { return g_startup.load(); }
void SetStartupFlag(int flag) { g_startup.store(flag != 0 ? 1 : 0); }
int GetInitializedFlag() { return g_initialized.load(); }
void SetInitializedFlag(int flag) { g_initialized.store(flag != 0 ? 1 : 0); }
int GetEndingFlag() { return g_ending.load(); }
void SetEndingFlag(int flag) { g_ending.store(flag != 0 ? 1 : 0); }

int GetQuitFlag() { return g_quit.load(); }
void SetQuitFlag(int flag) { g_quit.store(flag != 0 ? 1 : 0); }
const std::atomic<int>& LibraryQuitFlag() { return g_quit; }

int32_t GetOsVersionCode() { return g_os_version_code.load(); }
void SetOsVersionCode(int32_t code) { g_os_version_code.store(code); }

MachineFacts GetMachineFacts() {
  std::lock_guard<std::mutex> hold(g_facts_mutex);
  return g_facts;
}
void SetMachineFacts(const MachineFacts& facts) {
  std::lock_guard<std::mutex> hold(g_facts_mutex);
  g_facts = facts;
}
int GetUseMmxFlag() { return GetMachineFacts().mmx; }

uint64_t ReadPerformanceCounter() { return platform::GetClock().Microseconds(); }

uint64_t ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return 0;
#endif
}

const std::string& GetSystemInformationText() { return g_system_information; }
void SetSystemInformationText(const std::string& text) { g_system_information = text; }

void ResetLibraryState() {
  g_startup.store(0);
  g_initialized.store(0);
  g_ending.store(0);
  g_quit.store(0);
  g_os_version_code.store(0);
  SetMachineFacts(MachineFacts{});
  g_system_information.clear();
}
