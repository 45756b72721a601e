// Message boxes without a display: recorded for tests, printed to stderr in
// UTF-8, and never waiting.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

// Sets environment variables for one test and restores them afterwards.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnvironment() {
    for (auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(MessageBoxTest, HasDisplayTable) {
  struct Case {
    const char* driver;
    const char* display;
    const char* wayland;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"dummy", ":0", nullptr, false},
      {"offscreen", ":0", "wayland-0", false},
      {nullptr, nullptr, nullptr, false},
      {nullptr, "", "", false},
      {nullptr, ":0", nullptr, true},
      {"x11", ":1", nullptr, true},
      {nullptr, nullptr, "wayland-0", true},
  };
  for (const Case& c : cases) {
    ScopedEnvironment env;
    env.Set("SDL_VIDEODRIVER", c.driver);
    env.Set("DISPLAY", c.display);
    env.Set("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(HasDisplay(), c.expected)
        << (c.driver ? c.driver : "-") << " " << (c.display ? c.display : "-");
  }
}

TEST(MessageBoxTest, HeadlessBoxIsRecordedAndPrintedInUtf8) {
  ScopedEnvironment env;
  env.Set("SDL_VIDEODRIVER", "dummy");
  std::vector<std::pair<std::string, std::string>> recorded;
  SetMessageBoxRecorder([&](std::string_view title, std::string_view text) {
    recorded.emplace_back(std::string(title), std::string(text));
  });
  // "起動に失敗しました" in Shift-JIS, and ソ whose second byte is 0x5C.
  const std::string text = "\x8B\x4E\x93\xAE\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
  ::testing::internal::CaptureStderr();
  ShowMessageBox("\x83\x5C", text);
  std::string printed = ::testing::internal::GetCapturedStderr();
  SetMessageBoxRecorder(nullptr);
  ShowMessageBox("unrecorded", "x");

  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].first, "\x83\x5C");
  EXPECT_EQ(recorded[0].second, text);
  EXPECT_NE(printed.find(reinterpret_cast<const char*>(u8"ソ")), std::string::npos) << printed;
  EXPECT_NE(printed.find(reinterpret_cast<const char*>(u8"起動に失敗しました")), std::string::npos)
      << printed;
}

// Without a display every button set answers with its first button at once;
// the system seam's null service takes the same road even with a display.
TEST(MessageBoxTest, HeadlessAnswerIsTheDefaultButtonOfEachSet) {
  ScopedEnvironment env;
  env.Set("SDL_VIDEODRIVER", "dummy");
  struct Case {
    MessageBoxButtons buttons;
    MessageBoxAnswer answer;
    int code;  // the system's answer code
  };
  const Case cases[] = {
      {MessageBoxButtons::kOk, MessageBoxAnswer::kOk, 1},
      {MessageBoxButtons::kOkCancel, MessageBoxAnswer::kOk, 1},
      {MessageBoxButtons::kYesNo, MessageBoxAnswer::kYes, 6},
      {MessageBoxButtons::kYesNoCancel, MessageBoxAnswer::kYes, 6},
      {MessageBoxButtons::kRetryCancel, MessageBoxAnswer::kRetry, 4},
      {MessageBoxButtons::kAbortRetryIgnore, MessageBoxAnswer::kAbort, 3},
  };
  int recorded = 0;
  SetMessageBoxRecorder([&](std::string_view, std::string_view) { ++recorded; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(DefaultMessageBoxAnswer(c.buttons), c.answer);
    EXPECT_EQ(static_cast<int>(c.answer), c.code);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("t", "x", MessageBoxKind::kWarning, c.buttons), c.answer);
    EXPECT_EQ(ShowHeadlessMessageBox("t", "y", c.buttons, MessageBoxKind::kError), c.answer);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("[t] x"), std::string::npos) << printed;
    EXPECT_NE(printed.find("[t] y"), std::string::npos) << printed;
  }
  SetMessageBoxRecorder(nullptr);
  EXPECT_EQ(recorded, 12);
}

}  // namespace
}  // namespace platform
