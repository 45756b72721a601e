// Shared pieces of the data-layer tests: a fixture that starts each test
// from the fresh state of every module and game record and records the
// message boxes, and a scratch game folder
// that becomes the engine's current folder for the test's length.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/data/data_error_report.h"
#include "platform/message_box.h"
#include "tests/support/fresh_state_test.h"

struct RecordedMessageBox {
  std::string title, text;
};

class DataLayerTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    message_boxes_.clear();
    platform::SetMessageBoxRecorder([this](std::string_view title, std::string_view text) {
      message_boxes_.push_back({std::string(title), std::string(text)});
    });
  }
  void TearDown() override { FreshStateTest::TearDown(); }
  std::vector<RecordedMessageBox> message_boxes_;
};

// A fresh folder under the build tree, made the engine's current folder;
// the previous current folder comes back at the end.
class ScratchGameFolder {
 public:
  explicit ScratchGameFolder(const std::string& test_name);
  ~ScratchGameFolder();
  const std::filesystem::path& Path() const { return path_; }
  std::string Native(const std::string& relative) const { return (path_ / relative).string(); }

 private:
  std::filesystem::path path_;
  std::string previous_;
};
