// Library start-up and shutdown: the order of the steps, the roll-back when
// a step fails, the 24-bit refusal, the system information log, restarting,
// and the fatal exit road.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "engine/api/library_entry_points.h"
#include "engine/api/library_startup.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "platform/message_box.h"
#include "tests/api/library_test_fixture.h"

namespace {

using Steps = std::vector<std::string>;

const Steps kStartSteps = {
    "set_temp_primary_mode 1", "reset_graph_reloader",
    "com_initialize", "create_main_window", "clear_http_tasks", "input.initialize",
    "sound.initialize", "graphics.initialize", "text_input.initialize",
    "set_vblank_wait 1", "set_draw_target -2", "set_draw_target -4", "draw_startup_screen",
};

Steps ShutdownSteps(bool com_started) {
  Steps steps = {"delete_all_http_tasks", "terminate_network", "release_pending_sound",
                 "graphics.terminate",    "input.terminate",   "sound.terminate",
                 "destroy_main_window"};
  if (com_started) steps.push_back("com_uninitialize");
  steps.push_back("process_message");
  return steps;
}

Steps StartStepsThrough(const std::string& last) {
  Steps steps;
  for (const std::string& s : kStartSteps) {
    steps.push_back(s);
    if (s == last) break;
  }
  return steps;
}

Steps Join(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

using LibraryStartupTest = LibraryFixture;

TEST_F(LibraryStartupTest, StartsAndEndsInOrder) {
  ASSERT_EQ(StartLibrary(), 0);
  EXPECT_EQ(Recorded(), kStartSteps);
  EXPECT_EQ(GetInitializedFlag(), 1);
  EXPECT_EQ(GetStartupFlag(), 0);
  EXPECT_EQ(GetComFlag(), 1);
  EXPECT_EQ(GetOsVersionCode(), kOsWindowsVista);
  EXPECT_EQ(GetUseMmxFlag(), 1);
  EXPECT_FALSE(GetApiLockState().held) << "StartLibrary leaves the lock free";

  ClearSteps();
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_EQ(Recorded(), ShutdownSteps(true));
  EXPECT_EQ(GetInitializedFlag(), 0);
  EXPECT_EQ(GetEndingFlag(), 1);
  EXPECT_EQ(GetComFlag(), 0);
  EXPECT_FALSE(GetApiLockState().initialised) << "EndLibrary tears the lock down";

  const std::string log = ReadLog();
  EXPECT_TRUE(Contains(log, "ＣＯＭの初期化... 成功しました\r\n"));
  EXPECT_TRUE(Contains(log, "ＣＯＭを終了... 完了\r\n"));
  EXPECT_TRUE(Contains(log, "Alloc memory dump")) << "shutdown dumps the live blocks";
}

TEST_F(LibraryStartupTest, EachFailingStepRollsBack) {
  struct Case {
    const char* step;
    int result;
    Steps expected;
  };
  const Case cases[] = {
      {"com_initialize", -1, Join(StartStepsThrough("com_initialize"), ShutdownSteps(false))},
      {"create_main_window", -1, Join(StartStepsThrough("create_main_window"), ShutdownSteps(true))},
      {"input.initialize", -1, Join(StartStepsThrough("input.initialize"), ShutdownSteps(true))},
      {"graphics.initialize", -1, Join(StartStepsThrough("graphics.initialize"), ShutdownSteps(true))},
      // Start-up goes on without sound.
      {"sound.initialize", 0, kStartSteps},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    ResetLibraryState();
    ClearSteps();
    fail_step_ = c.step;
    EXPECT_EQ(StartLibrary(), c.result);
    EXPECT_EQ(Recorded(), c.expected);
    EXPECT_EQ(GetStartupFlag(), 0);
    EXPECT_EQ(GetInitializedFlag(), c.result == 0 ? 1 : 0);
    EXPECT_EQ(GetComFlag(), c.result == 0 ? 1 : 0) << "a failed start leaves COM uninitialised";
    EXPECT_FALSE(GetApiLockState().held);
    if (std::string(c.step) == "com_initialize") {
      EXPECT_TRUE(Contains(ReadLog(), "ＣＯＭの初期化... ＣＯＭの初期化に失敗しました\r\n"));
    }
    if (c.result == 0) EndLibrary();
  }
}

TEST_F(LibraryStartupTest, RefusesTwentyFourBitColour) {
  struct Case {
    int desktop, window_mode, requested, result;
  };
  const Case cases[] = {
      {24, 1, 16, -1},  // 24-bit desktop in window mode
      {24, 0, 16, 0},   // full screen sets its own mode
      {32, 1, 24, -1},  // 24 bits requested
      {32, 0, 24, -1},
      {32, 1, 16, 0},
      {16, 1, 32, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.desktop) + "/" + std::to_string(c.window_mode) + "/" +
                 std::to_string(c.requested));
    ResetLibraryState();
    ClearSteps();
    desktop_depth_ = c.desktop;
    window_mode_ = c.window_mode;
    requested_depth_ = c.requested;
    EXPECT_EQ(StartLibrary(), c.result);
    if (c.result == -1) {
      // Nothing was started, so nothing is shut down.
      EXPECT_EQ(Recorded(), Steps{});
      EXPECT_TRUE(Contains(ReadLog(), "Ｏｒｖｅｘライブラリは２４ビットカラーモードに対応していません\r\n"));
      EXPECT_EQ(GetComFlag(), 0);
    } else {
      const Steps steps = Recorded();
      EXPECT_NE(std::find(steps.begin(), steps.end(), "create_main_window"), steps.end());
      const bool foreground = std::find(steps.begin(), steps.end(), "force_foreground 1") != steps.end();
      EXPECT_EQ(foreground, c.window_mode == 0) << "full screen forces the window to the front";
      EndLibrary();
    }
    EXPECT_EQ(GetStartupFlag(), 0);
  }
}

// A current folder that cannot be named in full is refused with a message
// box before anything starts; no cut path is ever used for the log.
TEST_F(LibraryStartupTest, UnnamedStartDirectoryIsRefused) {
  std::vector<std::string> boxes;
  platform::SetMessageBoxRecorder([&](std::string_view, std::string_view text) { boxes.emplace_back(text); });
  start_dir_.clear();
  EXPECT_EQ(StartLibrary(), -1);
  platform::SetMessageBoxRecorder({});
  EXPECT_EQ(Recorded(), Steps{});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(Contains(boxes[0], "起動できません"));
  EXPECT_STREQ(GetStartDirectory(), "");
  EXPECT_EQ(GetStartupFlag(), 0);
}

TEST_F(LibraryStartupTest, DoNotUseDirect3DSelectsSoftwareRendering) {
  direct3d_disabled_ = 1;
  ASSERT_EQ(StartLibrary(), 0);
  ASSERT_FALSE(Recorded().empty());
  EXPECT_EQ(Recorded().front(), "set_rendering_mode 0");
  EndLibrary();
}

TEST_F(LibraryStartupTest, LogsTheSystemInformation) {
  ASSERT_EQ(StartLibrary(), 0);
  EndLibrary();
  const std::string log = ReadLog();
  const char* expected[] = {
      "システムの情報を出力します\r\n",
      "\tＯｒｖｅｘライブラリ Ver2.24c\r\n",
      "\tＯＳ  WindowsVista ( Build 9200  )\r\n",
      "\tＭＭＸ命令を使用します\r\n",
      "\tＣＰＵベンダ：TestVendorXY\r\n",
      "\tＣＰＵ名：Test Processor 1.0\r\n",
  };
  for (const char* line : expected) EXPECT_TRUE(Contains(log, line)) << line;
  EXPECT_EQ(GetSystemInformationText(), "WindowsVista ( Build 9200  )");
  EXPECT_EQ(GetLogIndent(), 0);
}

TEST_F(LibraryStartupTest, ProcessorWithoutCpuidOrMmx) {
  cpu_ = ProcessorInfo{};
  ASSERT_EQ(StartLibrary(), 0);
  EXPECT_EQ(GetUseMmxFlag(), 0);
  EndLibrary();
  cpu_.has_cpuid = true;
  cpu_.vendor = "OtherVendor!";
  ASSERT_EQ(StartLibrary(), 0);
  EndLibrary();
  const std::string log = ReadLog();
  EXPECT_TRUE(Contains(log, "ＭＭＸは使えません\r\n"));
  EXPECT_FALSE(Contains(log, "ＣＰＵ名："));
  EXPECT_EQ(GetLogIndent(), 0);
}

TEST_F(LibraryStartupTest, OperatingSystemNames) {
  struct Case {
    OsVersion::Platform platform;
    uint32_t major, minor;
    const char* service_pack;
    const char* name;
    int32_t code;
  };
  const Case cases[] = {
      {OsVersion::kWin32s, 3, 10, "", "Windows3.1", kOsWin32s},
      {OsVersion::kWindows9x, 4, 0, "", "Windows95", kOsWindows95},
      {OsVersion::kWindows9x, 4, 0, "C", "Windows95OSR2", kOsWindows95},
      {OsVersion::kWindows9x, 4, 10, "A ", "Windows98SE", kOsWindows98},
      {OsVersion::kWindows9x, 4, 10, "", "Windows98", kOsWindows98},
      {OsVersion::kWindows9x, 4, 90, "", "WindowsMe", kOsWindowsMe},
      {OsVersion::kNt, 3, 51, "", "WindowsNT 3.51", kOsWindowsNt351},
      {OsVersion::kNt, 4, 0, "Service Pack 6", "Windows4.0", kOsWindowsNt40},
      {OsVersion::kNt, 5, 0, "", "Windows2000", kOsWindows2000},
      {OsVersion::kNt, 5, 1, "Service Pack 3", "WindowsXP", kOsWindowsXp},
      {OsVersion::kNt, 6, 1, "", "WindowsVista", kOsWindowsVista},
      {OsVersion::kNt, 5, 2, "", "Windows", 77},   // not in the list: code kept
      {OsVersion::kNt, 10, 0, "", "Windows", 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OsVersion version;
    version.platform = c.platform;
    version.major = c.major;
    version.minor = c.minor;
    version.service_pack = c.service_pack;
    int32_t code = 77;
    EXPECT_EQ(BuildOsName(version, &code), c.name);
    EXPECT_EQ(code, c.code);
  }
}

TEST_F(LibraryStartupTest, TempPrimaryModeOnlyOnVista) {
  os_.major = 5;
  os_.minor = 1;
  os_.build = 2600;
  ASSERT_EQ(StartLibrary(), 0);
  const Steps steps = Recorded();
  EXPECT_EQ(std::find(steps.begin(), steps.end(), "set_temp_primary_mode 1"), steps.end());
  EXPECT_EQ(GetOsVersionCode(), kOsWindowsXp);
  EndLibrary();
}

TEST_F(LibraryStartupTest, StartsAgainAfterEnd) {
  ASSERT_EQ(StartLibrary(), 0);
  ASSERT_EQ(EndLibrary(), 0);
  ClearSteps();
  ASSERT_EQ(StartLibrary(), 0) << "the COM flag was cleared by the shutdown";
  EXPECT_EQ(Recorded(), kStartSteps);
  EXPECT_EQ(GetEndingFlag(), 0);
  EXPECT_TRUE(GetApiLockState().initialised) << "the first entry after EndLibrary creates the lock";
  EndLibrary();
}

TEST_F(LibraryStartupTest, ShutdownDeletesTheScreenLogFont) {
  services_.graphics.screen_log_ready = [] { return 1; };
  services_.graphics.create_screen_log_font = [] { return 7; };
  ASSERT_EQ(StartLibrary(), 0);
  EXPECT_EQ(GetScreenLogFont(), 7);
  ClearSteps();
  EndLibrary();
  ASSERT_FALSE(Recorded().empty());
  EXPECT_EQ(Recorded().front(), "delete_font_handle 7");
  EXPECT_EQ(GetScreenLogFont(), -1);
}

TEST_F(LibraryStartupTest, ComTwiceIsRefused) {
  EXPECT_EQ(InitializeCom(), 0);
  EXPECT_EQ(InitializeCom(), -1);
  EXPECT_EQ(GetComFlag(), 1);
  TerminateLibrary();
  EXPECT_EQ(GetComFlag(), 0);
}

// A pump that never reports quit cannot hold the shutdown for ever.
TEST_F(LibraryStartupTest, ShutdownPumpIsBounded) {
  services_.window.process_message = [] { return 0; };
  services_.window.destroy_main_window = [] {};
  EXPECT_EQ(TerminateLibrary(), 0);
}

TEST_F(LibraryStartupTest, FatalErrorExitLogsShutsDownAndExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        if (StartLibrary() != 0) std::_Exit(3);
        AcquireApiLock();  // the caller owns the lock as it fails
        FatalErrorExitF("致命的な失敗 %d", 42);
      },
      ::testing::ExitedWithCode(255), "");
  const std::string log = ReadLog();
  const size_t fatal = log.find("致命的な失敗 42\r\n");
  ASSERT_NE(fatal, std::string::npos) << log;
  // The shutdown ran after the text was logged.
  const size_t com_end = log.find("ＣＯＭを終了... 完了\r\n");
  ASSERT_NE(com_end, std::string::npos);
  EXPECT_GT(com_end, fatal);
  EXPECT_NE(log.find("Alloc memory dump", fatal), std::string::npos);
}

