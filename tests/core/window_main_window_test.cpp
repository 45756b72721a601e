// The main window: creation, scale, cursor and mouse position, mode changes
// and the refusal of a second copy.
#include <string>

#include "platform/window.h"
#include "tests/core/window_test_fixture.h"

namespace {

using MainWindowTest = WindowFixture;

int32_t Width(const WindowRectangle& r) { return r.right - r.left; }
int32_t Height(const WindowRectangle& r) { return r.bottom - r.top; }

TEST_F(MainWindowTest, OpensA640By480WindowPumpsUntilClosedAndEnds) {
  OpenWindow();
  WindowRectangle rect;
  GetWindowClientRect(&rect);
  EXPECT_EQ(Width(rect), 640);
  EXPECT_EQ(Height(rect), 480);
  int bits = 0;
  GetDesktopDisplayMode(nullptr, nullptr, &bits);
  EXPECT_EQ(bits, 32);
  EXPECT_EQ(GetCursorRequest(), 1);
  EXPECT_EQ(IsWindowedMode(), 1);
  EXPECT_EQ(GetWindowData().class_name, title_);
  EXPECT_EQ(GetWindowData().window_creating, 0);
  int passes = 0;
  Push(platform::WindowEventKind::kCloseRequested);
  while (ProcessMessage() == 0) ASSERT_LT(++passes, 10);
  EXPECT_EQ(DestroyMainWindow(), 0);
  EXPECT_FALSE(platform::HasMainWindow());
}

TEST_F(MainWindowTest, DefaultTitleAndClassName) {
  SetWindowCaption("");
  // Another test process may use the default class name at the same time;
  // the lock folder is this test's own.
  OpenWindow();
  EXPECT_EQ(GetWindowData().class_name, kDefaultWindowClassName);
  EXPECT_EQ(GetWindowData().title, "Orvex");
}

TEST_F(MainWindowTest, ScaleTwoDoublesTheClientAreaAndHalvesMousePositions) {
  SetWindowScale(2.0);
  OpenWindow();
  WindowRectangle rect;
  GetWindowClientRect(&rect);
  EXPECT_EQ(Width(rect), 1280);
  EXPECT_EQ(Height(rect), 960);
  // Centred on a smaller desktop the client area would start off it; it is
  // moved to start at the desktop's edge instead.
  int desktop_w = 0, desktop_h = 0;
  GetDesktopDisplayMode(&desktop_w, &desktop_h, nullptr);
  EXPECT_EQ(rect.left, desktop_w < 1280 ? 0 : (desktop_w - 1280) / 2);
  EXPECT_EQ(rect.top, desktop_h < 960 ? 0 : (desktop_h - 960) / 2);
  // The position set is in client pixels, not multiplied by the scale.
  SetMousePosition(10, 10);
  int32_t cx = 0, cy = 0;
  platform::GetCursorPosition(&cx, &cy);
  EXPECT_EQ(cx, rect.left + 10);
  EXPECT_EQ(cy, rect.top + 10);
  int x = -1, y = -1;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 5);
  EXPECT_EQ(GetMousePosition(nullptr, nullptr), 0);
  // A new scale re-styles the open window.
  SetWindowScale(1.5);
  GetWindowClientRect(&rect);
  EXPECT_EQ(Width(rect), 960);
  EXPECT_EQ(Height(rect), 720);
}

TEST_F(MainWindowTest, SetMousePositionClampsToTheScreenIncludingItsFarEdge) {
  OpenWindow(/*full_screen=*/true);
  SetMousePosition(-5, 9999);
  int x = -1, y = -1;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 0);
  // The far edge itself is allowed; the desktop keeps the cursor on the
  // window's last row, which reads back as 479 or 480 depending on how the
  // desktop's pixels map onto the screen's.
  EXPECT_GE(y, 479);
  EXPECT_LE(y, 480);
  SetMousePosition(320, 240);
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
}

TEST_F(MainWindowTest, ScaleOfZeroOrLessCountsAsOne) {
  for (double scale : {0.0, -3.0}) {
    SetWindowScale(1.5);
    SetWindowScale(scale);
    EXPECT_EQ(GetWindowData().window_scale, 1.0);
    EXPECT_EQ(GetWindowScale(), 1.0);
  }
  // Full screen reports 1.0 whatever is stored.
  SetWindowScale(3.0);
  GetWindowData().window_mode = 0;
  EXPECT_EQ(GetWindowScale(), 1.0);
}

TEST_F(MainWindowTest, CursorFollowsTheRequestAndFullScreenHidesIt) {
  OpenWindow(/*full_screen=*/true);
  EXPECT_EQ(GetCursorRequest(), 0);
  EXPECT_EQ(GetWindowData().cursor_visible, 0);
  EXPECT_FALSE(platform::IsCursorVisible());
  ShowMouseCursor(1);
  EXPECT_TRUE(platform::IsCursorVisible());
  // Only 1 shows it; any other value hides it but is kept as the request.
  ShowMouseCursor(2);
  EXPECT_EQ(GetCursorRequest(), 2);
  EXPECT_FALSE(platform::IsCursorVisible());
}

TEST_F(MainWindowTest, ChangingToFullScreenRestylesAndChangesTheDisplayMode) {
  OpenWindow();
  int changes = 0;
  services_.graphics.change_screen_mode_keep = [&] {
    ++changes;
    return 0;
  };
  EXPECT_EQ(ChangeWindowMode(1), 0);  // already in window mode
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(IsWindowedMode(), 0);
  EXPECT_EQ(GetCursorRequest(), 0);
  WindowRectangle rect;
  GetWindowClientRect(&rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 640);
  EXPECT_EQ(rect.bottom, 480);
  EXPECT_EQ(GetWindowData().mode_change_in_progress, 0);
}

TEST_F(MainWindowTest, ModeSetBeforeTheWindowExistsIsOnlyStored) {
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_EQ(IsWindowedMode(), 0);
  EXPECT_EQ(GetWindowData().styled, 1);
}

TEST_F(MainWindowTest, SecondCopyOfTheSameGameIsRefused) {
  platform::InstanceLock first;
  ASSERT_EQ(first.TryAcquire(title_), platform::InstanceLock::Result::kAcquired);
  EXPECT_EQ(CreateMainWindow(), -1);
  EXPECT_EQ(GetQuitFlag(), 1);
  EXPECT_FALSE(HasMainWindowHandle());
  EXPECT_EQ(ProcessMessage(), -1);
  first.Release();
  SetQuitFlag(0);
  EXPECT_EQ(CreateMainWindow(), 0);
  // The running window holds the lock now.
  platform::InstanceLock second;
  EXPECT_EQ(second.TryAcquire(title_), platform::InstanceLock::Result::kAlreadyRunning);
}

TEST_F(MainWindowTest, CaptionSetBeforeCreationBecomesTheClassName) {
  SetWindowCaption("Game Title");
  OpenWindow();
  EXPECT_EQ(GetWindowData().class_name, "Game Title");
  SetWindowCaption("Other");
  EXPECT_EQ(GetWindowData().title, "Other");
  EXPECT_EQ(GetWindowData().class_name, "Game Title");
}

}  // namespace
