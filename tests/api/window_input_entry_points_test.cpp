// The window and input entry points on a started library with the real
// window and input services (no display): each row injects what the desktop
// or a device would report, calls one entry point and checks its result and
// what it changed. The rows run in order on one window, so a row sees what
// the rows before it set (the zoom of 2, say).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/api/input_entry_points.h"
#include "engine/api/library_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/window_entry_points.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_thread.h"
#include "platform/input_devices.h"
#include "platform/window.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"
#include "tests/support/started_library_test.h"

namespace {

using Kind = platform::WindowEventKind;

void Push(Kind kind, int32_t value = 0) {
  platform::WindowEvent event;
  event.kind = kind;
  event.value = value;
  platform::PushWindowEvent(event);
}

class WindowInputEntryPoints : public StartedLibraryTest {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    platform::ReleaseAllFakeKeys();
    platform::SetFakeMouseButtons(0);
    platform::InstallFakePads(1);
    InstallServices(WindowServices());
    ASSERT_EQ(StartLibrary(), 0);
  }
  void ResetAfterEnd() override {
    platform::ReleaseAllFakeKeys();
    platform::SetFakeMouseButtons(0);
    platform::InstallFakePads(0);
  }
};

TEST_F(WindowInputEntryPoints, EachEntryPointThroughInjectedEvents) {
  int x = -1, y = -1;
  uint8_t keys[256] = {};
  struct Row {
    const char* entry;
    std::function<void()> inject;
    std::function<int()> call;
    int result;
    std::function<void()> check;
  };
  const std::vector<Row> rows = {
      {"SetRunWhileInactive", [] {}, [] { return SetRunWhileInactive(1); }, 0,
       [] { EXPECT_EQ(GetWindowData().run_in_background, 1); }},
      {"PumpMessages", [] { Push(Kind::kDeactivated); }, [] { return PumpMessages(); }, 0,
       [] {}},  // returns although inactive: running in the background is on
      {"IsWindowActive", [] {}, [] { return IsWindowActive(); }, 0, [] {}},
      {"IsWindowActive", [] { Push(Kind::kActivated); PumpMessages(); }, [] { return IsWindowActive(); }, 1,
       [] {}},
      {"SetWindowedMode", [] {}, [] { return SetWindowedMode(1); }, 0,
       [] { EXPECT_EQ(IsWindowedMode(), 1); }},
      {"SetWindowTitle", [] {}, [] { return SetWindowTitle("\x83\x5C\x95\x5C"); }, 0,
       [] { EXPECT_EQ(GetWindowData().title, "\x83\x5C\x95\x5C"); }},
      {"SetWindowIconResource", [] {}, [] { return SetWindowIconResource(5); }, 0,
       [] { EXPECT_EQ(GetWindowData().icon_number, 5); }},
      {"SetWindowZoom", [] {}, [] { return SetWindowZoom(2.0); }, 0,
       [] {
         const platform::ClientRect client = platform::GetMainWindowClientRect();
         EXPECT_EQ(client.right - client.left, 1280);
         EXPECT_EQ(client.bottom - client.top, 960);
       }},
      {"MoveMouseCursor", [] {}, [] { return MoveMouseCursor(10, 20); }, 0, [] {}},
      // The cursor stands 10 and 20 client pixels in: 5 and 10 screen pixels at zoom 2.
      {"ReadMousePosition", [] {}, [&] { return ReadMousePosition(&x, &y); }, 0,
       [&] {
         EXPECT_EQ(x, 5);
         EXPECT_EQ(y, 10);
       }},
      {"SetMouseCursorVisible", [] {}, [] { return SetMouseCursorVisible(0); }, 0, [] {}},
      {"IsMouseCursorVisible", [] {}, [] { return IsMouseCursorVisible(); }, 0, [] {}},
      {"GetMouseWheelDelta",
       [] {
         for (int value : {1, 1, -1, 1}) Push(Kind::kMouseWheel, value);
         PumpMessages();
       },
       [] { return GetMouseWheelDelta(); }, 2, [] { EXPECT_EQ(GetMouseWheelDelta(), 0); }},
      {"GetMouseButtons", [] { platform::SetFakeMouseButtons(1 | 4); }, [] { return GetMouseButtons(); }, 5,
       [] { platform::SetFakeMouseButtons(0); }},
      {"FindPressedInput", [] { platform::SetFakeKey(0x1C, true); }, [] { return FindPressedInput(1); }, 0x1C,
       [] { platform::SetFakeKey(0x1C, false); }},
      {"ReadAllKeyStates", [] { platform::SetFakeKey(0x1E, true); }, [&] { return ReadAllKeyStates(keys); }, 0,
       [&] {
         EXPECT_EQ(keys[0x1E], 1);
         EXPECT_EQ(keys[0x1C], 0);
         platform::SetFakeKey(0x1E, false);
       }},
      {"ReadPadButtons",
       [] {
         platform::RawPadInput input;
         input.buttons[1] = true;
         input.axes[0] = 32767;
         platform::SetFakePadInput(0, input);
       },
       [] { return ReadPadButtons(1); }, 0x20 | 4, [] {}},
      {"PumpMessages", [] { Push(Kind::kCloseRequested); },
       [] {
         int result = 0;
         for (int pass = 0; pass < 100 && result == 0; ++pass) result = PumpMessages();
         return result;
       },
       -1, [] { EXPECT_FALSE(GetApiLockState().held); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    clock_.Advance(2);  // input is read afresh at most once a millisecond
    row.inject();
    EXPECT_EQ(row.call(), row.result);
    EXPECT_FALSE(GetApiLockState().held) << "every entry point releases the lock";
    row.check();
  }
}

}  // namespace
