// The log file's line rules: time stamps from the clock, indent, CR LF
// conversion, continuation of an unfinished line, and silence while the log
// is off or before the start directory is known.
#include "engine/core/base/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/core/base/start_directory.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "tests/support/fake_services.h"
#include "tests/support/fresh_state_test.h"

namespace {

class LogTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    char templ[] = "/tmp/vesk_log_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    folder_ = templ;
    unsetenv("VESK_DEBUG_OUTPUT");
    platform::SetClock(&clock_);
    SetStartDirectory(platform::NativeToEnginePath(folder_));
    EnableLogFile(1);
    CreateLogFile();
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    unsetenv("VESK_DEBUG_OUTPUT");
    std::string command = "rm -rf '" + folder_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  std::string ReadLog(const std::string& folder) {
    std::ifstream in(folder + "/Log.txt", std::ios::binary);
    if (!in) return "<no file>";
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  std::string ReadLog() { return ReadLog(folder_); }

  platform::VirtualClock clock_{1'000'000};  // 1000 ms
  std::string folder_;
};

TEST_F(LogTest, EachFinishedLineGetsItsOwnTimeStamp) {
  EXPECT_EQ(ReadLog(), "");  // created empty
  EXPECT_EQ(WriteLog("first\n"), -1);
  clock_.Advance(25);
  WriteLog("second\n");
  EXPECT_EQ(ReadLog(), "0:first\r\n25:second\r\n");
}

TEST_F(LogTest, UnfinishedLineIsContinuedWithoutPrefix) {
  clock_.Advance(3);
  WriteLog("Alloc ");
  clock_.Advance(4);
  WriteLog("dump\n");
  WriteLog("next\n");
  EXPECT_EQ(ReadLog(), "3:Alloc dump\r\n7:next\r\n");
}

TEST_F(LogTest, LineEndConversion) {
  struct Case {
    const char* text;
    const char* written;
  };
  const Case cases[] = {
      {"a\nb\n", "0:a\r\nb\r\n"},            // only the first line is stamped
      {"\n", "0:\r\n"},
      {"x\r\ny\nz\n", "0:x\r\ny\nz\n"},      // unchanged from the CR LF pair on
      {"a\nb\r\nc\n", "0:a\r\nb\r\nc\n"},    // converted up to the pair
      {"\x95\x5C\n", "0:\x95\x5C\r\n"},      // 表 ends with 0x5C, not a line end
      {"\x82\x0A", "0:\x82\x0A"},            // 0x0A as a second byte is skipped
  };
  for (const Case& c : cases) {
    CreateLogFile();
    WriteLog(c.text);
    EXPECT_EQ(ReadLog(), c.written) << c.text;
  }
}

TEST_F(LogTest, IndentTabsFollowTheTimeStamp) {
  IncreaseLogIndent();
  IncreaseLogIndent();
  EXPECT_EQ(GetLogIndent(), 2);
  WriteLog("deep\n");
  WriteLog("part ");
  WriteLog("two\n");
  DecreaseLogIndent();
  DecreaseLogIndent();
  EXPECT_EQ(DecreaseLogIndent(), 0);
  EXPECT_EQ(GetLogIndent(), 0);
  WriteLog("flat\n");
  EXPECT_EQ(ReadLog(), "0:\t\tdeep\r\n0:\t\tpart two\r\n0:flat\r\n");
  IncreaseLogIndent();
  CreateLogFile();  // a new log starts without indent
  EXPECT_EQ(GetLogIndent(), 0);
}

TEST_F(LogTest, TimeStampWrapsWithTheMillisecondClock) {
  platform::VirtualClock near_wrap(((uint64_t{1} << 32) - 3) * 1000);
  platform::SetClock(&near_wrap);
  CreateLogFile();
  near_wrap.Advance(10);
  WriteLog("after wrap\n");
  EXPECT_EQ(ReadLog(), "10:after wrap\r\n");
}

TEST_F(LogTest, OffOrWithoutStartDirectoryWritesAndEchoesNothing) {
  setenv("VESK_DEBUG_OUTPUT", "1", 1);
  EnableLogFile(0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(WriteLog("hidden\n"), -1);
  WriteLogF("hidden %d", 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadLog(), "");

  EnableLogFile(1);
  SetStartDirectory("");
  ::testing::internal::CaptureStderr();
  WriteLog("no folder yet\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ReadLog(), "");

  // Creating the log while it is off leaves an old file alone.
  SetStartDirectory(platform::NativeToEnginePath(folder_));
  WriteLog("kept\n");
  EnableLogFile(0);
  EXPECT_EQ(CreateLogFile(), 1);
  EXPECT_EQ(ReadLog(), "0:kept\r\n");
}

TEST_F(LogTest, DebugOutputEchoIsUtf8WithoutTimeStamp) {
  IncreaseLogIndent();
  setenv("VESK_DEBUG_OUTPUT", "1", 1);
  ::testing::internal::CaptureStderr();
  WriteLog("\x8F\x89\x8A\xFA\x89\xBB\n");  // 初期化
  std::string echoed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(echoed, std::string("\t") + reinterpret_cast<const char*>(u8"初期化") + "\r\n");
  setenv("VESK_DEBUG_OUTPUT", "0", 1);
  ::testing::internal::CaptureStderr();
  WriteLog("quiet\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(LogTest, WriteLogFAppendsLineFeedAndCutsLongTexts) {
  WriteLogF("value %d of %s", 7, "x");
  const std::string long_text(5000, 'a');
  WriteLogF("%s", long_text.c_str());
  EXPECT_EQ(ReadLog(), "0:value 7 of x\r\n0:" + std::string(1022, 'a') + "\r\n");
}

TEST_F(LogTest, WritesIntoTheStartDirectoryWithoutMovingAnyCurrentFolder) {
  // A start directory whose last character is 表 (second byte 0x5C).
  const std::string kanji_folder = folder_ + "/" + reinterpret_cast<const char*>(u8"表");
  ASSERT_TRUE(platform::CreateFolder(platform::NativeToEnginePath(kanji_folder)));
  SetStartDirectory(platform::NativeToEnginePath(kanji_folder));
  char process_before[4096];
  ASSERT_NE(getcwd(process_before, sizeof(process_before)), nullptr);
  const std::string engine_before = platform::GetCurrentFolder();

  CreateLogFile();
  WriteLog("here\n");
  EXPECT_EQ(ReadLog(kanji_folder), "0:here\r\n");
  EXPECT_EQ(ReadLog(), "");

  char process_after[4096];
  ASSERT_NE(getcwd(process_after, sizeof(process_after)), nullptr);
  EXPECT_STREQ(process_before, process_after);
  EXPECT_EQ(platform::GetCurrentFolder(), engine_before);
}

TEST_F(LogTest, CreateLogFileEmptiesTheOldLog) {
  WriteLog("old\n");
  clock_.Advance(50);
  CreateLogFile();
  WriteLog("new\n");
  EXPECT_EQ(ReadLog(), "0:new\r\n");
}

TEST(ScreenLogTest, InertWithoutGraphics) {
  ResetScreenLog();
  InstallServices({});
  EXPECT_EQ(InitScreenLog(), -1);
  EXPECT_EQ(IsScreenLogEnabled(), 0);
  EXPECT_EQ(DrawScreenLog(), 0);

  int fonts_made = 0;
  int lines_drawn = 0;
  FakeServices services;
  services.graphics.screen_log_ready = [] { return 1; };
  services.graphics.create_screen_log_font = [&] { return 100 + fonts_made++; };
  services.graphics.screen_height = [] { return 480; };
  services.graphics.draw_screen_log_line = [&](int, int, const char*, int) { ++lines_drawn; };
  services.Install();
  EXPECT_EQ(InitScreenLog(), 0);
  EXPECT_EQ(GetScreenLogFont(), 100);
  EXPECT_EQ(InitScreenLog(), 0);  // the first call only sets up
  EXPECT_EQ(fonts_made, 1);
  EXPECT_EQ(RefreshScreenLogFont(), 0);
  EXPECT_EQ(GetScreenLogFont(), 101);
  EXPECT_EQ(DrawScreenLog(), 0);
  EXPECT_EQ(lines_drawn, 0);  // nothing writes lines
  EXPECT_EQ(IsScreenLogEnabled(), 0);
  ResetScreenLog();
  InstallServices({});
  EXPECT_EQ(GetScreenLogFont(), -1);
}

}  // namespace
