// A virtual X server (Xvfb) for tests that need a real display: it picks a
// free display number itself and ends with the object. Start is false when
// Xvfb is not installed or does not come up; such tests skip.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace test_support {

class VirtualXServer {
 public:
  VirtualXServer() = default;
  VirtualXServer(const VirtualXServer&) = delete;
  VirtualXServer& operator=(const VirtualXServer&) = delete;
  ~VirtualXServer() { Stop(); }

  // screen: WIDTHxHEIGHTxDEPTH of screen 0.
  bool Start(const std::string& screen) {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
            "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (pid_ < 0 || number.empty()) {
      Stop();
      return false;
    }
    display_ = ":" + number;
    return true;
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    display_.clear();
  }

  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace test_support
