// The text-input entry points and the text-input layer's hooks.
#include "engine/api/text_input_entry_points.h"

#include "engine/api/library_services.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/textinput/ime_messages.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/string_draw.h"
#include "engine/graphics/image/screen_color.h"

namespace {

// The graphics engine's side of the text-input field: the 3D-drawing
// setting (the flag itself, so that switching it off and back restores
// exactly what the game chose), the draw area, boxes, the standard font,
// measuring and drawing strings, and colours in the screen's format.
class GraphicsTextInputDrawing final : public TextInputDrawing {
 public:
  int IsUsing3DDrawing() override { return CurrentDrawState.Use3D; }
  // Only the flag: the field switches it off for one draw and back, which
  // must not touch the Direct3D start-up setting SetUse3DDrawing also sets.
  void SetUse3DDrawing(int flag) override { CurrentDrawState.Use3D = flag; }
  DrawAreaRect GetDrawArea() override {
    IntRect area;
    GetClipArea(&area);
    return {area.left, area.top, area.right, area.bottom};
  }
  void SetDrawArea(const DrawAreaRect& area) override {
    SetClipArea(area.left, area.top, area.right, area.bottom);
  }
  void FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, int fill) override {
    PaintBox(x1, y1, x2, y2, color, fill);
  }
  int GetStandardFont() override { return ::GetStandardFont(); }
  int GetFontSize(int font) override {
    const FontRecord* record = GetFontRecord(font < 0 ? ::GetStandardFont() : font);
    return record != nullptr ? record->Size : 16;
  }
  int MeasureString(const char* text, int32_t bytes, int font) override {
    const int width = MeasureFontString(text, bytes, font, 0);
    return width < 0 ? 0 : width;
  }
  void DrawString(int32_t x, int32_t y, const char* text, uint32_t color, uint32_t edge_color,
                  int font) override {
    DrawFontString(x, y, text, color, font, edge_color, 0);
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
