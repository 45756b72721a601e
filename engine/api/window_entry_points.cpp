// The window entry points.
#include "engine/api/window_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"

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