// The road with its last step replaced: the shutdown runs only on the thread
// that started the library (which owns the window); raised on any other
// thread the road logs and goes straight to the end. Both end with -1.
struct ProcessEnded {
  int code;
};

TEST_F(LibraryStartupTest, FatalErrorShutsDownOnlyOnTheThreadThatStarted) {
  SetProcessEndHook([](int code) { throw ProcessEnded{code}; });
  ASSERT_EQ(StartLibrary(), 0);
  int other_code = 0;
  std::thread other([&] {
    try {
      FatalErrorExit("別のスレッド");
    } catch (const ProcessEnded& ended) {
      other_code = ended.code;
    }
  });
  other.join();
  EXPECT_EQ(other_code, -1);
  std::string log = ReadLog();
  EXPECT_TRUE(Contains(log, "別のスレッド\r\n")) << log;
  EXPECT_FALSE(Contains(log, "ＣＯＭを終了")) << "no shutdown on a thread that does not own the window";
  EXPECT_EQ(GetInitializedFlag(), 1);

  ClearSteps();
  SetProcessEndHook([](int code) { throw ProcessEnded{code}; });  // re-arms the shutdown
  int main_code = 0;
  try {
    FatalErrorExit("起動したスレッド");
  } catch (const ProcessEnded& ended) {
    main_code = ended.code;
  }
  EXPECT_EQ(main_code, -1);
  EXPECT_EQ(Recorded(), ShutdownSteps(true));
  log = ReadLog();
  EXPECT_LT(log.find("起動したスレッド\r\n"), log.find("ＣＯＭを終了... 完了\r\n"));
  EXPECT_EQ(GetInitializedFlag(), 0);
  SetProcessEndHook(nullptr);
}

// A fatal error raised by the shutdown that a fatal error started ends the
// process at once instead of starting the shutdown again.
TEST_F(LibraryStartupTest, FatalErrorDuringFatalShutdownEndsAtOnce) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        if (StartLibrary() != 0) std::_Exit(3);
        services_.graphics.terminate = [] { FatalErrorExit("二度目"); };
        FatalErrorExit("一度目");
      },
      ::testing::ExitedWithCode(255), "");
  const std::string log = ReadLog();
  const size_t first = log.find("一度目\r\n");
  const size_t second = log.find("二度目\r\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_EQ(log.find("ＣＯＭを終了"), std::string::npos) << "the shutdown stopped at the second error";
}

}  // namespace
