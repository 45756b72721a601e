// The fatal road with the library's own services and the message thread
// running, raised on the main thread and on the message thread, each many
// times in a child process (a separate program, so nothing of this test
// process leaks into it): exit code 255 and the logged text every time, and
// never a hang. A child still running after the bound is killed, which fails
// the case.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/scratch_folder.h"

extern char** environ;

namespace {

constexpr int kRuns = 12;
// Far beyond a normal run (well under a second), so only a hang reaches it.
constexpr int kBoundMs = 60000;

struct ChildResult {
  int status = 0;  // exit status; 1000 + signal; -1 still running at the bound
  std::string stderr_text;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ChildResult RunChild(const std::string& mode, const std::string& folder) {
  ChildResult result;
  const std::string err_path = folder + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string program = VESK_FATAL_ROAD_CHILD;
  char* args[] = {program.data(), const_cast<char*>(mode.c_str()), const_cast<char*>(folder.c_str()),
                  nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    result.status = -2;
    return result;
  }
  result.status = -1;
  for (int waited = 0; waited < kBoundMs; waited += 5) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
      break;
    }
    const timespec pause{0, 5 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  if (result.status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  result.stderr_text = ReadFile(err_path);
  return result;
}

TEST(FatalRoad, EndsWith255FromEitherThreadEveryTime) {
  struct Case {
    const char* mode;
    const char* logged;
  } cases[] = {
      {"main", "fatal road: main thread\r\n"},
      {"message", "fatal road: message thread\r\n"},
  };
  for (const Case& c : cases) {
    for (int run = 0; run < kRuns; ++run) {
      SCOPED_TRACE(std::string(c.mode) + " run " + std::to_string(run));
      testsupport::ScratchFolder game("fatal_road");
      const ChildResult child = RunChild(c.mode, game.Path().string());
      ASSERT_EQ(child.status, 255) << child.stderr_text;
      const std::string log = ReadFile((game.Path() / "Log.txt").string());
      const size_t fatal = log.find(c.logged);
      ASSERT_NE(fatal, std::string::npos) << log;
      if (std::string(c.mode) == "main") {
        // On the thread that started the library the shutdown runs after the
        // text, down to the dump of what is still allocated.
        EXPECT_NE(log.find("Alloc memory dump", fatal), std::string::npos) << log;
      }
    }
  }
}

}  // namespace
