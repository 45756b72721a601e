// InitializeLibrary, TerminateLibrary, COM start-up and the system
// information log.
#include "engine/api/library_startup.h"

#include <atomic>
#include <cstdio>

#include "engine/core/base/library_state.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/base/tracked_memory.h"
#include "platform/clock.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

std::atomic<int> g_com_flag{0};
std::atomic<const ProcessorInfo*> g_processor_override{nullptr};
std::atomic<const std::string*> g_start_directory_override{nullptr};

// Passes of the message pump at the end of shutdown: it runs until the pump
// reports quit; the bound keeps a pump that never does from holding the
// shutdown for ever.
constexpr int kMaxShutdownPumpPasses = 100000;

void RunFatalShutdown() { TerminateLibrary(); }

// The library does not run on a 24-bit desktop in window mode nor with a
// 24-bit screen requested.
bool RefusesColorDepth() {
  const int desktop = GetWindowService().DesktopColorDepth();
  const int window_mode = GetWindowService().WindowMode();
  const int requested = GetGraphicsService().RequestedColorDepth();
  return (desktop == 24 && window_mode != 0) || requested == 24;
}

// The streams' current folder in drive form; "" when it cannot be named.
std::string CurrentStreamDirectory() {
  if (const std::string* forced = g_start_directory_override.load()) return *forced;
  char buffer[kStreamPathBufferSize] = {};
  StreamGetDir(buffer);
  buffer[kStreamPathBufferSize - 1] = '\0';
  return std::string(buffer);
}

int FailStartup() {
  TerminateLibrary();
  SetStartupFlag(0);
  return -1;
}

// Measures the time-stamp counter's rate over at least 100 ms of the clock.
uint64_t MeasureCyclesPerSecond() {
  platform::Clock& clock = platform::GetClock();
  const uint64_t start_cycles = ReadTimeStampCounter();
  const uint64_t start_us = clock.Microseconds();
  const uint32_t start_ms = clock.Milliseconds();
  // Sleeping rather than spinning: a test clock only moves when slept on.
  uint32_t waited;
  while ((waited = clock.Milliseconds() - start_ms) < 100u) clock.Sleep(100u - waited);
  const uint64_t cycles = ReadTimeStampCounter() - start_cycles;
  const uint64_t elapsed_us = clock.Microseconds() - start_us;
  if (elapsed_us == 0) return cycles * 10u;
  return static_cast<uint64_t>(static_cast<unsigned __int128>(cycles) * 1000000u / elapsed_us);
}

}  // namespace

int GetComFlag() { return g_com_flag.load(); }

void SetProcessorInfoOverride(const ProcessorInfo* info) { g_processor_override.store(info); }

void SetStartDirectoryOverride(const std::string* directory) { g_start_directory_override.store(directory); }

ProcessorInfo ProbeProcessor() {
  if (const ProcessorInfo* forced = g_processor_override.load()) return *forced;
  ProcessorInfo info;
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(0, &a, &b, &c, &d) == 0) return info;
  info.has_cpuid = true;
  char vendor[13] = {};
  for (int i = 0; i < 4; ++i) {
    vendor[i] = static_cast<char>((b >> (8 * i)) & 0xFFu);
    vendor[4 + i] = static_cast<char>((d >> (8 * i)) & 0xFFu);
    vendor[8 + i] = static_cast<char>((c >> (8 * i)) & 0xFFu);
  }
  info.vendor.assign(vendor, 12);
  if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
    info.time_stamp_counter = (d >> 4) & 1u;
    info.mmx = (d >> 23) & 1u;
  }
  if (__get_cpuid(0x80000000u, &a, &b, &c, &d) != 0 && a >= 0x80000004u) {
    char name[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
      unsigned regs[4] = {};
      __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
      for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < 4; ++i) {
          name[leaf * 16 + static_cast<unsigned>(r) * 4 + static_cast<unsigned>(i)] =
              static_cast<char>((regs[r] >> (8 * i)) & 0xFFu);
        }
      }
    }
    name[48] = '\0';
    info.name = name;  // stops at the first NUL
  }
#endif
  return info;
}

std::string BuildOsName(const OsVersion& version, int32_t* code) {
  std::string name = "Windows";
  const char first = version.service_pack.empty() ? '\0' : version.service_pack[0];
  int32_t found = -1;
  switch (version.platform) {
    case OsVersion::kWin32s:
      name += "3.1";
      found = kOsWin32s;
      break;
    case OsVersion::kWindows9x:
      if (version.minor == 0) {
        name += "95";
        if (first == 'C') name += "OSR2";
        found = kOsWindows95;
      } else if (version.minor == 10) {
        name += "98";
        if (first == 'A') name += "SE";
        found = kOsWindows98;
      } else if (version.minor == 90) {
        name += "Me";
        found = kOsWindowsMe;
      }
      break;
    case OsVersion::kNt:
      if (version.major == 3) {
        name += "NT 3.51";
        found = kOsWindowsNt351;
      } else if (version.major == 4) {
        name += "4.0";
        found = kOsWindowsNt40;
      } else if (version.major == 5 && version.minor == 0) {
        name += "2000";
        found = kOsWindows2000;
      } else if (version.major == 5 && version.minor == 1) {
        name += "XP";
        found = kOsWindowsXp;
      } else if (version.major == 6) {
        name += "Vista";
        found = kOsWindowsVista;
      }
      break;
  }
  if (found >= 0 && code != nullptr) *code = found;
  return name;
}

int InitializeCom() {
  if (g_com_flag.load() != 0) return -1;
  WriteLog("ＣＯＭの初期化... ");
  if (!GetSystemService().ComInitialize()) {
    WriteLog("ＣＯＭの初期化に失敗しました\n");
    return -1;
  }
  WriteLog("成功しました\n");
  g_com_flag.store(1);
  return 0;
}

