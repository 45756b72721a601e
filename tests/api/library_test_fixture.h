// A fixture for tests of library start-up and the library entry points: on
// top of the fresh state of every module, a virtual clock, a temporary start directory
// for Log.txt, a fixed processor, and recorders on every service seam that
// list the steps in the order they ran. A step named in fail_step answers
// failure.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/api/library_startup.h"
#include "platform/clock.h"
#include "tests/support/fake_services.h"
#include "tests/support/fresh_state_test.h"

class LibraryFixture : public FreshStateTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs fake services whose operations record their steps.
  void InstallRecorders();
  // The text of Log.txt in the start directory ("" when missing).
  std::string ReadLog() const;
  std::vector<std::string> Recorded() const { return steps_; }
  void ClearSteps() { steps_.clear(); }

  platform::VirtualClock clock_{5000000};
  std::string native_dir_;
  std::string start_dir_;  // drive form
  std::vector<std::string> steps_;
  std::string fail_step_;
  int desktop_depth_ = 32;
  int window_mode_ = 1;
  int requested_depth_ = 16;
  int direct3d_disabled_ = 0;
  OsVersion os_;
  FakeServices services_;
  std::string saved_folder_;  // the platform's current folder before the test
  ProcessorInfo cpu_;
};
