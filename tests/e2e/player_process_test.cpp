// Runs the real vesk-player binary headless on game folders built by the
// fixture writers: start-up through Game.dat, Game.ini, the library and the
// game's data (plain or packed), the window pumped until it is closed, and
// the way out with Game.ini written back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/graphics/golden_png.h"
#include "tests/support/direct3d_startup_log.h"
#include "tools/writers/archive_writer.h"
#include "tools/writers/fixture_game.h"

namespace {

namespace fs = std::filesystem;

// Waits are bounded by a number of 20 ms polls (<chrono> cannot be compiled
// with the Shift-JIS execution character set).
constexpr int kPollsPerSecond = 50;
void PollPause() { usleep(20000); }

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class PlayerProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(VESK_BINARY_DIR) / "e2e_games" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    runtime_ = fs::path(VESK_BINARY_DIR) / "e2e_runtime" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(runtime_);
  }

  writers::FixtureGame WriteGame(bool pack, const char* soft_mode = "0") {
    writers::FixtureGame game = writers::SmallFixtureGame();
    game.game_dat.key_text = "e2e key";
    game.game_ini = {{"Start", "0"}, {"SoftModeFlag", soft_mode}, {"WindowModeFlag", "1"}};
    fs::create_directories(folder_);
    EXPECT_TRUE(writers::WriteFixtureGame(game, folder_.string()));
    if (pack) {
      writers::ArchiveWriteOptions options;
      options.key_text = game.game_dat.key_text;
      options.compress = true;
      std::string message;
      EXPECT_TRUE(writers::WriteArchiveFromFolder((folder_ / "Data").string(), (folder_ / "Data.vesk").string(),
                                                  options, &message))
          << message;
      fs::remove_all(folder_ / "Data");
    }
    return game;
  }

  // Starts the player on the folder with the engine command line; with a
  // display, on that X display through SDL's X11 driver.
  pid_t Launch(const std::string& command_line, const std::string& x_display = "") {
    const std::string player = std::string(VESK_BINARY_DIR) + "/game/vesk-player";
    const std::string game_option = "--game=" + folder_.string();
    const pid_t pid = fork();
    if (pid == 0) {
      if (x_display.empty()) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
      } else {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("DISPLAY", x_display.c_str(), 1);
      }
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      // Each test's player keeps its single-instance lock apart from the
      // others running at the same time with the same game title.
      setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
      // System libraries under SDL keep allocations until the process ends.
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      std::vector<std::string> words = {player, game_option};
      words.insert(words.end(), launcher_options_.begin(), launcher_options_.end());
      if (!command_line.empty()) words.push_back(command_line);
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      execv(player.c_str(), argv.data());
      _exit(127);
    }
    return pid;
  }

  // Waits (bounded) for the process to end; its exit status, or -1000 when
  // it had to be killed.
  static int WaitForExit(pid_t pid, int seconds) {
    int status = 0;
    for (int poll = 0; poll < seconds * kPollsPerSecond; ++poll) {
      if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2000;
      PollPause();
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1000;
  }

  // Waits (bounded) until the log holds the text.
  bool WaitForLog(const std::string& text, int seconds) {
    for (int poll = 0; poll < seconds * kPollsPerSecond; ++poll) {
      if (ReadWholeFile(folder_ / "Log.txt").find(text) != std::string::npos) return true;
      PollPause();
    }
    return false;
  }

  fs::path folder_;
  fs::path runtime_;
  std::vector<std::string> launcher_options_;  // before the command line
};

// The title step is logged only after the databases and common events
// loaded; closing the window (SIGINT becomes a close) ends the run cleanly.
TEST_F(PlayerProcessTest, StartsLoadsTheGameAndEndsWhenClosed) {
  for (const bool pack : {false, true}) {
    SCOPED_TRACE(pack ? "packed Data" : "plain Data");
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WriteGame(pack);
    const pid_t pid = Launch("Test_Of_Main");
    ASSERT_GT(pid, 0);
    const bool reached_title = WaitForLog("タイトル処理開始", 60);
    kill(pid, SIGINT);
    EXPECT_TRUE(reached_title) << ReadWholeFile(folder_ / "Log.txt");
    EXPECT_EQ(WaitForExit(pid, 60), 0);
    const std::string ini = ReadWholeFile(folder_ / "Game.ini");
    EXPECT_EQ(ini.rfind("Start=0\r\nSoftModeFlag=0\r\nWindowModeFlag=1\r\n", 0), 0u) << ini;
    EXPECT_NE(ReadWholeFile(folder_ / "Log.txt").find("Alloc memory dump"), std::string::npos);
  }
}