int LogSystemInformation() {
  WriteLog("システムの情報を出力します\n");
  IncreaseLogIndent();
  WriteLogF("Ｏｒｖｅｘライブラリ Ver%s", kLibraryVersionText);

  WriteLog("ＯＳ  ");
  const OsVersion version = GetSystemService().GetOsVersion();
  int32_t code = GetOsVersionCode();
  const std::string os_name = BuildOsName(version, &code);
  SetOsVersionCode(code);
  char text[1024];
  std::snprintf(text, sizeof text, "%s ( Build %d %s )", os_name.c_str(),
                static_cast<int>(version.build), version.service_pack.c_str());
  SetSystemInformationText(text);
  WriteLogF("%s", text);

  // The minimum timer period needs no request here: the platform clock
  // sleeps with millisecond precision.
  const ProcessorInfo cpu = ProbeProcessor();
  MachineFacts facts = GetMachineFacts();
  facts.time_stamp_counter = cpu.has_cpuid && cpu.time_stamp_counter ? 1 : 0;
  if (facts.time_stamp_counter != 0) {
    facts.cycles_per_second = MeasureCyclesPerSecond();
    const uint64_t megahertz = facts.cycles_per_second / 1000000u;
    WriteLogF("ＣＰＵ動作速度：大体%.2fGHz", static_cast<double>(megahertz) * 0.001);
  }
  if (!cpu.has_cpuid) {
    WriteLog("ＣＰＵＩＤ命令は使えません\n");
  } else {
    if (cpu.mmx) {
      WriteLog("ＭＭＸ命令を使用します\n");
      facts.mmx = 1;
    } else {
      WriteLog("ＭＭＸは使えません\n");
    }
    WriteLog("ＣＰＵベンダ：");
    std::string vendor = cpu.vendor;
    vendor.resize(12, ' ');
    for (int piece = 0; piece < 3; ++piece) WriteLog(vendor.substr(static_cast<size_t>(piece) * 4, 4).c_str());
    WriteLog("\n");
    if (!cpu.name.empty()) WriteLogF("ＣＰＵ名：%s", cpu.name.c_str());
  }
  SetMachineFacts(facts);
  DecreaseLogIndent();
  return 0;
}

int InitializeLibrary() {
  WindowService& window = GetWindowService();
  GraphicsService& graphics = GetGraphicsService();
  SetStartupFlag(1);
  SetEndingFlag(0);
  SetFatalShutdownHook(&RunFatalShutdown);

  if (graphics.Direct3DDisabled() == 1) graphics.SetRenderingMode(0);
  ClearArchiveTables();
  SetStreamFunctions(nullptr);
  const std::string start_directory = CurrentStreamDirectory();
  if (start_directory.empty()) {
    // The current folder cannot be named in full: the log and the way back
    // at shutdown would go to a folder that does not exist.
    ShowUserMessage("エラー", "ゲームのフォルダの場所を取得できないため、起動できません");
    SetStartupFlag(0);
    return -1;
  }
  SetStartDirectory(start_directory);
  CreateLogFile();

  if (RefusesColorDepth()) {
    WriteLog("Ｏｒｖｅｘライブラリは２４ビットカラーモードに対応していません\n");
    SetStartupFlag(0);
    return -1;
  }

  MachineFacts facts = GetMachineFacts();
  facts.performance_frequency = kPerformanceFrequency;
  facts.performance_counter = facts.performance_frequency != 0 ? 1 : 0;
  SetMachineFacts(facts);

  LogSystemInformation();
  if (GetOsVersionCode() == kOsWindowsVista) graphics.SetTempPrimaryMode(1);
  // The two reader-operation tables (stream handles, memory blocks) hold
  // their operations from the start: nothing to fill.
  graphics.ResetGraphReloader();

  if (InitializeCom() == -1) return FailStartup();
  if (window.CreateMainWindow() < 0) return FailStartup();
  GetNetworkService().ClearHttpTasks();
  if (GetInputService().Initialize() < 0) return FailStartup();
  GetSoundService().Initialize();  // start-up goes on without sound
  if (graphics.Initialize() < 0) return FailStartup();
  GetTextInputService().Initialize();

  SetInitializedFlag(1);
  graphics.SetVBlankWait(1);
  if (window.WindowMode() == 0) window.ForceForeground(1);
  InitScreenLog();
  graphics.SetDrawTarget(-2);
  graphics.SetDrawTarget(-4);
  graphics.DrawStartupScreen();

  SetStartupFlag(0);
  return 0;
}

int TerminateLibrary() {
  WindowService& window = GetWindowService();
  GraphicsService& graphics = GetGraphicsService();
  SetEndingFlag(1);

  const int screen_log_font = GetScreenLogFont();
  if (screen_log_font != -1) graphics.DeleteFontHandle(screen_log_font);
  ResetScreenLog();

  GetNetworkService().DeleteAllHttpTasks();
  GetNetworkService().TerminateNetwork();
  GetSoundService().ReleasePendingSound();
  graphics.Terminate();
  GetInputService().Terminate();
  GetSoundService().Terminate();
  window.DestroyMainWindow();

  if (g_com_flag.load() != 0) {
    GetSystemService().ComUninitialize();
    WriteLog("ＣＯＭを終了... 完了\n");
    g_com_flag.store(0);
  }
  SetInitializedFlag(0);

  for (int pass = 0; pass < kMaxShutdownPumpPasses; ++pass) {
    if (window.ProcessMessage() != 0) break;
    if (GetQuitFlag() != 0) break;
  }

  StreamChDir(GetStartDirectory());
  TerminateArchives();
  DumpTrackedAllocs();
  return 0;
}
