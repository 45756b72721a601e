// The text-input entry points and the text-input layer's hooks.
#include "engine/api/text_input_entry_points.h"

#include "engine/api/library_services.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/textinput/ime_messages.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/core/window/window_procedure_hooks.h"

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

void RegisterTextInputServices(LibraryServices& services) {
  services.text_input.initialize = [] { InitializeTextInput(); };
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  hooks.update_key_input = [] { UpdateKeyInput(); };
  hooks.is_input_char_ring_full = [] { return IsInputCharRingFull(); };
  hooks.push_input_char = [](uint8_t byte) { PushInputChar(byte); };
  hooks.handle_ime_message = [](uint32_t message, uint64_t wparam, int64_t lparam) {
    return HandleImeMessage(message, wparam, lparam);
  };
  hooks.restart_ime_after_activation = [] { RestartImeAfterActivation(); };
  hooks.remove_all_key_inputs = [] { RemoveAllKeyInputs(); };
}