// Game.ini's software mode reaches the graphics start-up: the screens are
// memory images there, display surfaces otherwise; both ways start their
// graphics and end cleanly.
TEST_F(PlayerProcessTest, StartsItsGraphicsInBothWaysOfRunning) {
  const std::string memory_screens = "PrimaryBuffer : SYSTEMMEMORY( MEMIMG )";
  for (const bool soft : {false, true}) {
    SCOPED_TRACE(soft ? "software mode" : "hardware drawing");
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WriteGame(false, soft ? "1" : "0");
    const pid_t pid = Launch("Test_Of_Main");
    ASSERT_GT(pid, 0);
    const bool reached_title = WaitForLog("タイトル処理開始", 60);
    kill(pid, SIGINT);
    EXPECT_EQ(WaitForExit(pid, 60), 0);
    const std::string log = ReadWholeFile(folder_ / "Log.txt");
    EXPECT_TRUE(reached_title) << log;
    EXPECT_NE(log.find("グラフィック管理系の初期化は正常に終了しました"), std::string::npos) << log;
    EXPECT_EQ(log.find(memory_screens) != std::string::npos, soft) << log;
  }
}

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// A packed game in folders whose path code page 932 cannot spell, longer
// than the engine's path buffers, or beside a sibling that differs only in
// case: the archive is found, the log is written and the run ends cleanly.
TEST_F(PlayerProcessTest, GameFoldersOfAnyPathRunFromTheirArchives) {
  const fs::path base = folder_;
  const std::string long_element(60, 'L');
  struct Case {
    const char* what;
    fs::path folder;
    fs::path sibling;  // made empty beside the game, when not empty
  };
  const std::vector<Case> cases = {
      {"accented letter", base / U8(u8"caf\u00e9") / "game", {}},
      {"emoji", base / U8(u8"\U0001F3AE games"), {}},
      {"300-byte path", base / long_element / long_element / long_element / long_element / long_element, {}},
      {"case-variant sibling", base / "siblings" / "game", base / "siblings" / "GAME"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    folder_ = c.folder;
    if (!c.sibling.empty()) fs::create_directories(c.sibling);
    WriteGame(true);
    if (std::string(c.what) == "300-byte path") {
      ASSERT_GE(folder_.string().size(), 300u);
    }
    const pid_t pid = Launch("Test_Of_Main");
    ASSERT_GT(pid, 0);
    const bool reached_title = WaitForLog("タイトル処理開始", 60);
    kill(pid, SIGINT);
    EXPECT_TRUE(reached_title) << ReadWholeFile(folder_ / "Log.txt");
    EXPECT_EQ(WaitForExit(pid, 60), 0);
    EXPECT_NE(ReadWholeFile(folder_ / "Log.txt").find("Alloc memory dump"), std::string::npos);
    if (!c.sibling.empty()) {
      EXPECT_TRUE(fs::is_empty(c.sibling));
    }
  }
}

// Starts a virtual X server that picks its own display number; the display
// name (":N"), or empty when Xvfb is not installed or does not start.
std::string StartXvfb(pid_t& server) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) return "";
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "";
  server = fork();
  if (server == 0) {
    close(pipe_fds[0]);
    const std::string fd = std::to_string(pipe_fds[1]);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  std::string number;
  char c = 0;
  while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipe_fds[0]);
  return number.empty() ? "" : ":" + number;
}

// On a real (virtual) X display the player opens its window through SDL's
// X11 driver, runs and ends cleanly when it is closed.
TEST_F(PlayerProcessTest, OpensItsWindowOnAnXDisplay) {
  pid_t server = -1;
  const std::string display = StartXvfb(server);
  if (display.empty()) {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
    GTEST_SKIP() << "Xvfb is not available";
  }
  WriteGame(false);
  const pid_t pid = Launch("Test_Of_Main", display);
  ASSERT_GT(pid, 0);
  const bool reached_title = WaitForLog("タイトル処理開始", 60);
  kill(pid, SIGINT);
  EXPECT_TRUE(reached_title) << ReadWholeFile(folder_ / "Log.txt");
  EXPECT_EQ(WaitForExit(pid, 60), 0);
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  EXPECT_NE(ReadWholeFile(folder_ / "Log.txt").find("Alloc memory dump"), std::string::npos);
}

// Losing the display (its X server ends under the player) is a close: the
// quit road runs, Game.ini is written on the way out and the process ends
// with 0.
TEST_F(PlayerProcessTest, LosingTheDisplayClosesTheGame) {
  pid_t server = -1;
  const std::string display = StartXvfb(server);
  if (display.empty()) {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
    GTEST_SKIP() << "Xvfb is not available";
  }
  WriteGame(false);
  const pid_t pid = Launch("Test_Of_Main", display);
  ASSERT_GT(pid, 0);
  const bool reached_title = WaitForLog("タイトル処理開始", 60);
  // Game.ini was written at start-up; the way out writes it again.
  fs::remove(folder_ / "Game.ini");
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  EXPECT_TRUE(reached_title) << ReadWholeFile(folder_ / "Log.txt");
  EXPECT_EQ(WaitForExit(pid, 60), 0);
  const std::string ini = ReadWholeFile(folder_ / "Game.ini");
  EXPECT_EQ(ini.rfind("Start=0\r\nSoftModeFlag=0\r\nWindowModeFlag=1\r\n", 0), 0u) << ini;
  EXPECT_NE(ReadWholeFile(folder_ / "Log.txt").find("Alloc memory dump"), std::string::npos);
}

