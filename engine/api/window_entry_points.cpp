// The window entry points and the window's start-up hooks.
#include "engine/api/window_entry_points.h"

#include "engine/api/library_services.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/window.h"

namespace {

template <typename Operation>
auto Locked(Operation operation) {
  ApiLockGuard lock;
  return operation();
}

}  // namespace

int PumpMessages() {
  return Locked([] { return ProcessMessage(); });
}
int IsWindowActive() {
  return Locked([] { return ReadActiveFlag(); });
}
int SetWindowedMode(int flag) {
  return Locked([flag] { return ChangeWindowMode(flag); });
}
int SetWindowTitle(const char* text) {
  return Locked([text] { return SetWindowCaption(text); });
}
int SetRunWhileInactive(int flag) {
  return Locked([flag] { return SetRunInBackground(flag); });
}
int SetWindowIconResource(int resource_number) {
  return Locked([resource_number] { return ChangeWindowIcon(resource_number); });
}
int SetWindowZoom(double scale) {
  return Locked([scale] { return SetWindowScale(scale); });
}
int IsMouseCursorVisible() {
  return Locked([] { return GetCursorRequest(); });
}
int SetMouseCursorVisible(int flag) {
  return Locked([flag] { return ShowMouseCursor(flag); });
}
int ReadMousePosition(int* x, int* y) {
  return Locked([x, y] { return GetMousePosition(x, y); });
}
int MoveMouseCursor(int x, int y) {
  return Locked([x, y] { return SetMousePosition(x, y); });
}
int GetMouseWheelDelta() {
  return Locked([] { return TakeMouseWheelCount(); });
}

void RegisterWindowServices(LibraryServices& services) {
  LibraryServices::Window& window = services.window;
  window.desktop_color_depth = [] { return platform::GetDesktopMode().bits_per_pixel; };
  window.window_mode = [] { return IsWindowedMode(); };
  window.create_main_window = [] { return CreateMainWindow(); };
  window.destroy_main_window = [] { DestroyMainWindow(); };
  window.process_message = [] { return ProcessMessage(); };
  window.force_foreground = [](int) { platform::RaiseMainWindow(); };
}
