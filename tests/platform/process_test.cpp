// Launch options, the engine's command line and the one exit path.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace platform {
namespace {

class LaunchArgumentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    saved_cwd_ = cwd;
    saved_folder_ = GetCurrentFolder();
    char templ[] = "/tmp/vesk_launch_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    game_ = templ;
  }
  void TearDown() override {
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    SetCurrentFolder(saved_folder_);
    rmdir(game_.c_str());
  }
  bool Launch(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return SetLaunchArguments(static_cast<int>(words.size()), argv.data());
  }
  std::string ProcessFolder() {
    char cwd[4096];
    return getcwd(cwd, sizeof(cwd)) ? cwd : "";
  }

  std::string saved_cwd_, saved_folder_, game_;
};

TEST_F(LaunchArgumentsTest, OptionsAreRemovedFromTheCommandLine) {
  struct Case {
    std::vector<std::string> argv;
    bool ok;
    std::string command_line;
    bool in_game_folder;
  };
  const std::vector<Case> cases = {
      {{"player"}, true, "", false},
      {{"player", "Test_Of_Main"}, true, "Test_Of_Main", false},
      {{"player", "--game", game_, "Test_Of_Main"}, true, "Test_Of_Main", true},
      {{"player", "Test_Of_Main", "--game=" + game_}, true, "Test_Of_Main", true},
      {{"player", "a", "", "b", "--game", game_, "c"}, true, "a b c", true},
      {{"player", reinterpret_cast<const char*>(u8"表示")}, true, "\x95\x5C\x8E\xA6", false},
      {{"player", "--game"}, false, "", false},
      {{"player", "--game="}, false, "", false},
      {{"player", "--game", game_ + "/missing"}, false, "", false},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    EXPECT_EQ(Launch(c.argv), c.ok) << c.argv.back();
    if (!c.ok) continue;
    EXPECT_EQ(CommandLine(), c.command_line) << c.argv.back();
    const std::string expected_folder = c.in_game_folder ? game_ : saved_cwd_;
    EXPECT_EQ(ProcessFolder(), expected_folder);
    EXPECT_EQ(GameFolderNative(), expected_folder);
    EXPECT_EQ(GetCurrentFolder(), NativeToEnginePath(expected_folder));
  }
}

TEST_F(LaunchArgumentsTest, SaveFrameOptionNamesAFrameAndAFileOfTheGame) {
  struct Case {
    std::string option;
    bool ok;
    int frame;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"--save-frame=3:frame.png", true, 3, "G:\\frame.png"},
      {"--save-frame=120:shots/last.png", true, 120, "G:\\shots\\last.png"},
      {"--save-frame=0:frame.png", false, 0, ""},
      {"--save-frame=:frame.png", false, 0, ""},
      {"--save-frame=3:", false, 0, ""},
      {"--save-frame=3", false, 0, ""},
      {"--save-frame=x3:frame.png", false, 0, ""},
      {"--save-frame=1234567890:frame.png", false, 0, ""},
      {"--save-frame=3:../outside.png", false, 0, ""},
      {"--save-frame=3:/tmp/outside.png", false, 0, ""},
      {"--save-frame=3:C:frame.png", false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    ASSERT_EQ(Launch({"player", c.option, "Test_Of_Main"}), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(CommandLine(), "Test_Of_Main");
    EXPECT_EQ(GetFrameSaveRequest().frame, c.frame);
    EXPECT_EQ(GetFrameSaveRequest().file, c.file);
  }
  ASSERT_TRUE(Launch({"player"}));
  EXPECT_EQ(GetFrameSaveRequest().frame, 0) << "no request without the option";
}

void WriteHookMark(int code) { std::fprintf(stderr, "exit hook saw %d\n", code); }

TEST(ExitProcessDeathTest, RunsTheHookThenExitsWithTheCode) {
  EXPECT_EXIT(
      {
        SetExitHook(WriteHookMark);
        ExitProcess(3);
      },
      ::testing::ExitedWithCode(3), "exit hook saw 3");
  // -1 reaches the parent as 255, the low byte of the status.
  EXPECT_EXIT(ExitProcess(-1), ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace platform