// Without test play no log file is written.
TEST_F(PlayerProcessTest, NoLogOutsideTestPlay) {
  WriteGame(false);
  fs::remove(folder_ / "Game.ini");  // a first run: Game.ini is written anew
  const pid_t pid = Launch("");
  ASSERT_GT(pid, 0);
  // Start=0 is written right after the library started.
  for (int poll = 0; poll < 60 * kPollsPerSecond && ReadWholeFile(folder_ / "Game.ini").rfind("Start=0", 0) != 0;
       ++poll) {
    PollPause();
  }
  for (int poll = 0; poll < 10; ++poll) PollPause();
  kill(pid, SIGINT);
  EXPECT_EQ(WaitForExit(pid, 60), 0);
  EXPECT_FALSE(fs::exists(folder_ / "Log.txt"));
}

// A folder without Game.dat: the message, and a normal end (exit code 0).
TEST_F(PlayerProcessTest, MissingGameDatEndsTheStart) {
  const pid_t pid = Launch("");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForExit(pid, 60), 0);
  EXPECT_FALSE(fs::exists(folder_ / "Game.ini"));
}

// A missing database file ends the program with exit code 1.
TEST_F(PlayerProcessTest, MissingDatabaseEndsWithCodeOne) {
  WriteGame(false);
  fs::remove(folder_ / "Data" / "BasicData" / "DataBase.dat");
  const pid_t pid = Launch("");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForExit(pid, 60), 1);
}

// The lines the log holds from the first that equals `from` to the first
// that equals `to` after it (time stamps and indents taken off).
std::vector<std::string> LogBlock(const std::string& log, const std::string& from, const std::string& to) {
  std::vector<std::string> lines;
  size_t pos = 0;
  bool in = false;
  while (pos < log.size()) {
    size_t end = log.find("\r\n", pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    pos = end + 2;
    const size_t colon = line.find(':');
    if (colon != std::string::npos) line = line.substr(colon + 1);
    while (!line.empty() && line[0] == '\t') line.erase(0, 1);
    if (line == from) in = true;
    if (in) lines.push_back(line);
    if (in && line == to) break;
  }
  return lines;
}

// The player with hardware drawing allowed (SoftModeFlag 0): with no display
// (OpenGL through EGL alone) and on a virtual X display, it starts Direct3D
// on the OpenGL stand-in and logs its start, presents frames, saves the
// fifth as the launcher option asks and ends cleanly when its window
// closes. The frame matches the software run's: every channel within 2.
TEST_F(PlayerProcessTest, HardwarePathPresentsAndSavesAFrameLikeTheSoftwarePath) {
  launcher_options_ = {"--save-frame=5:frame.png"};
  auto run = [&](const char* soft_mode, const std::string& display, golden::Frame* frame) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WriteGame(false, soft_mode);
    const pid_t pid = Launch("Test_Of_Main", display);
    ASSERT_GT(pid, 0);
    const bool saved = WaitForLog("frame 5 saved", 60);
    kill(pid, SIGINT);
    EXPECT_EQ(WaitForExit(pid, 60), 0);
    const std::string log = ReadWholeFile(folder_ / "Log.txt");
    ASSERT_TRUE(saved) << log;
    EXPECT_NE(log.find("frame 5 saved: G:\\frame.png (0)"), std::string::npos) << log;
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos) << "a clean end";
    ASSERT_TRUE(golden::ReadPng((folder_ / "frame.png").string(), frame));
    if (std::string(soft_mode) == "0") {
      const std::vector<std::string>& expected = test_support::Direct3DStartupLogLines();
      EXPECT_EQ(LogBlock(log, expected.front(), expected.back()), expected) << log;
    }
  };
  golden::Frame software;
  run("1", "", &software);
  if (HasFatalFailure()) return;
  ASSERT_EQ(software.width, 640);
  ASSERT_EQ(software.height, 480);

  pid_t server = -1;
  const std::string x_display = StartXvfb(server);
  std::vector<std::string> displays = {""};
  if (!x_display.empty()) displays.push_back(x_display);
  for (const std::string& display : displays) {
    SCOPED_TRACE(display.empty() ? "no display" : "Xvfb " + display);
    golden::Frame hardware;
    run("0", display, &hardware);
    if (HasFatalFailure()) break;
    ASSERT_EQ(hardware.width, software.width);
    ASSERT_EQ(hardware.height, software.height);
    size_t outside = 0;
    for (size_t i = 0; i < software.rgb.size(); ++i) {
      for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((software.rgb[i] >> shift) & 0xFF);
        const int b = static_cast<int>((hardware.rgb[i] >> shift) & 0xFF);
        if (a - b > 2 || b - a > 2) {
          ++outside;
          break;
        }
      }
    }
    EXPECT_EQ(outside, 0u) << "pixels beyond the tolerance";
  }
  if (server > 0) {
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
  }
}

}  // namespace
