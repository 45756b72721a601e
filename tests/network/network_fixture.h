// Fixture of the network tests: a virtual clock, Log.txt in a scratch
// folder, and the socket layer and HTTP tasks put back to stopped and empty
// after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/tcp_socket.h"
#include "tests/support/fresh_state_test.h"

class NetworkFixture : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    char templ[] = "/tmp/vesk_net_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    folder_ = templ;
    platform::SetClock(&clock_);
    SetStartDirectory(platform::NativeToEnginePath(folder_));
    EnableLogFile(1);
    CreateLogFile();
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    const std::string command = "rm -rf '" + folder_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  std::string ReadLog() const {
    std::ifstream in(folder_ + "/Log.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  bool LogHas(const std::string& text) const { return ReadLog().find(text) != std::string::npos; }

  platform::VirtualClock clock_{1'000'000};
  std::string folder_;
};
