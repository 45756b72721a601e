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

}  // namespace
}  // namespace platform
