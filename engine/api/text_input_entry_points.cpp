// The text-input entry points and the text-input layer's hooks.
#include "engine/api/text_input_entry_points.h"

#include "engine/api/library_services.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/textinput/ime_messages.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/image/screen_color.h"

namespace {

// What the graphics engine offers the text-input field so far: colours in
// the screen's pixel format and the draw area. The 3D-drawing flag, box
// fills, fonts, measuring and string drawing are still the null back end's
// answers; the field's drawing adds them here.
class GraphicsTextInputDrawing final : public TextInputDrawing {
 public:
  DrawAreaRect GetDrawArea() override {
    IntRect area;
    GetClipArea(&area);
    return {area.left, area.top, area.right, area.bottom};
  }
  void SetDrawArea(const DrawAreaRect& area) override {
    SetClipArea(area.left, area.top, area.right, area.bottom);
  }
  uint32_t PackColor(int r, int g, int b) override { return PackScreenColor(r, g, b); }
};

}  // namespace

int SetTextInputColors(const int64_t colors[12]) {
  ApiLockGuard lock;
  return ConfigureKeyInputColors(colors);
}

int OpenTextInput(int maximum_bytes, int esc_cancels, int single_byte_only, int digits_only) {
  ApiLockGuard lock;
  return CreateKeyInput(maximum_bytes, esc_cancels, single_byte_only, digits_only);
}

int CloseTextInput(int handle) {
  ApiLockGuard lock;
  return RemoveKeyInput(handle);
}

int FocusTextInput(int handle) {
  ApiLockGuard lock;
  return ActivateKeyInput(handle);
}

int GetTextInputStatus(int handle) {
  ApiLockGuard lock;
  return GetKeyInputState(handle);
}

int PutTextInput(int x, int y, int handle) {
  ApiLockGuard lock;
  return RenderKeyInput(x, y, handle);
}

int ReadTextInputString(char* buffer, int buffer_size, int handle) {
  ApiLockGuard lock;
  return CopyKeyInputText(buffer, buffer_size, handle);
}

void ConnectTextInputDrawing() {
  static GraphicsTextInputDrawing drawing;
  SetTextInputDrawing(&drawing);
}

void LibraryTextInputService::Initialize() { InitializeTextInput(); }
void LibraryTextInputService::UpdateKeyInput() { ::UpdateKeyInput(); }
bool LibraryTextInputService::IsInputCharRingFull() { return ::IsInputCharRingFull(); }
void LibraryTextInputService::PushInputChar(uint8_t code) { ::PushInputChar(code); }
int64_t LibraryTextInputService::HandleImeMessage(uint32_t message, uint64_t wparam,
                                                  int64_t lparam) {
  return ::HandleImeMessage(message, wparam, lparam);
}
void LibraryTextInputService::RestartImeAfterActivation() { ::RestartImeAfterActivation(); }
void LibraryTextInputService::RemoveAllKeyInputs() { ::RemoveAllKeyInputs(); }
