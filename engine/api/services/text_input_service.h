// The text-input seam: typed characters, the text-input editing step of the
// message pass, and the input method. The text-input layer implements
// TextInputService and the entry layer installs it (service_registry.h);
// NullTextInputService takes no characters and answers 0.
#pragma once

#include <cstdint>

class TextInputService {
 public:
  virtual void Initialize() = 0;
  // Per message pass: the text-input editing step.
  virtual void UpdateKeyInput() = 0;
  // True when the typed-character ring cannot take another byte.
  virtual bool IsInputCharRingFull() = 0;
  // One typed byte (Shift-JIS, or a control code).
  virtual void PushInputChar(uint8_t code) = 0;
  // Input-method window messages; the result is the message's answer.
  virtual int64_t HandleImeMessage(uint32_t message, uint64_t wparam, int64_t lparam) = 0;
  // Activation: re-opens the input method when it was open.
  virtual void RestartImeAfterActivation() = 0;
  virtual void RemoveAllKeyInputs() = 0;

 protected:
  constexpr TextInputService() = default;
  ~TextInputService() = default;
};

class NullTextInputService : public TextInputService {
 public:
  constexpr NullTextInputService() = default;
  void Initialize() override {}
  void UpdateKeyInput() override {}
  bool IsInputCharRingFull() override { return false; }
  void PushInputChar(uint8_t) override {}
  int64_t HandleImeMessage(uint32_t, uint64_t, int64_t) override { return 0; }
  void RestartImeAfterActivation() override {}
  void RemoveAllKeyInputs() override {}
};
