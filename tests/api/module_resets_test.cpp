// The library's module resets: one a module, top layer first, and each
// puts its module's state back to the state before start-up.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/api/module_resets.h"
#include "engine/api/services/service_registry.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/screen_color.h"
#include "platform/clock.h"
#include "tests/support/fake_services.h"
#include "tests/support/fresh_state_test.h"

namespace {

class ModuleResetsTest : public FreshStateTest {};

TEST_F(ModuleResetsTest, OneResetAModuleFromTheTopLayerDown) {
  std::vector<std::string> names;
  for (const ModuleReset& entry : LibraryModuleResets()) {
    ASSERT_NE(entry.reset, nullptr) << entry.module;
    names.emplace_back(entry.module);
  }
  const std::vector<std::string> expected = {"services", "graphics", "sound", "text input", "network",
                                             "input",    "window",   "files", "base",       "platform"};
  EXPECT_EQ(names, expected);
}

TEST_F(ModuleResetsTest, EachModuleReturnsToItsStateBeforeStartUp) {
  FakeServices services;
  services.system.os_version = [] {
    OsVersion old;
    old.major = 5;
    return old;
  };
  platform::VirtualClock clock(123'000);
  struct Case {
    const char* what;
    std::function<void()> change;
    std::function<bool()> is_fresh;
  };
  const Case cases[] = {
      {"services", [&] { services.Install(); },
       [] { return GetSystemService().GetOsVersion().major == 6; }},
      {"graphics",
       [] {
         SetGraphManagerInitialized(1);
         GetScreenColorState().ScreenBits = 32;
       },
       [] { return IsGraphManagerInitialized() == 0 && GetScreenColorState().ScreenBits == 0; }},
      {"sound", [] { GetSoundHooks().delete_all_midi = [] {}; },
       [] { return !GetSoundHooks().delete_all_midi; }},
      {"window",
       [] {
         GetWindowData().window_mode = 0;
         GetWindowData().title = "left over";
       },
       [] { return GetWindowData().window_mode == 1 && GetWindowData().title.empty(); }},
      {"base",
       [] {
         SetQuitFlag(1);
         SetOsVersionCode(5);
         SetStartDirectory("G:\\Left\\");
         IncreaseLogIndent();
         EnableLogFile(0);
       },
       [] {
         return GetQuitFlag() == 0 && std::string(GetStartDirectory()).empty() && GetLogIndent() == 0;
       }},
      {"platform", [&] { platform::SetClock(&clock); }, [&] { return &platform::GetClock() != &clock; }},
  };
  for (const Case& c : cases) c.change();
  for (const Case& c : cases) EXPECT_FALSE(c.is_fresh()) << c.what << " was not changed";
  ResetLibraryModules();
  for (const Case& c : cases) EXPECT_TRUE(c.is_fresh()) << c.what;
  // A second reset, with nothing left to undo, changes nothing.
  ResetLibraryModules();
  for (const Case& c : cases) EXPECT_TRUE(c.is_fresh()) << c.what;
}

}  // namespace
